// Long lines shown in pieces: the cuts are blocks on screen and nothing in the text, whatever
// the user does with it.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <functional>

#include "widgets/box_content.h"
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

// Compares without printing a hundred thousand characters.
::testing::AssertionResult Same(const QString& got, const QString& wanted) {
    if (got == wanted) return ::testing::AssertionSuccess();
    qsizetype at = 0;
    while (at < got.size() && at < wanted.size() && got[at] == wanted[at]) ++at;
    return ::testing::AssertionFailure()
           << "sizes " << got.size() << " and " << wanted.size() << ", first difference at " << at
           << ": " << got.mid(at, 12).toStdString() << " | " << wanted.mid(at, 12).toStdString();
}

// The document position of the character at `offset` of a text without markers: one break
// more for each cut before it.
int PositionOf(const TextBox& box, qsizetype offset) {
    for (QTextBlock b = box.document()->begin(); b.isValid(); b = b.next()) {
        if (offset < b.length() || !b.next().isValid()) return b.position() + int(offset);
        offset -= b.length() - 1;
    }
    return 0;
}

void Place(TextBox& box, int position, int anchor = -1) {
    QTextCursor cursor(box.document());
    cursor.setPosition(anchor < 0 ? position : anchor);
    cursor.setPosition(position, QTextCursor::KeepAnchor);
    box.setTextCursor(cursor);
}

TEST(LongLines, ShowInBlocksAndReadBackWhole) {
    const qsizetype n = kLongLine;
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
         u"a\n"_s + Words(3 * n) + u"\rb\n"_s + Words(n + 1), 6},
        {"ends in a space", Words(2 * n - 1) + u' ', {}, 2},
        {"markers at the cut",
         QString(n - 1, u'z') + u"\uFFF0\uFFF3\r"_s + QString(n, u'z'),
         {},
         3},
    };
    TextBox box;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        box.Load(c.text);
        EXPECT_TRUE(Same(box.text(), c.readBack.isNull() ? c.text : c.readBack));
        EXPECT_GE(box.document()->blockCount(), c.minBlocks);
        for (QTextBlock b = box.document()->begin(); b.isValid(); b = b.next()) {
            EXPECT_LE(b.length(), n + 1);
            EXPECT_FALSE(!b.text().isEmpty() && b.text().front().isLowSurrogate());
        }
    }
}

