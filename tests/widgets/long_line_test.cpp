// Long lines shown in pieces: the cuts are blocks on screen and nothing in the text.
#include <gtest/gtest.h>

#include <QTest>
#include <QTextBlock>
#include <QTextCursor>

#include "widgets/text_box.h"

namespace brintale {
namespace {

using namespace Qt::StringLiterals;

QString Words(qsizetype length) {
    QString out;
    for (int i = 0; out.size() < length; ++i) out += u"word%1 "_s.arg(i % 97);
    out.truncate(length);
    return out;
}

TEST(LongLines, ShowInBlocksAndReadBackWhole) {
    const qsizetype n = TextBox::kLongLine;
    const QString emoji = QString(u"\U0001F600"_s).repeated(n);  // no space, all pairs
    const struct {
        const char* name;
        QString text;
        QString readBack;  // null: the text itself
        int minBlocks;
    } cases[] = {
        {"short", u"One.\nTwo."_s, {}, 2},
        {"exactly the limit", QString(n, u'x'), {}, 1},
        {"words", Words(10 * n), {}, 10},
        {"no space", QString(3 * n + 5, u'y'), {}, 4},
        {"pairs never split", emoji, {}, 2},
        {"long between short", u"a\r\n"_s + Words(3 * n) + u"\rb\n"_s + Words(n + 1),
         u"a\n"_s + Words(3 * n) + u"\nb\n"_s + Words(n + 1), 6},
        {"ends in a space", Words(2 * n - 1) + u' ', {}, 2},
    };
    TextBox box;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        box.SetTextInPieces(c.text);
        EXPECT_EQ(box.text(), c.readBack.isNull() ? c.text : c.readBack);
        EXPECT_GE(box.document()->blockCount(), c.minBlocks);
        for (QTextBlock b = box.document()->begin(); b.isValid(); b = b.next()) {
            EXPECT_LE(b.length(), n + 1);
            EXPECT_FALSE(b.text().startsWith(QChar(0xDE00)) || b.text().front().isLowSurrogate());
        }
    }
}

// Typing goes where the cursor is; a line break typed inside a piece is a real one, and a
// plain load afterwards has no cuts left to take out.
TEST(LongLines, EditsBetweenThePiecesKeepTheText) {
    const QString line = Words(3 * TextBox::kLongLine);
    TextBox box;
    box.SetTextInPieces(line);
    const QTextBlock second = box.document()->begin().next();
    ASSERT_TRUE(second.isValid());
    const int at = second.position() + 3;
    QTextCursor cursor(box.document());
    cursor.setPosition(at);
    box.setTextCursor(cursor);
    QTest::keyClicks(&box, u"XY"_s);
    QTest::keyClick(&box, Qt::Key_Return);
    // The raw position counts one separator per cut before it.
    const int shift = 1;
    QString expected = line;
    expected.insert(at - shift, u"XY\n"_s);
    EXPECT_EQ(box.text(), expected);
    box.setPlainText(u"a\nb"_s);
    EXPECT_EQ(box.text(), u"a\nb"_s);
}

}  // namespace
}  // namespace brintale
