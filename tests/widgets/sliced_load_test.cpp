#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>
#include <QThreadPool>
#include <functional>
#include <memory>

#include "widgets/box_content.h"
#include "widgets/long_sentence_highlight.h"
#include "widgets/text_box.h"

namespace brintale {
namespace {

using namespace Qt::StringLiterals;

// Small sizes, so that a few kilobytes go in as a large file does: a slice per turn of the
// event loop. Slices this small find no place for a head that goes in at once.
void Slice(TextBox& box) { box.SetLoadSlices(1000, 997, 0); }
// Slices large enough for a head, put in before the rest is encoded.
void SliceWithHead(TextBox& box) { box.SetLoadSlices(1000, 3000, 0); }

void WaitForLoad(TextBox& box) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return !box.Loading(); }));
}

// The first slice shown in place of what the box held, the rest still to come.
void WaitForFirstSlice(TextBox& box, const QString& text) {
    ASSERT_TRUE(box.Loading());
    const QString held = box.document()->toRawText();
    ASSERT_TRUE(QTest::qWaitFor([&] { return box.document()->toRawText() != held; }));
    ASSERT_TRUE(box.Loading());
    ASSERT_NE(box.document()->toRawText(), held);
    ASSERT_LT(box.document()->characterCount(), text.size() / 2);
}

// Every kind of break and marker the codec changes, in one line.
QString MarkedLine() {
    return u"One.\rTwo.\r\nThree.\u2028Four\u2029\uFDD0\uFFF1 caf\u00e9 \U0001F600.\n"_s;
}

// Every kind of thing the codec changes, spread over many slices.
QString Mixed() {
    return MarkedLine().repeated(40) + QString(3 * kLongLine, u'a') + u"\n"_s +
           u"Short line. "_s.repeated(300) + u"\U0001F600"_s.repeated(500) + u"\r"_s;
}

QString Joined() { return u"A short line.\nAnother one.\n\n"_s.repeated(400); }

// The box after a load in slices is as `whole` after a load in one go.
void ExpectAsAWholeLoad(TextBox& box, TextBox& whole, int finished, const QString& before) {
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(box.document()->toRawText(), whole.document()->toRawText());
    EXPECT_EQ(box.document()->blockCount(), whole.document()->blockCount());
    EXPECT_EQ(box.text(), whole.text());
    EXPECT_EQ(box.textCursor().position(), 0);
    EXPECT_EQ(box.verticalScrollBar()->value(), 0);
    EXPECT_FALSE(box.isReadOnly());

    EXPECT_EQ(box.document()->availableUndoSteps(), 1);
    box.undo();
    EXPECT_EQ(box.text(), before);
    box.redo();
    EXPECT_EQ(box.text(), whole.text());
    box.undo();
    EXPECT_EQ(box.text(), before);
}

// A load in slices leaves the document exactly as a load in one go: the same characters, the
// same cuts, the cursor and the scrolling at the start, one undo step each way. Where a head
// goes in at once, it is in when the load returns.
TEST(SlicedLoad, LeavesTheBoxAsAWholeLoadDoes) {
    const struct {
        const char* name;
        QString before;  // typed, then loaded over
        QString text;
        bool head;  // with slices large enough for one
    } cases[] = {
        {"markers, cuts and surrogates", u"typed"_s, Mixed(), false},
        {"markers throughout", u"typed"_s, MarkedLine().repeated(300) + Mixed(), true},
        {"joined short lines", QString(), Joined(), true},
        {"one long line", u"x"_s, u"word "_s.repeated(5000), false},
        {"no line break near a slice's end", QString(), QString(20000, u'b'), false},
    };
    for (const auto& c : cases) {
        for (const bool large : {false, true}) {
            SCOPED_TRACE(c.name);
            SCOPED_TRACE(large ? "slices with a head" : "small slices");
            TextBox whole;
            whole.resize(300, 200);
            whole.Load(c.text);
            ASSERT_FALSE(whole.Loading());

            TextBox box;
            box.resize(300, 200);
            if (large)
                SliceWithHead(box);
            else
                Slice(box);
            QTest::keyClicks(&box, c.before);
            QSignalSpy finished(&box, &TextBox::loadFinished);
            box.Load(c.text);
            EXPECT_TRUE(box.Loading());
            const bool headIn =
                box.document()->characterCount() > 1 && box.document()->toRawText() != c.before;
            EXPECT_EQ(headIn, large && c.head);
            EXPECT_LT(box.document()->characterCount(), c.text.size() / 2);
            WaitForLoad(box);
            ExpectAsAWholeLoad(box, whole, finished.count(), c.before);
        }
    }
}

