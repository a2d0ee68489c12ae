#include "windows/statistics_window.h"

#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStackedBarSeries>
#include <QTableWidget>
#include <QTest>
#include <QTreeView>

#include "commands/long_sentences.h"
#include "core/results_model.h"
#include "widgets/text_box.h"
#include "windows/window_fixture.h"

namespace brintale {
namespace {

const QString kIssueExample =
    QStringLiteral("Hello world. Wait... what?! It costs 3.5 dollars. A line without a full stop");

class StatisticsTest : public WindowTest {
  protected:
    MainWindow& Count(const QString& text) {
        if (!form) Load();
        form->textBox()->setPlainText(text);
        form->button(MainButton::StartCounting)->click();
        QCoreApplication::processEvents();
        return *form;
    }
    StatisticsWindow& Open() {
        form->show();
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        form->resultsView()->setFocus();
        QTest::keyClick(form->resultsView(), Qt::Key_I, Qt::ControlModifier);
        StatisticsWindow* window = form->statisticsWindow();
        EXPECT_NE(window, nullptr);
        return *window;
    }
    QString Shown(const char* name) const {
        return form->statisticsWindow()->findChild<QLabel*>(QString::fromLatin1(name))->text();
    }
    // Waits for the reader's count, which runs beside the window.
    QString Counts() const {
        const QString name = QStringLiteral("countsValue");
        auto* counts = form->statisticsWindow()->findChild<QLabel*>(name);
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return !counts->text().endsWith(QChar(0x2026)); }, 10000));
        return counts->text();
    }
    std::vector<QBarSet*> Bars() const {
        auto* view = form->statisticsWindow()->findChild<QChartView*>();
        auto* series = qobject_cast<QStackedBarSeries*>(view->chart()->series().value(0));
        return series ? std::vector<QBarSet*>{series->barSets()[0], series->barSets()[1]}
                      : std::vector<QBarSet*>{};
    }
    std::vector<std::int32_t> WordsOfRows() const {
        std::vector<std::int32_t> words;
        for (int r = 1; r <= form->results().Count(); ++r)
            words.push_back(static_cast<std::int32_t>(CountWords(form->results().TextAt(r))));
        return words;
    }
    std::vector<int> SelectedRows() const {
        std::vector<int> rows;
        for (const QModelIndex& i : form->resultsView()->selectionModel()->selectedRows())
            rows.push_back(i.row());
        std::sort(rows.begin(), rows.end());
        return rows;
    }
};

// The window shows what the collector computes over the rows, follows every count while it
// is open, and keeps to one instance.
TEST_F(StatisticsTest, ShowsTheFiguresOfTheRows) {
    const QString longOne = QStringLiteral("word ").repeated(160) + QStringLiteral("end.");
    const QString cases[] = {
        kIssueExample,
        QStringLiteral("One two three. Four five!\r\nSix seven eight nine ten eleven?"),
        QStringLiteral("Short. ") + longOne + QStringLiteral(" Tail."),
        QString(),
    };
    Load();
    for (const QString& text : cases) {
        SCOPED_TRACE(text.left(40).toStdString());
        Count(text);
        StatisticsWindow& window = Open();
        ASSERT_EQ(&window, form->statisticsWindow());  // the same window again
        QCoreApplication::processEvents();
        StatisticsCollector collector;
        for (int r = 1; r <= form->results().Count(); ++r) collector.Add(form->results().TextAt(r));
        const SentenceStatistics s = collector.Result(kDefaultLongSentenceWords);
        EXPECT_EQ(Shown("sentencesValue"), QString::number(s.sentences));
        EXPECT_EQ(Shown("wordsValue"), QString::number(s.words));
        EXPECT_EQ(Shown("charactersValue"), QString::number(s.characters));
        EXPECT_EQ(Shown("meanWordsValue"), QString::number(s.meanWords, 'f', 1));
        EXPECT_EQ(Shown("medianWordsValue").toDouble(), s.medianWords);
        EXPECT_EQ(Shown("percentile90WordsValue"), QString::number(s.percentile90Words));
        EXPECT_EQ(Shown("maxWordsValue"), QString::number(s.maxWords));
        EXPECT_EQ(Shown("longCountValue"), QString::number(s.longerThanThreshold));
        EXPECT_TRUE(Shown("longestSentence").contains(s.longestPreview.toHtmlEscaped()));
        // The bars: short and long parts of each bin, and the same in the table.
        const int width = window.binWidth();
        EXPECT_EQ(width, HistogramBinWidth(s.maxWords));
        const std::vector<qsizetype> all = WordHistogram(WordsOfRows(), width);
        const std::vector<QBarSet*> bars = Bars();
        ASSERT_EQ(bars.size(), 2u);
        ASSERT_EQ(static_cast<std::size_t>(bars[0]->count()), all.size());
        const auto* table = window.findChild<QTableWidget*>();
        qsizetype longBars = 0;
        for (std::size_t b = 0; b < all.size(); ++b) {
            EXPECT_EQ(bars[0]->at(int(b)) + bars[1]->at(int(b)), all[b]) << b;
            EXPECT_EQ(table->item(int(b), 1)->text(), QString::number(all[b]));
            longBars += qsizetype(bars[1]->at(int(b)));
        }
        EXPECT_EQ(longBars, s.longerThanThreshold);
    }
    EXPECT_TRUE(Reports().isEmpty());
}