// Undo and redo of any edit give the text back exactly: the cuts come back as cuts.
TEST(LongLines, UndoAndRedoGiveTheTextBackExactly) {
    const QString longLine = u"Start. "_s + QString(100000, u'x') + u" end. Tail sentence here."_s;
    const QString words = Words(5 * kLongLine);
    const qsizetype in = kLongLine + 10;  // inside the second piece
    const qsizetype atCut = [&] {         // the offset of the first character after a cut
        TextBox box;
        box.Load(words);
        return box.document()->begin().next().position() - 1;
    }();
    const struct {
        const char* name;
        QString text;
        std::function<void(TextBox&)> edit;
        QString after;
    } cases[] = {
        {"Clear List",
         longLine,
         [](TextBox& box) {
             QTextCursor cursor(box.document());
             cursor.select(QTextCursor::Document);
             cursor.removeSelectedText();
         },
         {}},
        {"Ctrl+A, Delete",
         longLine,
         [](TextBox& box) {
             QTest::keyClick(&box, Qt::Key_A, Qt::ControlModifier);
             QTest::keyClick(&box, Qt::Key_Delete);
         },
         {}},
        {"typing inside a piece", words,
         [&](TextBox& box) {
             Place(box, PositionOf(box, in));
             QTest::keyClicks(&box, u"XY"_s);
         },
         QString(words).insert(in, u"XY"_s)},
        {"Enter inside a piece", words,
         [&](TextBox& box) {
             Place(box, PositionOf(box, in));
             QTest::keyClick(&box, Qt::Key_Return);
         },
         QString(words).insert(in, u"\n"_s)},
        {"paste over a cut", words,
         [&](TextBox& box) {
             QApplication::clipboard()->setText(u"one\rtwo\nthree\u2028"_s);
             Place(box, PositionOf(box, atCut + 2), PositionOf(box, atCut - 2));
             QTest::keyClick(&box, Qt::Key_V, Qt::ControlModifier);
         },
         QString(words).replace(atCut - 2, 4, u"one\rtwo\nthree\u2028"_s)},
        {"Backspace after a cut", words,
         [&](TextBox& box) {
             Place(box, PositionOf(box, atCut) + 1);  // the start of the second block
             QTest::keyClick(&box, Qt::Key_Backspace);
         },
         QString(words).remove(atCut - 1, 1)},
        {"Delete before a cut", words,
         [&](TextBox& box) {
             Place(box, PositionOf(box, atCut));  // the end of the first block
             QTest::keyClick(&box, Qt::Key_Delete);
         },
         QString(words).remove(atCut, 1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TextBox box;
        box.Load(c.text);
        ASSERT_GT(box.document()->blockCount(), 4);
        c.edit(box);
        const QString after = c.after.isNull() ? QString() : c.after;
        EXPECT_TRUE(Same(box.text(), after));
        box.undo();
        EXPECT_TRUE(Same(box.text(), c.text));
        box.redo();
        EXPECT_TRUE(Same(box.text(), after));
        box.undo();
        box.undo();  // the load itself: the empty box
        EXPECT_TRUE(box.text().isEmpty());
        box.redo();
        box.redo();
        EXPECT_TRUE(Same(box.text(), after));
    }
}

// Copy, cut and drag (all three take the selection's mime data) hold the text itself, for
// the whole text and for any stretch of it.
TEST(LongLines, CopiesHoldTheTextItself) {
    const QString text = Words(3 * kLongLine) + u"\rOld Mac line.\u2029"_s + QString(9000, u'x');
    TextBox box;
    box.Load(text);
    ASSERT_GT(box.document()->blockCount(), 5);
    const qsizetype cr = 3 * kLongLine;
    const std::pair<qsizetype, qsizetype> stretches[] = {
        {0, text.size()}, {10, kLongLine + 10},      {kLongLine - 5, 3 * kLongLine},
        {cr, cr + 1},     {cr - 3, text.size() - 1}, {text.size() - 9000, text.size()},
    };
    for (const auto& [start, end] : stretches) {
        SCOPED_TRACE(start);
        box.SelectStretch(start, end);
        box.copy();
        EXPECT_TRUE(Same(QApplication::clipboard()->text(), text.mid(start, end - start)));
    }
    box.selectAll();
    box.copy();
    EXPECT_TRUE(Same(QApplication::clipboard()->text(), text));
    QTest::keyClick(&box, Qt::Key_X, Qt::ControlModifier);
    EXPECT_TRUE(box.text().isEmpty());
    EXPECT_TRUE(Same(QApplication::clipboard()->text(), text));
    QTest::keyClick(&box, Qt::Key_V, Qt::ControlModifier);
    EXPECT_TRUE(Same(box.text(), text));
}

// A screen reader reads, selects and edits the text, never the markers or the cuts.
TEST(LongLines, AScreenReaderHasTheTextItself) {
    const QString text = u"One\rtwo."_s + Words(2 * kLongLine + 100) + u"\u2028Three."_s;
    TextBox box;
    box.Load(text);
    QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(&box);
    ASSERT_NE(reader, nullptr);
    QAccessibleTextInterface* texts = reader->textInterface();
    ASSERT_NE(texts, nullptr);
    EXPECT_EQ(reader->role(), QAccessible::EditableText);
    EXPECT_EQ(texts->characterCount(), text.size());
    const QString read = texts->text(0, texts->characterCount());
    EXPECT_FALSE(read.contains(QChar(0xFFF0)));
    EXPECT_TRUE(Same(read, text));

    const int start = int(kLongLine) - 2, end = int(2 * kLongLine);
    box.SelectStretch(start, end);
    int from = -1, to = -1;
    texts->selection(0, &from, &to);
    EXPECT_EQ(std::pair(from, to), std::pair(start, end));
    texts->setSelection(0, 2, 6);
    EXPECT_EQ(TextFromBox(box.textCursor().selectedText()), u"e\rtw"_s);
    texts->setCursorPosition(end);
    EXPECT_EQ(texts->cursorPosition(), end);

    reader->editableTextInterface()->replaceText(0, texts->characterCount(), u"A\rB. C."_s);
    EXPECT_EQ(box.text(), u"A\rB. C."_s);
    EXPECT_EQ(texts->text(0, texts->characterCount()), u"A\rB. C."_s);
}

}  // namespace
}  // namespace brintale