// Whatever reads or edits the text during a load first has the rest of it put in; keys that
// only move through the text do not wait.
TEST(SlicedLoad, WhatReadsOrEditsDuringALoadSeesTheWholeText) {
    const QString text = Mixed();
    TextBox reference;
    reference.Load(text);
    const QString loaded = reference.text();
    const struct {
        const char* name;
        std::function<QString(TextBox&)> act;  // gives what it saw, or the text after it
        QString expected;
    } cases[] = {
        {"text", [](TextBox& b) { return b.text(); }, loaded},
        {"content",
         [](TextBox& b) { return TextFromBox(RemoveCuts(b.Content().raw, b.Content().cuts)); },
         loaded},
        {"reading", [](TextBox& b) { return b.Reading().text(); }, loaded},
        {"select all and copy",
         [](TextBox& b) {
             QTest::keyClick(&b, Qt::Key_A, Qt::ControlModifier);
             QTest::keyClick(&b, Qt::Key_C, Qt::ControlModifier);
             return QApplication::clipboard()->text();
         },
         loaded},
        {"selection",
         [](TextBox& b) {
             b.SelectStretch(0, 1 << 30);
             return b.SelectedText();
         },
         loaded},
        {"a key typed",
         [](TextBox& b) {
             QTest::keyClicks(&b, u"x"_s);
             return b.text();
         },
         u"x"_s + loaded},
        {"Enter",
         [](TextBox& b) {
             QTest::keyClick(&b, Qt::Key_Return);
             return b.text();
         },
         u"\n"_s + loaded},
        {"Ctrl+Z",
         [](TextBox& b) {
             QTest::keyClick(&b, Qt::Key_Z, Qt::ControlModifier);
             return b.text();
         },
         u"before"_s},
        {"a paste",
         [](TextBox& b) {
             QApplication::clipboard()->setText(u"p"_s);
             QTest::keyClick(&b, Qt::Key_V, Qt::ControlModifier);
             return b.text();
         },
         u"p"_s + loaded},
    };
    for (const auto& c : cases) {
        for (const bool firstSliceIn : {false, true}) {
            SCOPED_TRACE(c.name);
            SCOPED_TRACE(firstSliceIn ? "after the first slice" : "before it");
            TextBox box;
            box.resize(300, 200);
            box.show();
            Slice(box);
            QTest::keyClicks(&box, u"before"_s);
            box.Load(text);
            if (firstSliceIn) WaitForFirstSlice(box, text);
            EXPECT_TRUE(box.isReadOnly());
            // Moving through what is in leaves the rest to come in its turn.
            QTest::keyClick(&box, Qt::Key_PageDown);
            QTest::keyClick(&box, Qt::Key_Home, Qt::ControlModifier);
            EXPECT_TRUE(box.Loading());
            EXPECT_EQ(c.act(box), c.expected);
            EXPECT_FALSE(box.Loading());
            EXPECT_FALSE(box.isReadOnly());
        }
    }
}

// A load during another takes its place; undo goes back to the text before both.
TEST(SlicedLoad, ALoadDuringALoadReplacesIt) {
    const QString first = Mixed(), second = Joined(), small = u"Small."_s;
    const struct {
        const char* name;
        bool firstSliceIn;  // or the first still being prepared
        QString next;
    } cases[] = {
        {"sliced, mid-way", true, second},
        {"sliced, before its first slice", false, second},
        {"small, mid-way", true, small},
        {"small, before the first slice", false, small},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TextBox box;
        Slice(box);
        QTest::keyClicks(&box, u"before"_s);
        box.Load(first);
        if (c.firstSliceIn) WaitForFirstSlice(box, first);
        box.Load(c.next);
        WaitForLoad(box);
        // Nothing of the first comes in late.
        for (int turn = 0; turn < 20; ++turn) QApplication::processEvents();
        EXPECT_EQ(box.text(), c.next);
        EXPECT_EQ(box.document()->availableUndoSteps(), 1);
        box.undo();
        EXPECT_EQ(box.text(), u"before"_s);
        box.redo();
        EXPECT_EQ(box.text(), c.next);
    }
}

// An edit that did not wait for the load ends it: nothing more of it comes in after, and the
// edits that follow can be undone.
TEST(SlicedLoad, AnEditThatDoesNotWaitEndsTheLoad) {
    TextBox box;
    Slice(box);
    const QString text = Joined();
    box.Load(text);
    WaitForFirstSlice(box, text);
    box.clear();
    EXPECT_FALSE(box.Loading());
    EXPECT_FALSE(box.isReadOnly());
    for (int turn = 0; turn < 20; ++turn) QApplication::processEvents();
    EXPECT_EQ(box.text(), QString());
    QTest::keyClicks(&box, u"ab"_s);
    box.undo();
    EXPECT_EQ(box.text(), QString());
}

// A box that goes during a load, at any stage, takes its load with it: nothing of it is
// heard of after (and the sanitizers find nothing).
TEST(SlicedLoad, ABoxClosedDuringALoadGoesCleanly) {
    const QString text = Mixed();
    for (const bool firstSliceIn : {false, true}) {
        SCOPED_TRACE(firstSliceIn);
        auto box = std::make_unique<TextBox>();
        box->show();
        Slice(*box);
        int finished = 0;
        QObject::connect(box.get(), &TextBox::loadFinished, [&] { ++finished; });
        box->Load(text);
        if (firstSliceIn) WaitForFirstSlice(*box, text);
        box.reset();
        QThreadPool::globalInstance()->waitForDone();
        for (int turn = 0; turn < 20; ++turn) QApplication::processEvents();
        EXPECT_EQ(finished, 0);
    }
}

// The long sentences are worked out once the whole text is in, and not before: a sentence
// in the last slice is coloured.
TEST(SlicedLoad, LongSentencesAreColouredAfterTheLastSlice) {
    TextBox box;
    box.resize(400, 300);
    box.show();
    Slice(box);
    box.longSentences().setEnabled(true);
    const QString longOne = u"word "_s.repeated(60) + u"end."_s;
    const QString text = u"Short one.\n"_s.repeated(400) + longOne + u"\n"_s;
    box.Load(text);
    WaitForFirstSlice(box, text);
    EXPECT_TRUE(box.longSentences().pending());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !box.longSentences().pending(); }));
    ASSERT_FALSE(box.Loading());
    ASSERT_EQ(box.longSentences().spans().size(), 1u);
    const auto& span = box.longSentences().spans().front();
    EXPECT_EQ(box.Reading().Offset(span.start), text.size() - longOne.size() - 1);
    EXPECT_EQ(box.longSentences().sentencesNow(), 401);
    EXPECT_EQ(span.words, 61);
}

}  // namespace
}  // namespace brintale