TEST_F(StatisticsTest, BinsWidenToKeepTheBarsFew) {
    const std::pair<qsizetype, int> cases[] = {{0, 5},    {149, 5},  {150, 10},
                                               {299, 10}, {300, 15}, {1000, 35}};
    for (const auto& [maxWords, width] : cases) {
        EXPECT_EQ(HistogramBinWidth(maxWords), width) << maxWords;
        EXPECT_LE(maxWords / width + 1, kMaxHistogramBins);
    }
}

TEST_F(StatisticsTest, TheReadersCountBesideTheSeparators) {
    Count(kIssueExample);
    StatisticsWindow& window = Open();
    EXPECT_EQ(Counts(), QStringLiteral("By your separators: 8 \u00b7 As a reader counts (Unicode "
                                       "rules): 4"));
    EXPECT_TRUE(window.findChild<QLabel*>(QStringLiteral("whyCountsDiffer"))->isVisible());
    // The reader's count uses the list the count used: without "etc." it ends a sentence.
    store.Write(kKeyAbbreviations, QString());
    Count(QStringLiteral("Apples etc. Pears."));
    EXPECT_EQ(Counts(), QStringLiteral("By your separators: 2 \u00b7 As a reader counts (Unicode "
                                       "rules): 2"));
    EXPECT_FALSE(window.findChild<QLabel*>(QStringLiteral("whyCountsDiffer"))->isVisible());
    store.Write(kKeyAbbreviations, QStringLiteral("etc.") + kAbbreviationDelimiter);
    Count(QStringLiteral("Apples etc. Pears."));
    EXPECT_EQ(Counts(), QStringLiteral("By your separators: 1 \u00b7 As a reader counts (Unicode "
                                       "rules): 1"));
}

TEST_F(StatisticsTest, TheTextChangedSinceTheCount) {
    Count(QStringLiteral("One. Two."));
    StatisticsWindow& window = Open();
    auto* note = window.findChild<QLabel*>(QStringLiteral("textChangedNote"));
    EXPECT_FALSE(note->isVisible());
    QTest::keyClicks(form->textBox(), QStringLiteral(" Three."));
    EXPECT_TRUE(note->isVisible());
    EXPECT_EQ(note->text(), QStringLiteral("The text has changed since the count"));
    EXPECT_EQ(Shown("sentencesValue"), QStringLiteral("2"));  // no count behind the user's back
    form->button(MainButton::StartCounting)->click();
    QCoreApplication::processEvents();
    EXPECT_FALSE(note->isVisible());
    EXPECT_EQ(Shown("sentencesValue"), QStringLiteral("3"));
}

// The long-sentence number: stored at once, the figures and bars follow, the button and the
// list's menu tick exactly the long rows.
TEST_F(StatisticsTest, LongSentencesByTheChosenNumber) {
    // Words: 2, 6, 3, 9; bins 0-4 and 5-9.
    Count(QStringLiteral("Two words. One two three four five six. A b c. 1 2 3 4 5 6 7 8 9."));
    StatisticsWindow& window = Open();
    auto* number = window.findChild<QSpinBox*>();
    EXPECT_EQ(number->value(), kDefaultLongSentenceWords);
    auto* tick = window.findChild<QPushButton*>(QStringLiteral("tickLongSentencesButton"));
    const auto ticked = [&] {
        std::vector<int> rows;
        for (int r = 1; r <= form->results().Count(); ++r)
            if (form->results().IsTickedAt(r)) rows.push_back(r);
        return rows;
    };
    const struct {
        int longerThan;
        const char* longCount;
        std::vector<int> ticked;
        std::vector<qreal> longBars;
    } cases[] = {
        {3, "2", {2, 4}, {0, 2}},
        {6, "1", {4}, {0, 1}},
        {0, "4", {1, 2, 3, 4}, {2, 2}},
        {9, "0", {}, {0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.longerThan);
        number->setValue(c.longerThan);
        EXPECT_EQ(store.Read(kKeyLongSentenceWords), QString::number(c.longerThan));
        EXPECT_EQ(Shown("longCountValue"), QString::fromLatin1(c.longCount));
        EXPECT_EQ(tick->text(),
                  QStringLiteral("Tick Sentences Longer Than %1 Words").arg(c.longerThan));
        std::vector<qreal> longBars;
        for (int b = 0; b < Bars()[1]->count(); ++b) longBars.push_back(Bars()[1]->at(b));
        EXPECT_EQ(longBars, c.longBars);
        form->results().SetAllTicked(true);
        tick->click();
        EXPECT_EQ(ticked(), c.ticked);
        form->results().SetAllTicked(false);
        form->tickLongSentencesAction()->trigger();  // the menu reads the stored number
        EXPECT_EQ(ticked(), c.ticked);
    }
    EXPECT_TRUE(Reports().isEmpty());
}

TEST_F(StatisticsTest, AFailingStoreIsToldOnce) {
    Count(QStringLiteral("One."));
    auto* number = Open().findChild<QSpinBox*>();
    {
        BrokenStore broken;
        number->setValue(3);
        number->setValue(4);
    }
    const auto messages = fakes.prompts.of(testing::FakePrompts::Kind::Message);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].icon, Prompts::Icon::Warning);
    EXPECT_EQ(number->value(), 4);  // the number stays in effect
    number->setValue(5);
    EXPECT_EQ(store.Read(kKeyLongSentenceWords), QStringLiteral("5"));
}

