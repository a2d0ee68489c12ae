#include "widgets/box_content.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>
#include <QTextDocument>

#include "widgets/text_box.h"

namespace brintale {
namespace {

using namespace Qt::StringLiterals;

// The box's own text without the invisible markers: what the user sees, line by line.
QString Shown(const TextBox& box) {
    QString shown = box.document()->toPlainText();
    shown.removeIf([](QChar c) { return c.unicode() >= 0xFFF0 && c.unicode() <= 0xFFF5; });
    return shown;
}

// A loaded text reads back as itself, CR LF as LF, and shows every kind of break as one; a
// copy holds what reads back.
TEST(BoxContent, ALoadedTextReadsBackAsItselfAndShowsItsBreaks) {
    const struct {
        const char* name;
        QString loaded, readBack, shown;
    } cases[] = {
        {"lone CR", u"a\rb\r"_s, u"a\rb\r"_s, u"a\nb\n"_s},
        {"CR LF", u"a\r\nb"_s, u"a\nb"_s, u"a\nb"_s},
        {"CR, then CR LF", u"a\r\r\nb"_s, u"a\r\nb"_s, u"a\n\nb"_s},
        {"line separator", u"a\u2028b"_s, u"a\u2028b"_s, u"a\nb"_s},
        {"paragraph separator", u"\u2029a\u2029b"_s, u"\u2029a\u2029b"_s, u"\na\nb"_s},
        {"the markers themselves", u"\uFFF0\uFFF3x\uFFF5\n"_s, u"\uFFF0\uFFF3x\uFFF5\n"_s,
         u"x\n"_s},
        {"frame marks", u"\uFDD0a\uFDD1"_s, u"\uFDD0a\uFDD1"_s, u"a"_s},
        {"none of them", u"a\nb\tc\u00a0d"_s, u"a\nb\tc\u00a0d"_s, u"a\nb\tc d"_s},
    };
    TextBox box;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        box.setPlainText(TextForBox(c.loaded));
        EXPECT_EQ(box.text(), c.readBack);
        EXPECT_EQ(Shown(box), c.shown);
        box.selectAll();
        box.copy();
        EXPECT_EQ(QGuiApplication::clipboard()->text(), c.readBack);
    }
}

// Typed breaks stay line feeds; deleting a marked break leaves its character, which is what
// counting would have made of it anyway (the words join).
TEST(BoxContent, TypedAndDeletedBreaksReadAsTheyShow) {
    TextBox box;
    QTest::keyClicks(&box, u"One"_s);
    QTest::keyClick(&box, Qt::Key_Return);
    QTest::keyClicks(&box, u"two"_s);
    QTest::keyClick(&box, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(&box, u"three"_s);
    EXPECT_EQ(box.text(), u"One\ntwo\nthree"_s);
    box.setPlainText(TextForBox(u"old\rmac"_s));
    box.moveCursor(QTextCursor::End);
    box.moveCursor(QTextCursor::StartOfLine);
    QTest::keyClick(&box, Qt::Key_Backspace);
    EXPECT_EQ(Shown(box), u"oldmac"_s);
    EXPECT_EQ(box.text(), u"old\rmac"_s);
}

// However many paragraphs, the whole replacement is one step back to the text before.
TEST(BoxContent, AReplacementIsOneUndoStep) {
    TextBox box;
    QTest::keyClicks(&box, u"typed"_s);
    const QString loaded = TextForBox(u"Line.\r"_s.repeated(5000));
    box.ReplaceAll(loaded);
    EXPECT_EQ(box.document()->availableUndoSteps(), 1);
    EXPECT_EQ(box.text(), u"Line.\r"_s.repeated(5000));
    box.undo();
    EXPECT_EQ(box.text(), u"typed"_s);
    box.redo();
    EXPECT_EQ(box.text(), u"Line.\r"_s.repeated(5000));
    box.undo();
    QTest::keyClicks(&box, u"!"_s);  // a new edit: the load can no longer be redone
    EXPECT_FALSE(box.document()->isRedoAvailable());
    EXPECT_EQ(box.text(), u"typed!"_s);
}

// Every offset of the text read back maps to the position in the box where that character
// stands, markers, the box's own breaks and skipped cuts taken into account.
TEST(BoxContent, OffsetsOfTheTextMapToPositionsInTheBox) {
    const QString texts[] = {u"plain text"_s, u"a\rb\r\nc\u2028d\u2029e"_s, u"\uFFF0x\uFFF3y\rz"_s,
                             u"\r\r\u2028"_s};
    for (const QString& text : texts) {
        SCOPED_TRACE(text.toStdString());
        const QString raw = TextForBox(text);
        const QString back = TextFromBox(raw);
        for (qsizetype k = 0; k <= back.size(); ++k)
            EXPECT_EQ(TextFromBox(raw.left(BoxPosition(raw, {}, k))), back.left(k)) << k;
    }
    // A skipped position (a cut of a long line) counts for nothing.
    const QString raw = u"abc\u2029def"_s;
    EXPECT_EQ(BoxPosition(raw, {3}, 3), 3);
    EXPECT_EQ(BoxPosition(raw, {3}, 4), 5);
    EXPECT_EQ(BoxPosition(raw, {3}, 6), 7);
}

}  // namespace
}  // namespace brintale
