#include "widgets/long_sentence_highlight.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHelpEvent>
#include <QImage>
#include <QLineEdit>
#include <QTest>
#include <QTextDocument>
#include <QToolTip>
#include <cmath>

#include "commands/long_sentences.h"
#include "core/results_model.h"
#include "widgets/text_box.h"
#include "windows/window_fixture.h"

namespace brintale {
namespace {

// Sentences of 3, 7 and 12 words: with long meaning more than 5, plain, yellow and red.
const QString kText = QStringLiteral(
    "One two three. One two three four five six seven. "
    "One two three four five six seven eight nine ten eleven twelve.");

double Luminance(const QColor& c) {
    const auto channel = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double Contrast(const QColor& a, const QColor& b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

class HighlightTest : public WindowTest {
  protected:
    void SetUp() override {
        store.Write(kKeyLongSentenceWords, QStringLiteral("5"));
        Load();
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        box().setFocus();
    }
    TextBox& box() const { return *form->textBox(); }
    LongSentenceHighlight& highlight() const { return box().longSentences(); }
    bool Settled() const {
        return QTest::qWaitFor([&] { return !highlight().pending(); }, 5000);
    }
    void ToggleByKey() { QTest::keyClick(&box(), Qt::Key_H, Qt::ControlModifier); }
    // The pixels of the box painted in each band's colour.
    std::pair<int, int> Coloured() const {
        box().viewport()->repaint();
        const QImage image = box().viewport()->grab().toImage();
        const QRgb yellow = LongSentenceHighlight::LongColour().rgb();
        const QRgb red = LongSentenceHighlight::VeryLongColour().rgb();
        int y = 0, r = 0;
        for (int row = 0; row < image.height(); ++row)
            for (int col = 0; col < image.width(); ++col) {
                const QRgb p = image.pixel(col, row);
                y += p == yellow ? 1 : 0;
                r += p == red ? 1 : 0;
            }
        return {y, r};
    }
};

TEST_F(HighlightTest, CtrlHColoursLongSentencesWithoutACountAndTakesThemOffAgain) {
    box().Load(kText);
    const int undoSteps = box().document()->availableUndoSteps();
    EXPECT_EQ(Coloured(), std::make_pair(0, 0));
    ToggleByKey();
    ASSERT_TRUE(Settled());
    EXPECT_TRUE(form->highlightLongSentencesAction()->isChecked());
    EXPECT_EQ(store.Read(kKeyHighlightLongSentences), QStringLiteral("1"));
    const auto [yellow, red] = Coloured();
    EXPECT_GT(yellow, 100);
    EXPECT_GT(red, yellow);  // twelve words against seven
    // The bands at N and 2N: 7 words is yellow, 12 (more than 10) red.
    ASSERT_EQ(highlight().spans().size(), 2u);
    EXPECT_EQ(highlight().spans()[0].words, 7);
    EXPECT_EQ(highlight().WordsAt(static_cast<int>(highlight().spans()[1].start)), 12);
    EXPECT_EQ(highlight().WordsAt(2), -1);
    // Hovering over a long sentence tells its words.
    const auto tipAt = [&](int position) {
        QTextCursor at(box().document());
        at.setPosition(position);
        const QPoint point = box().cursorRect(at).center();
        QHelpEvent help(QEvent::ToolTip, point, box().viewport()->mapToGlobal(point));
        QApplication::sendEvent(box().viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_EQ(tipAt(static_cast<int>(highlight().spans()[1].start) + 3),
              QStringLiteral("This sentence has 12 words."));
    QToolTip::hideText();
    EXPECT_EQ(form->results().rowCount(), 0);  // no count was made
    // Neither the text nor its undo history took anything.
    EXPECT_EQ(box().text(), kText);
    EXPECT_EQ(box().document()->availableUndoSteps(), undoSteps);
    ToggleByKey();
    EXPECT_EQ(Coloured(), std::make_pair(0, 0));
    EXPECT_FALSE(form->highlightLongSentencesAction()->isChecked());
    EXPECT_EQ(store.Read(kKeyHighlightLongSentences), QStringLiteral("0"));
}

TEST_F(HighlightTest, TypingUndoAndCopyGiveTheTextBackUnchanged) {
    box().Load(kText);
    ToggleByKey();
    ASSERT_TRUE(Settled());
    QTextCursor cursor = box().textCursor();
    cursor.setPosition(5);
    box().setTextCursor(cursor);
    // Words typed into the first sentence make it long: the colours follow.
    QTest::keyClicks(&box(), QStringLiteral("a b c d "));
    ASSERT_TRUE(Settled());
    ASSERT_EQ(highlight().spans().size(), 3u);
    EXPECT_EQ(highlight().spans()[0].words, 7);
    while (box().document()->isUndoAvailable() && box().text() != kText)
        QTest::keyClick(&box(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(box().text(), kText);
    ASSERT_TRUE(Settled());
    EXPECT_EQ(highlight().spans().size(), 2u);
    QApplication::clipboard()->clear();
    QTest::keyClick(&box(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&box(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), kText);
    // Cleared, nothing is coloured.
    box().Load(QString());
    ASSERT_TRUE(Settled());
    EXPECT_TRUE(highlight().spans().empty());
    EXPECT_EQ(highlight().sentencesNow(), 0);
}

TEST_F(HighlightTest, UntilWorkedOutAgainAKeyMovesTheColoursAndALoadTakesThemOff) {
    box().Load(kText);
    ToggleByKey();
    ASSERT_TRUE(Settled());
    ASSERT_EQ(highlight().spans().size(), 2u);
    const auto [start, end, words] = highlight().spans()[1];
    // A key inside the first long sentence: it grows, the one after it moves.
    QTextCursor cursor = box().textCursor();
    cursor.setPosition(static_cast<int>(highlight().spans()[0].start) + 3);
    box().setTextCursor(cursor);
    QTest::keyClick(&box(), Qt::Key_X);
    ASSERT_EQ(highlight().spans().size(), 2u);
    EXPECT_EQ(highlight().spans()[1].start, start + 1);
    EXPECT_EQ(highlight().spans()[1].end, end + 1);
    ASSERT_TRUE(Settled());
    // Another text loaded over it: no colour of the old one stays on the new.
    box().Load(QStringLiteral("Short. Text."));
    EXPECT_TRUE(highlight().spans().empty());
    ASSERT_TRUE(Settled());
    EXPECT_TRUE(highlight().spans().empty());
    EXPECT_EQ(Coloured(), std::make_pair(0, 0));
}

TEST_F(HighlightTest, SentencesAreTheCountsWithTheUsersSeparators) {
    // A semicolon as a separator and "etc." as an abbreviation, as the count takes them.
    form->separatorsEdit()->setText(QStringLiteral(".;"));
    box().Load(
        QStringLiteral("One two three four five six; one two etc. three four five six "
                       "seven eight."));
    ToggleByKey();
    ASSERT_TRUE(Settled());
    ASSERT_EQ(highlight().spans().size(), 2u);
    EXPECT_EQ(highlight().spans()[0].words, 6);
    EXPECT_EQ(highlight().spans()[1].words, 9);
    EXPECT_EQ(highlight().sentencesNow(), 2);
    // The threshold from the statistics' spin box.
    StoreLongSentenceWords(*form, 8);
    ASSERT_TRUE(Settled());
    ASSERT_EQ(highlight().spans().size(), 1u);
    EXPECT_EQ(highlight().spans()[0].words, 9);
}

TEST_F(HighlightTest, ColoursKeepTheTextReadableAndTheChoiceComesBack) {
    const QColor text = box().palette().text().color();
    EXPECT_GE(Contrast(LongSentenceHighlight::LongColour(), text), 4.5);
    EXPECT_GE(Contrast(LongSentenceHighlight::VeryLongColour(), text), 4.5);
    static_assert(LongSentenceHighlight::kDelayMs <= 150, "applied within 300 ms");
    ToggleByKey();
    form.reset();
    Load();
    EXPECT_TRUE(form->highlightLongSentencesAction()->isChecked());
    EXPECT_TRUE(form->textBox()->longSentences().enabled());
    EXPECT_EQ(form->textBox()->longSentences().longerThan(), 5);
}

}  // namespace
}  // namespace brintale
