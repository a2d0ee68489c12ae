#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTreeView>

#include "core/results_model.h"
#include "core/splitter/unicode_sentences.h"
#include "widgets/text_box.h"
#include "windows/window_fixture.h"

namespace brintale {
namespace {

using Stretches = std::vector<std::pair<qsizetype, qsizetype>>;

// Rows with their stretches as the count will give them: given, or from the reader's rules.
class ShowInTextTest : public WindowTest {
  protected:
    MainWindow& Prepare(const QString& text, const Stretches& given = {}) {
        MainWindow& f = form ? *form : Load();
        f.show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&f));
        f.textBox()->setPlainText(text);
        f.results().Clear();
        const QString counted = f.textBox()->text();
        for (const auto& [start, end] : given)
            f.results().Append(counted.mid(start, end - start), start, end);
        if (given.empty())
            SplitUnicodeSentences(counted, {},
                                  [&](QString&& sentence, qsizetype start, qsizetype end) {
                                      f.results().Append(std::move(sentence), start, end);
                                  });
        f.session().lastCount = {true, {}, false, {}, 1};
        f.resultsView()->doItemsLayout();
        f.resultsView()->setFocus();
        return f;
    }
    void ClickRow(int row) {
        QTreeView* list = form->resultsView();
        list->scrollTo(form->results().index(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(form->results().index(row)).center());
    }
    QString Selected() const {
        return form->textBox()->textCursor().selectedText().replace(QChar::ParagraphSeparator,
                                                                    u'\n');
    }
    bool SelectionInView() const {
        const TextBox* box = form->textBox();
        return box->viewport()->rect().contains(box->cursorRect());
    }
};

TEST_F(ShowInTextTest, ClickAndArrowsShowTheSentenceAndKeepTheFocus) {
    const struct {
        const char* name;
        QString text;
        Stretches stretches;
        int row;
        QString sentence;
    } cases[] = {
        {"line breaks as typed", "First one.\r\nSecond!\r\nThird?", {}, 1, "Second!"},
        {"leading spaces",
         "   Lead in.    \t Next one follows. Last.",
         {{3, 11}, {17, 34}, {35, 40}},
         1,
         "Next one follows."},
        {"across lines",
         "A\r\nsentence over\r\nlines. Next.",
         {{0, 22}, {23, 28}},
         0,
         "A\nsentence over\nlines."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MainWindow& f = Prepare(c.text, c.stretches);
        ClickRow(c.row);
        EXPECT_EQ(Selected(), c.sentence);
        EXPECT_TRUE(f.resultsView()->hasFocus());
        QTest::keyClick(f.resultsView(), Qt::Key_Down);
        const ResultsModel::Stretch next = f.results().StretchAt(c.row + 1);
        EXPECT_EQ(Selected(), f.textBox()->text().mid(next.start, next.end - next.start));
        EXPECT_TRUE(f.resultsView()->hasFocus());
    }
}

TEST_F(ShowInTextTest, AFarSentenceIsScrolledIntoView) {
    QString text;
    for (int i = 0; i < 400; ++i) text += QStringLiteral("Sentence number %1 of many.\r\n").arg(i);
    MainWindow& f = Prepare(text);
    for (const int row : {350, 3, 399}) {
        f.resultsView()->setCurrentIndex(f.results().index(row));
        EXPECT_EQ(Selected(), QStringLiteral("Sentence number %1 of many.").arg(row));
        EXPECT_TRUE(SelectionInView()) << row;
    }
}

TEST_F(ShowInTextTest, AfterTheTextChangesRowsShowNothingAndDoubleClickStillRemoves) {
    MainWindow& f = Prepare(QStringLiteral("One. Two. Three."));
    ClickRow(0);
    EXPECT_EQ(Selected(), QStringLiteral("One."));
    f.textBox()->moveCursor(QTextCursor::End);
    QTest::keyClicks(f.textBox(), QStringLiteral(" Four."));
    EXPECT_TRUE(f.session().lastCount.changedSince);
    f.resultsView()->setFocus();
    ClickRow(1);
    EXPECT_FALSE(f.textBox()->textCursor().hasSelection());
    // A count makes rows and text match again (its rows carry no stretch yet).
    f.button(MainButton::StartCounting)->click();
    EXPECT_FALSE(f.session().lastCount.changedSince);
    // How a reader counts the text is worked out beside it.
    EXPECT_EQ(f.session().lastCount.readerCount.result(), 4);
    const QPoint at = f.resultsView()->visualRect(f.results().index(1)).center();
    QTest::mouseClick(f.resultsView()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(f.resultsView()->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(f.results().rowCount(), 3);
    EXPECT_EQ(f.results().TextAt(1), QStringLiteral("Three."));
}

}  // namespace
}  // namespace brintale