// A bar selects its sentences in the list, the longest sentence its row; the list keeps its
// single selection for the user's own clicks.
TEST_F(StatisticsTest, BarsAndTheLongestSentenceSelectRows) {
    // Words: 2, 7, 3, 12, 1, 6.
    Count(
        QStringLiteral("Two words. 1 2 3 4 5 6 7. A b c. 1 2 3 4 5 6 7 8 9 10 11 12. One. "
                       "1 2 3 4 5 6."));
    StatisticsWindow& window = Open();
    QTreeView* list = form->resultsView();
    auto* series = qobject_cast<QStackedBarSeries*>(
        window.findChild<QChartView*>()->chart()->series().value(0));
    ASSERT_NE(series, nullptr);
    const std::pair<int, std::vector<int>> bins[] = {{0, {0, 2, 4}}, {1, {1, 5}}, {2, {3}}};
    for (const auto& [bin, rows] : bins) {
        emit series->clicked(bin, series->barSets()[0]);
        EXPECT_EQ(SelectedRows(), rows) << bin;
        EXPECT_EQ(list->currentIndex().row(), rows.front());
    }
    window.findChild<QTableWidget*>()->cellActivated(1, 0);
    EXPECT_EQ(SelectedRows(), (std::vector<int>{1, 5}));
    emit window.findChild<QLabel*>(QStringLiteral("longestSentence"))->linkActivated("#row");
    EXPECT_EQ(SelectedRows(), std::vector<int>{3});
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_FALSE(window.findChild<QLabel*>(QStringLiteral("selectionNote"))->isVisible());

    // Past a thousand sentences the bar selects the first alone, and says so.
    Count(QStringLiteral("A b. ").repeated(1001) + QStringLiteral("1 2 3 4 5 6."));
    QCoreApplication::processEvents();
    window.SelectBin(0);
    EXPECT_EQ(SelectedRows(), std::vector<int>{0});
    EXPECT_TRUE(window.findChild<QLabel*>(QStringLiteral("selectionNote"))->isVisible());
    window.SelectBin(1);
    EXPECT_EQ(SelectedRows(), std::vector<int>{1001});
    EXPECT_FALSE(window.findChild<QLabel*>(QStringLiteral("selectionNote"))->isVisible());
}

TEST_F(StatisticsTest, EveryFigureHasAName) {
    Count(QStringLiteral("One."));
    StatisticsWindow& window = Open();
    for (QLabel* label : window.findChildren<QLabel*>()) {
        if (label->objectName().isEmpty()) continue;  // the captions of the figures
        EXPECT_FALSE(label->accessibleName().isEmpty()) << label->objectName().toStdString();
    }
    for (QWidget* w : std::initializer_list<QWidget*>{window.findChild<QChartView*>(),
                                                      window.findChild<QTableWidget*>(),
                                                      window.findChild<QSpinBox*>()})
        EXPECT_FALSE(w->accessibleName().isEmpty()) << w->metaObject()->className();
}

// The list's menu holds the window and the ticking; Ctrl+I opens the window only from the
// list.
TEST_F(StatisticsTest, ListMenuAndShortcut) {
    MainWindow& f = Load();
    QStringList captions;
    for (QAction* action : f.listMenu()->actions())
        if (!action->isSeparator()) captions << action->text();
    EXPECT_EQ(captions, QStringList({"Check All", "Uncheck All", QStringLiteral("Statistics\u2026"),
                                     "Tick Sentences Longer Than 25 Words"}));
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    f.separatorsEdit()->setFocus();
    QTest::keyClick(f.separatorsEdit(), Qt::Key_I, Qt::ControlModifier);
    EXPECT_EQ(f.statisticsWindow(), nullptr);
    f.statisticsAction()->trigger();
    ASSERT_NE(f.statisticsWindow(), nullptr);
    EXPECT_TRUE(f.statisticsWindow()->isVisible());
    EXPECT_FALSE(f.statisticsWindow()->isModal());
}

}  // namespace
}  // namespace brintale
