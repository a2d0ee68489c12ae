#include "widgets/box_content.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QTest>
#include <QTextDocument>
#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

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

// Typed breaks stay line feeds. Every edit treats a marked character as the one character it
// is: typing at the end of its line goes before it, deleting its break deletes it whole.
TEST(BoxContent, EditsTreatAMarkedCharacterAsOne) {
    TextBox box;
    QTest::keyClicks(&box, u"One"_s);
    QTest::keyClick(&box, Qt::Key_Return);
    QTest::keyClicks(&box, u"two"_s);
    QTest::keyClick(&box, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(&box, u"three"_s);
    EXPECT_EQ(box.text(), u"One\ntwo\nthree"_s);

    const auto endOfFirstLine = [](TextBox& b) {
        b.moveCursor(QTextCursor::Start);
        b.moveCursor(QTextCursor::EndOfBlock);  // after the invisible marker
    };
    const struct {
        const char* name;
        QString loaded;
        std::function<void(TextBox&)> edit;
        QString after, shown;
    } cases[] = {
        {"typing at the end of a line", u"old\rmac"_s,
         [&](TextBox& b) {
             endOfFirstLine(b);
             QTest::keyClicks(&b, u"X"_s);
         },
         u"oldX\rmac"_s, u"oldX\nmac"_s},
        {"Delete at the end of a line", u"old\rmac"_s,
         [&](TextBox& b) {
             endOfFirstLine(b);
             QTest::keyClick(&b, Qt::Key_Delete);
         },
         u"oldmac"_s, u"oldmac"_s},
        {"Backspace at the start of a line", u"old\rmac"_s,
         [](TextBox& b) {
             b.moveCursor(QTextCursor::End);
             b.moveCursor(QTextCursor::StartOfLine);
             QTest::keyClick(&b, Qt::Key_Backspace);
         },
         u"oldmac"_s, u"oldmac"_s},
        {"a line selected to its end and replaced", u"old\u2028mac"_s,
         [&](TextBox& b) {
             endOfFirstLine(b);
             b.moveCursor(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
             QTest::keyClicks(&b, u"new"_s);
         },
         u"new\u2028mac"_s, u"new\nmac"_s},
        {"Return at the end of a line", u"old\u2029mac"_s,
         [&](TextBox& b) {
             endOfFirstLine(b);
             QTest::keyClick(&b, Qt::Key_Return);
         },
         u"old\n\u2029mac"_s, u"old\n\nmac"_s},
        {"paste at the end of a line", u"old\rmac"_s,
         [&](TextBox& b) {
             QApplication::clipboard()->setText(u"Y\r"_s);
             endOfFirstLine(b);
             QTest::keyClick(&b, Qt::Key_V, Qt::ControlModifier);
         },
         u"oldY\r\rmac"_s, u"oldY\n\nmac"_s},
        {"Delete before a marker the text holds", u"a\uFFF0b"_s,
         [](TextBox& b) {
             b.moveCursor(QTextCursor::Start);
             b.moveCursor(QTextCursor::NextCharacter);
             QTest::keyClick(&b, Qt::Key_Delete);
         },
         u"ab"_s, u"ab"_s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        box.Load(c.loaded);
        c.edit(box);
        EXPECT_EQ(box.text(), c.after);
        EXPECT_EQ(Shown(box), c.shown);
        box.undo();
        EXPECT_EQ(box.text(), c.loaded);
    }
}

// However many paragraphs, the whole load is one step back to the text before.
TEST(BoxContent, ALoadIsOneUndoStep) {
    TextBox box;
    QTest::keyClicks(&box, u"typed"_s);
    box.Load(u"Line.\r"_s.repeated(5000));
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

// A load keeps the text before it for Ctrl+Z, whether the box showed a load as it stands or
// a load changed since, or a load brought back by undo.
TEST(BoxContent, UndoAfterALoadGivesBackWhatTheBoxShowedBefore) {
    // With a marker, joined lines and a line long enough to be cut.
    const QString first = u"One.\rTwo.\n"_s.repeated(300) + QString(3 * kLongLine, u'a');
    const QString second = u"Second text. "_s.repeated(2000);
    const QString third = u"Third.\u2029"_s.repeated(10);
    const struct {
        const char* name;
        std::function<void(TextBox&)> between;  // after the first load, before the next
        QString before;                         // what Ctrl+Z after the next load gives
    } cases[] = {
        {"loaded, then loaded again", [](TextBox&) {}, first},
        {"typed into",
         [](TextBox& b) {
             b.moveCursor(QTextCursor::End);
             QTest::keyClicks(&b, u"!"_s);
         },
         first + u"!"_s},
        {"typed into, then undone",
         [](TextBox& b) {
             QTest::keyClicks(&b, u"x"_s);
             b.undo();
         },
         first},
        {"another load undone",
         [&](TextBox& b) {
             b.Load(third);
             b.undo();
         },
         first},
        {"cleared", [](TextBox& b) { b.clear(); }, QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TextBox box;
        box.Load(first);
        c.between(box);
        box.Load(second);
        EXPECT_EQ(box.text(), second);
        box.undo();
        EXPECT_EQ(box.text(), c.before);
        box.redo();
        EXPECT_EQ(box.text(), second);
    }
}

// Encoded and read back, a text is itself (CR LF as LF), and every offset of it maps to the
// position in the document where that character stands, and back.
TEST(BoxContent, OffsetsOfTheTextMapToPositionsInTheBox) {
    const QString lines = u"Short line.\n"_s.repeated(400);  // long enough to be joined
    const QString texts[] = {
        u"plain text"_s,
        u"a\rb\r\nc\u2028d\u2029e"_s,
        u"\uFFF0x\uFFF3y\rz\uFFF3\uFFF3\uFFF0"_s,
        u"\r\r\u2028"_s,
        lines,
        QString(kLongLine - 1, u'q') + u"\uFFF3\uFFF1\u2028"_s + QString(2 * kLongLine, u'q'),
        u"a\r"_s + QString(3 * kLongLine, u'w') + u"\r\n"_s + lines,
    };
    for (const QString& text : texts) {
        SCOPED_TRACE(text.left(40).toStdString());
        QString wanted = text;
        wanted.replace(u"\r\n"_s, u"\n"_s);
        const BoxContent content = EncodeForBox(text);
        const BoxReading reading(content);
        ASSERT_EQ(reading.text(), wanted);
        // Reading a prefix back costs its length: every offset near a cut or a marker, and
        // every 50th elsewhere.
        std::vector<bool> near(wanted.size() + 1, false);
        for (qsizetype k = 0; k <= wanted.size(); ++k) {
            const bool odd = k < wanted.size() && (wanted[k] == u'\r' || wanted[k] >= u'\u2028');
            const bool atCut = std::binary_search(content.cuts.begin(), content.cuts.end(),
                                                  reading.Position(k) - 1);
            if (odd || atCut || k % 50 == 0)
                for (qsizetype j = std::max<qsizetype>(k - 2, 0);
                     j <= std::min(k + 2, wanted.size()); ++j)
                    near[j] = true;
        }
        for (qsizetype k = 0; k <= wanted.size(); ++k) {
            const qsizetype at = reading.Position(k);
            ASSERT_EQ(reading.Offset(at), k) << k;
            if (!near[k]) continue;
            std::vector<qsizetype> before;
            for (const qsizetype cut : content.cuts)
                if (cut < at) before.push_back(cut);
            ASSERT_EQ(TextFromBox(RemoveCuts(content.raw.left(at), before)), wanted.left(k)) << k;
        }
    }
}

// Where a text may be split for a load in parts: each part encoded apart gives, put together,
// the whole encoded at once, for every kind of break, marker and long line, wherever the
// search starts; a text without such a place gives none.
TEST(BoxContent, ATextSplitAtABlockStartEncodesAsTheWholeDoes) {
    const QString marked =
        u"One.\rTwo.\r\nThree.\u2028Four\u2029\uFDD0\uFFF1 caf\u00e9 \U0001F600.\n"_s;
    const QString shortLines = u"A short line.\nAnother one.\n\n"_s;
    const struct {
        const char* name;
        QString text;
        bool splits;
    } cases[] = {
        {"short lines", shortLines.repeated(600), true},
        {"CR LF", u"Line.\r\n"_s.repeated(3000), true},
        {"lone CR", u"Line.\r"_s.repeated(3000), true},
        {"separators", u"Line.\u2028"_s.repeated(1500) + u"Para.\u2029"_s.repeated(1500), true},
        {"markers doubled", u"\uFFF0\uFFF3ab\n"_s.repeated(3000), true},
        {"markers and long lines between",
         marked.repeated(100) + QString(3 * kLongLine, u'a') + u"\n"_s + marked.repeated(100) +
             u"word "_s.repeated(2000) + u"\n"_s + marked.repeated(100),
         true},
        {"CR before the last line feed",
         u"x"_s.repeated(2100) + u"\r\n"_s + shortLines.repeated(100), true},
        {"one line", u"word "_s.repeated(4000), false},
        {"too short on one side", shortLines.repeated(100), false},
    };
    const auto joined = [](const BoxContent& head, const BoxContent& rest) {
        BoxContent whole{head.raw + rest.raw, head.cuts};
        for (const qsizetype cut : rest.cuts) whole.cuts.push_back(head.raw.size() + cut);
        return whole;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const BoxContent whole = EncodeForBox(c.text);
        int splits = 0;
        for (qsizetype from = 0; from < c.text.size(); from += 997) {
            const qsizetype at = BlockStartAfter(c.text, from, c.text.size());
            if (at == 0) continue;
            SCOPED_TRACE(at);
            ++splits;
            ASSERT_GE(at, from);
            ASSERT_TRUE(c.text[at - 1] == u'\n' || c.text[at - 1] == u'\r' ||
                        c.text[at - 1] >= u'\u2028');
            const BoxContent parts =
                joined(EncodeForBox(c.text.first(at)), EncodeForBox(c.text.sliced(at)));
            ASSERT_EQ(parts.raw, whole.raw);
            ASSERT_EQ(parts.cuts, whole.cuts);
        }
        EXPECT_EQ(splits > 0, c.splits);
        // Never beyond the limit.
        const qsizetype first = BlockStartAfter(c.text, 0, c.text.size());
        if (first > 0) {
            EXPECT_EQ(BlockStartAfter(c.text, 0, first - 1), 0);
        }
    }
}

// A selection that starts or ends between a marker and the break it marks holds the whole
// character or none of it.
TEST(BoxContent, ASelectionNeverHoldsHalfAMarkedCharacter) {
    const QString raw = TextForBox(u"a\r\uFFF3\u2028b"_s);  // a FFF0 LF FFF3 FFF3 FFF1 LF b
    ASSERT_EQ(raw.size(), 8);
    const qsizetype wanted[] = {0, 1, 1, 3, 3, 5, 5, 7, 8};
    for (qsizetype p = 0; p <= raw.size(); ++p) EXPECT_EQ(UnitStart(raw, p), wanted[p]) << p;
}

}  // namespace
}  // namespace brintale

namespace brintale {
namespace {

// The reading kept across edits says what reading the box again says: the text, and where
// each offset and each position maps.
void ExpectReadsAsAfresh(const TextBox& box, const std::string& after) {
    const BoxReading& kept = box.Reading();
    const BoxReading fresh(box.Content());
    if (kept.text() != fresh.text()) {
        const QString &a = kept.text(), &b = fresh.text();
        qsizetype at = 0;
        while (at < std::min(a.size(), b.size()) && a[at] == b[at]) ++at;
        // The units about the first difference, in hexadecimal.
        const auto around = [at](const QString& t) {
            std::string units;
            for (const QChar c : t.mid(std::max<qsizetype>(at - 6, 0), 12))
                units += QString::number(c.unicode(), 16).toStdString() + ' ';
            return units;
        };
        FAIL() << after << ": the kept reading differs from offset " << at << ": " << around(a)
               << "against " << around(b);
    }
    const qsizetype positions = box.document()->characterCount();
    for (qsizetype offset = 0; offset <= fresh.text().size() + 1; ++offset)
        ASSERT_EQ(kept.Position(offset), fresh.Position(offset)) << after << ", offset " << offset;
    for (qsizetype position = 0; position <= positions; ++position)
        ASSERT_EQ(kept.Offset(position), fresh.Offset(position))
            << after << ", position " << position;
}

// Keys typed, deleted and undone, pastes and replacements, all over a text with marked
// characters, joined lines and cut ones, each read by a screen reader as it happens.
TEST(BoxReading, EditsKeepTheReadingAsReadingAfreshGivesIt) {
    TextBox box;
    QString text;
    for (int i = 0; i < 3; ++i) {
        text += u"A line with\ra carriage return.\n"_s;
        text += u"Marks the text holds: \uFFF0, \uFFF3\uFFF1, \uFDD0 and \u2028 there.\n"_s;
        text += QString(u"word "_s).repeated(1000) + u"\n"_s;  // cut, and cut again
        text += QString(u"short line\n"_s).repeated(30);       // joined
    }
    box.Load(text);
    // Undo goes back through the edits, not to the empty box.
    box.document()->clearUndoRedoStacks();
    std::mt19937 random(1210);
    const auto anywhere = [&] {
        return static_cast<int>(random() % static_cast<unsigned>(box.document()->characterCount()));
    };
    const struct {
        const char* name;
        std::function<void()> edit;
    } edits[] = {
        {"a letter typed", [&] { QTest::keyClicks(&box, u"x"_s); }},
        {"a word typed", [&] { QTest::keyClicks(&box, u"Hello"_s); }},
        {"Backspace", [&] { QTest::keyClick(&box, Qt::Key_Backspace); }},
        {"Delete", [&] { QTest::keyClick(&box, Qt::Key_Delete); }},
        {"Return", [&] { QTest::keyClick(&box, Qt::Key_Return); }},
        {"undo", [&] { box.undo(); }},
        {"redo", [&] { box.redo(); }},
        {"a selection replaced",
         [&] {
             QTextCursor cursor = box.textCursor();
             cursor.setPosition(anywhere(), QTextCursor::KeepAnchor);
             box.setTextCursor(cursor);
             QTest::keyClicks(&box, u"y"_s);
         }},
        {"a few words replaced",
         [&] {
             // Short, so that the text keeps its cut lines for a while.
             QTextCursor cursor = box.textCursor();
             const int end = cursor.position() + static_cast<int>(random() % 61) - 30;
             cursor.setPosition(std::clamp(end, 0, box.document()->characterCount() - 1),
                                QTextCursor::KeepAnchor);
             box.setTextCursor(cursor);
             QTest::keyClicks(&box, u"y"_s);
         }},
        {"a paste with breaks and marks",
         [&] {
             QApplication::clipboard()->setText(u"p\r\u2029\uFFF2q"_s);
             QTest::keyClick(&box, Qt::Key_V, Qt::ControlModifier);
         }},
        {"a plain paste",
         [&] {
             QApplication::clipboard()->setText(u"plain words"_s);
             QTest::keyClick(&box, Qt::Key_V, Qt::ControlModifier);
         }},
        // Past the keys' care for whole units: between a marker and what it marks too.
        {"a character removed in the document",
         [&] {
             QTextCursor cursor(box.document());
             cursor.setPosition(anywhere());
             cursor.deleteChar();
         }},
        {"a letter put into the document",
         [&] {
             QTextCursor cursor(box.document());
             cursor.setPosition(anywhere());
             cursor.insertText(u"i"_s);
         }},
        {"a key either side of a cut",
         [&] {
             const std::vector<qsizetype> cuts = box.Content().cuts;
             if (cuts.empty()) return;
             QTextCursor cursor = box.textCursor();
             cursor.setPosition(int(cuts[random() % cuts.size()] + random() % 2));
             box.setTextCursor(cursor);
             const Qt::Key keys[] = {Qt::Key_C, Qt::Key_Backspace, Qt::Key_Delete};
             const Qt::Key key = keys[random() % std::size(keys)];
             QTest::keyClick(&box, key);
         }},
    };
    ExpectReadsAsAfresh(box, "the load");
    for (int step = 0; step < 300; ++step) {
        QTextCursor cursor = box.textCursor();
        cursor.setPosition(anywhere());
        box.setTextCursor(cursor);
        const auto& edit = edits[random() % std::size(edits)];
        edit.edit();
        ExpectReadsAsAfresh(box, "step " + std::to_string(step) + ", " + edit.name + " at " +
                                     std::to_string(cursor.position()));
        if (HasFatalFailure()) return;
    }
}

}  // namespace
}  // namespace brintale
