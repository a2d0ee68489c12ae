#include "windows/statistics_window.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QGraphicsTextItem>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStackedBarSeries>
#include <QTableWidget>
#include <QTest>
#include <QTreeView>
#include <algorithm>

#include "commands/long_sentences.h"
#include "core/readability.h"
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
        for (int r = 0; r < form->results().rowCount(); ++r)
            words.push_back(static_cast<std::int32_t>(CountWords(form->results().TextAt(r))));
        return words;
    }
    static bool Activate(QWidget& window) {
        window.activateWindow();
        return QTest::qWaitFor([&] { return QApplication::activeWindow() == &window; });
    }
    // What a screen reader hears of a control.
    static QString Heard(QObject* control, QAccessible::Text text = QAccessible::Name) {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(control);
        return iface ? iface->text(text) : QString();
    }
    QString HeardFigure(const char* name) const {
        return Heard(form->statisticsWindow()->findChild<QLabel*>(QString::fromLatin1(name)));
    }
    // The texts the chart shows once laid out, by where they stand beside its plot: left of
    // it (the count axis) or below it (the word ranges), each from top to bottom or left to
    // right.
    struct ChartTexts {
        QStringList left, below;
    };
    ChartTexts Laidout() const {
        auto* view = form->statisticsWindow()->findChild<QChartView*>();
        const QRectF plot = view->chart()->plotArea();
        std::vector<std::pair<QPointF, QString>> left, below;
        for (QGraphicsItem* item : view->scene()->items()) {
            auto* text = dynamic_cast<QGraphicsTextItem*>(item);
            if (text == nullptr || !text->isVisible() || text->toPlainText().isEmpty()) continue;
            const QRectF box = text->sceneBoundingRect();
            if (box.right() <= plot.left() + 1 && box.bottom() > plot.top() - box.height())
                left.emplace_back(box.center(), text->toPlainText());
            else if (box.top() >= plot.bottom() - 1)
                below.emplace_back(box.center(), text->toPlainText());
        }
        std::sort(left.begin(), left.end(),
                  [](const auto& a, const auto& b) { return a.first.y() < b.first.y(); });
        std::sort(below.begin(), below.end(),
                  [](const auto& a, const auto& b) { return a.first.x() < b.first.x(); });
        ChartTexts texts;
        for (const auto& [at, text] : left) texts.left << text;
        for (const auto& [at, text] : below) texts.below << text;
        return texts;
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
    };
    Load();
    for (const QString& text : cases) {
        SCOPED_TRACE(text.left(40).toStdString());
        Count(text);
        StatisticsWindow& window = Open();
        ASSERT_EQ(&window, form->statisticsWindow());  // the same window again
        QCoreApplication::processEvents();
        StatisticsCollector collector;
        for (int r = 0; r < form->results().rowCount(); ++r)
            collector.Add(form->results().TextAt(r));
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
// list's menu tick the long rows and leave the other ticks as they were.
TEST_F(StatisticsTest, LongSentencesByTheChosenNumber) {
    // Words: 2, 6, 3, 9; bins 0-4 and 5-9.
    Count(QStringLiteral("Two words. One two three four five six. A b c. 1 2 3 4 5 6 7 8 9."));
    StatisticsWindow& window = Open();
    auto* number = window.findChild<QSpinBox*>();
    EXPECT_EQ(number->value(), kDefaultLongSentenceWords);
    auto* tick = window.findChild<QPushButton*>(QStringLiteral("tickLongSentencesButton"));
    const auto ticked = [&] {
        std::vector<int> rows;
        for (int r = 0; r < form->results().rowCount(); ++r)
            if (form->results().IsTickedAt(r)) rows.push_back(r);
        return rows;
    };
    const struct {
        int longerThan;
        const char* longCount;
        std::vector<int> ticked;
        std::vector<qreal> longBars;
    } cases[] = {
        {3, "2", {1, 3}, {0, 2}},
        {6, "1", {3}, {0, 1}},
        {0, "4", {0, 1, 2, 3}, {2, 2}},
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
        form->results().SetAllTicked(false);
        tick->click();
        EXPECT_EQ(ticked(), c.ticked);
        // A row ticked by hand keeps its tick.
        form->results().SetAllTicked(false);
        form->results().SetTickedAt(0, true);
        std::vector<int> withFirst = c.ticked;
        if (withFirst.empty() || withFirst.front() != 0) withFirst.insert(withFirst.begin(), 0);
        form->tickLongSentencesAction()->trigger();  // the menu reads the stored number
        EXPECT_EQ(ticked(), withFirst);
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

TEST_F(StatisticsTest, EveryFigureIsHeardWithItsValue) {
    // Words: 2, 6, 3 and 9.
    Count(QStringLiteral("Two words. One two three four five six. A b c. 1 2 3 4 5 6 7 8 9."));
    StatisticsWindow& window = Open();
    Counts();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.readabilityRunning(); }, 10000));
    QCoreApplication::processEvents();
    StatisticsCollector collector;
    for (int r = 0; r < form->results().rowCount(); ++r) collector.Add(form->results().TextAt(r));
    const std::pair<const char*, QString> figures[] = {
        {"sentencesValue", "Sentences: 4"},
        {"wordsValue", "Words: 20"},
        {"charactersValue", QStringLiteral("Characters: %1").arg(collector.Result().characters)},
        {"meanWordsValue", "Mean words per sentence: 5.0"},
        {"medianWordsValue", "Median words per sentence: 4.5"},
        {"percentile90WordsValue", "90th percentile of words per sentence: 9"},
        {"maxWordsValue", "Most words in a sentence: 9"},
        {"longestSentence", "Longest sentence: 1 2 3 4 5 6 7 8 9."},
        {"longCountValue", "Sentences longer than 25 words: 0"},
        {"countsValue", "By your separators: 4; as a reader counts (Unicode rules): 4"},
    };
    for (const auto& [name, heard] : figures) EXPECT_EQ(HeardFigure(name), heard) << name;
    window.findChild<QSpinBox*>()->setValue(5);
    EXPECT_EQ(HeardFigure("longCountValue"), QStringLiteral("Sentences longer than 5 words: 2"));
    // Whatever else the window shows is heard with what it says.
    for (QLabel* label : window.findChildren<QLabel*>()) {
        if (!label->isVisible()) continue;
        const QString shown = Heard(label);
        QString value = label->text();
        value.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
        EXPECT_TRUE(shown.contains(value.section(QStringLiteral(" \u00b7 "), 0, 0)))
            << label->objectName().toStdString() << ": " << shown.toStdString();
    }
    for (QWidget* w : std::initializer_list<QWidget*>{window.findChild<QChartView*>(),
                                                      window.findChild<QTableWidget*>(),
                                                      window.findChild<QSpinBox*>()})
        EXPECT_FALSE(w->accessibleName().isEmpty()) << w->metaObject()->className();
}

TEST_F(StatisticsTest, ReadabilityFollowsInTheBackgroundAndIsHeard) {
    // 2 sentences, 9 words, 10 syllables, 27 letters, no polysyllable.
    Count(QStringLiteral("The cat sat on the mat. It was happy."));
    StatisticsWindow& window = Open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.readabilityRunning(); }, 10000));
    QCoreApplication::processEvents();
    const auto scores = Readability({2, 9, 10, 27, 0});
    ASSERT_TRUE(scores.has_value());
    const std::pair<const char*, QString> figures[] = {
        {"fleschReadingEaseValue",
         QStringLiteral("Flesch Reading Ease: %1").arg(scores->fleschReadingEase, 0, 'f', 1)},
        {"fleschKincaidGradeValue", QStringLiteral("Flesch\u2013Kincaid Grade: %1")
                                        .arg(scores->fleschKincaidGrade, 0, 'f', 1)},
        {"smogValue", QStringLiteral("SMOG: 3.1")},
        {"gradeMeaning",
         QStringLiteral("What the grade means: ") + GradeMeaning(scores->fleschKincaidGrade)},
    };
    for (const auto& [name, heard] : figures) EXPECT_EQ(HeardFigure(name), heard) << name;
    EXPECT_TRUE(window.findChild<QLabel*>(QStringLiteral("englishNote"))
                    ->text()
                    .contains(QStringLiteral("made for English")));
    // No sentences: no score.
    form->button(MainButton::ClearResults)->click();
    window.Recompute();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.readabilityRunning(); }, 10000));
    QCoreApplication::processEvents();
    EXPECT_EQ(HeardFigure("smogValue"), QStringLiteral("SMOG: none"));
}

TEST_F(StatisticsTest, TheSelectionAndTheTextAsItIsNow) {
    Count(QStringLiteral("The cat sat on the mat. It was happy. One more."));
    StatisticsWindow& window = Open();
    auto* selection = window.findChild<QLabel*>(QStringLiteral("selectionValue"));
    auto* now = window.findChild<QLabel*>(QStringLiteral("textNowValue"));
    EXPECT_FALSE(selection->isVisible());  // nothing selected
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return now->text() == QStringLiteral("The text now: 3 sentences"); }, 5000));
    // The first two sentences selected: their figures, at once.
    TextBox* box = form->textBox();
    QTextCursor cursor = box->textCursor();
    cursor.setPosition(0);
    cursor.setPosition(37, QTextCursor::KeepAnchor);
    box->setTextCursor(cursor);
    QCoreApplication::processEvents();
    const auto grade = Readability({2, 9, 10, 27, 0})->fleschKincaidGrade;
    ASSERT_TRUE(selection->isVisible());
    EXPECT_EQ(selection->text(), QStringLiteral("Selected text: 2 sentences, 9 words, "
                                                "Flesch\u2013Kincaid grade %1")
                                     .arg(grade, 0, 'f', 1));
    EXPECT_EQ(Heard(selection), selection->text());
    cursor.clearSelection();
    box->setTextCursor(cursor);
    QCoreApplication::processEvents();
    EXPECT_FALSE(selection->isVisible());
    // Typing follows in the line of the text now; the count's figures stay.
    box->moveCursor(QTextCursor::End);
    QTest::keyClicks(box, QStringLiteral(" Two more. "));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return now->text() == QStringLiteral("The text now: 4 sentences"); }, 5000));
    EXPECT_EQ(HeardFigure("textNowValue"), QStringLiteral("The text now: 4 sentences"));
    EXPECT_EQ(HeardFigure("sentencesValue"), QStringLiteral("Sentences: 3"));
    // The check box and Ctrl+H are one choice; the legend follows the number.
    auto* check = window.findChild<QCheckBox*>(QStringLiteral("highlightLongSentences"));
    check->click();
    EXPECT_TRUE(form->highlightLongSentencesAction()->isChecked());
    form->highlightLongSentencesAction()->trigger();
    EXPECT_FALSE(check->isChecked());
    window.findChild<QSpinBox*>()->setValue(7);
    EXPECT_EQ(HeardFigure("legendLong"), QStringLiteral("Yellow: more than 7 words"));
    EXPECT_EQ(HeardFigure("legendVeryLong"), QStringLiteral("Red: more than 14 words"));
}

// The list's menu holds the window and the ticking; Ctrl+I opens the window only from the
// list.
TEST_F(StatisticsTest, ListMenuAndShortcut) {
    MainWindow& f = Load();
    QStringList captions;
    for (QAction* action : f.listMenu()->actions())
        if (!action->isSeparator()) captions << action->text();
    EXPECT_EQ(captions,
              QStringList({"Check All", "Uncheck All", QStringLiteral("Statistics\u2026"),
                           "Tick Sentences Longer Than 25 Words", "Highlight Long Sentences"}));
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

// Sentences of 1, 6, 11, ... words: one in each bar of five words, `bars` bars.
QString OneSentencePerBar(int bars) {
    QString text;
    for (int bar = 0; bar < bars; ++bar)
        text += QStringLiteral("w ").repeated(5 * bar) + QStringLiteral("end. ");
    return text;
}

TEST_F(StatisticsTest, CountAxisStepsAreWholeAndReachTheHighestBar) {
    const std::tuple<qsizetype, qsizetype, qsizetype> cases[] = {
        {0, 1, 1}, {1, 1, 1}, {3, 3, 1},   {5, 5, 1},
        {6, 6, 2}, {7, 8, 2}, {11, 15, 5}, {1000, 1000, 200},
    };
    for (const auto& [highest, top, step] : cases) {
        const CountAxisScale scale = CountAxis(highest);
        EXPECT_EQ(std::pair(scale.top, scale.step), std::pair(top, step)) << highest;
    }
    for (qsizetype highest = 1; highest <= 20000; ++highest) {
        const CountAxisScale scale = CountAxis(highest);
        ASSERT_EQ(scale.top % scale.step, 0) << highest;
        ASSERT_GE(scale.top, highest);
        ASSERT_LT(scale.top - scale.step, highest);  // no empty step above the highest bar
        ASSERT_LE(scale.top / scale.step, kMaxCountSteps);
    }
}

// Every gridline of the count axis has a whole number that is true of it.
TEST_F(StatisticsTest, TheCountAxisReadsWholeSentences) {
    const std::pair<QString, QStringList> cases[] = {
        {QStringLiteral("One. Two. Three."), {"3", "2", "1", "0"}},
        {QStringLiteral("One."), {"1", "0"}},
        {QStringLiteral("A. ").repeated(7), {"8", "6", "4", "2", "0"}},
    };
    for (const auto& [text, labels] : cases) {
        SCOPED_TRACE(text.toStdString());
        Count(text);
        Open();
        const auto numbers = [&] {
            QStringList left = Laidout().left;
            left.removeIf([](const QString& t) { return !t.front().isDigit(); });
            return left;
        };
        EXPECT_TRUE(QTest::qWaitFor([&] { return numbers() == labels; }))
            << numbers().join(u' ').toStdString();
    }
}

// However many bars, and however narrow the window, each bar's range is shown whole.
TEST_F(StatisticsTest, EveryBarShowsItsWholeRange) {
    const struct {
        int bars;
        QSize window;
    } cases[] = {{13, {620, 700}}, {30, {620, 700}}, {13, {330, 500}}, {3, {330, 500}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 bars in %2x%3")
                         .arg(c.bars)
                         .arg(c.window.width())
                         .arg(c.window.height())
                         .toStdString());
        Count(OneSentencePerBar(c.bars));
        StatisticsWindow& window = Open();
        window.resize(c.window);
        ASSERT_EQ(window.binWidth(), 5);
        QStringList ranges;
        for (int bar = 0; bar < c.bars; ++bar)
            ranges << QStringLiteral("%1\u2013%2").arg(5 * bar).arg(5 * bar + 4);
        const auto whole = [&] {
            const QStringList below = Laidout().below;
            return std::all_of(ranges.begin(), ranges.end(),
                               [&](const QString& r) { return below.contains(r); });
        };
        EXPECT_TRUE(QTest::qWaitFor(whole, 3000)) << Laidout().below.join(u' ').toStdString();
    }
}

// Once the list is cleared there is no count left to set beside the reader's; a count that
// found nothing, or a list a row shorter, still has one.
TEST_F(StatisticsTest, AnEmptyListComparesNothingAndDrawsNoAxis) {
    Count(kIssueExample);
    StatisticsWindow& window = Open();
    Counts();
    auto* why = window.findChild<QLabel*>(QStringLiteral("whyCountsDiffer"));
    EXPECT_TRUE(why->isVisible());
    form->results().RemoveAt(0);
    QCoreApplication::processEvents();
    EXPECT_EQ(Shown("countsValue"), QStringLiteral("By your separators: 8 (7 left in the list) "
                                                   "\u00b7 As a reader counts (Unicode rules): 4"));

    form->button(MainButton::ClearResults)->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(Shown("countsValue"),
              QStringLiteral("The list holds no count to compare with a reader's."));
    EXPECT_FALSE(why->isVisible());
    EXPECT_EQ(Shown("sentencesValue"), QStringLiteral("0"));
    EXPECT_EQ(Shown("meanWordsValue"), QStringLiteral("\u2014"));
    EXPECT_EQ(HeardFigure("meanWordsValue"), QStringLiteral("Mean words per sentence: none"));
    EXPECT_EQ(HeardFigure("longestSentence"), QStringLiteral("Longest sentence: none"));
    QChart* chart = window.findChild<QChartView*>()->chart();
    EXPECT_TRUE(chart->axes().isEmpty());
    EXPECT_TRUE(chart->series().isEmpty());
    EXPECT_EQ(window.findChild<QTableWidget*>()->rowCount(), 0);

    Count(QStringLiteral("A line without a full stop"));
    EXPECT_EQ(Counts(), QStringLiteral("By your separators: 0 \u00b7 As a reader counts (Unicode "
                                       "rules): 1"));
    EXPECT_TRUE(why->isVisible());
    EXPECT_TRUE(chart->axes().isEmpty());
}

TEST_F(StatisticsTest, TheLongestSentenceCutShowsItGoesOn) {
    const QString longOne = QStringLiteral("word ").repeated(30) + QStringLiteral("end.");
    const QString exactly80 = QStringLiteral("x").repeated(75) + QStringLiteral(" end.");
    const struct {
        QString text, shown, whole;
    } cases[] = {
        {QStringLiteral("Short. ") + longOne, longOne.left(80) + QChar(0x2026), longOne},
        {QStringLiteral("Short. ") + exactly80, exactly80, exactly80},
    };
    for (const auto& c : cases) {
        Count(c.text);
        StatisticsWindow& window = Open();
        auto* longest = window.findChild<QLabel*>(QStringLiteral("longestSentence"));
        EXPECT_EQ(longest->text(), QStringLiteral("<a href=\"#row\">%1</a>").arg(c.shown));
        EXPECT_EQ(Heard(longest), QStringLiteral("Longest sentence: ") + c.shown);
        EXPECT_TRUE(Heard(longest, QAccessible::Description).endsWith(c.whole));
        EXPECT_TRUE(longest->toolTip().contains(c.whole));
    }
}

TEST_F(StatisticsTest, TabLeavesTheTableAndEscapeClosesTheWindow) {
    Count(OneSentencePerBar(4));
    StatisticsWindow& window = Open();
    ASSERT_TRUE(Activate(window));
    auto* table = window.findChild<QTableWidget*>();
    const std::pair<int, Qt::KeyboardModifiers> keys[] = {
        {Qt::Key_Tab, Qt::NoModifier},
        {Qt::Key_Backtab, Qt::ShiftModifier},
        {Qt::Key_Tab, Qt::ControlModifier},
        {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier},
    };
    for (const auto& [key, modifiers] : keys) {
        SCOPED_TRACE(QKeySequence(key | modifiers).toString().toStdString());
        table->setFocus(Qt::OtherFocusReason);
        table->setCurrentCell(1, 0);
        ASSERT_TRUE(table->hasFocus());
        QTest::keyClick(table, Qt::Key(key), modifiers);
        EXPECT_FALSE(table->hasFocus());
        EXPECT_EQ(table->currentRow(), 1);
    }
    table->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(table, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
    Open();  // the same window again, where it was
    EXPECT_EQ(form->statisticsWindow(), &window);
    EXPECT_TRUE(window.isVisible());
}

// On a screen smaller than the window's own size it opens within the free area, and every
// control can be scrolled into view.
TEST_F(StatisticsTest, TheWindowFitsTheScreenAndScrollsToEveryControl) {
    Count(OneSentencePerBar(6));
    StatisticsWindow& window = Open();
    ASSERT_TRUE(Activate(window));
    const QRect area = window.screen()->availableGeometry();
    ASSERT_LT(area.height(), 820) << "a screen with room for the whole window tells nothing";
    EXPECT_TRUE(area.contains(window.frameGeometry()))
        << window.frameGeometry().width() << "x" << window.frameGeometry().height();
    auto* scroll = window.findChild<QScrollArea*>();
    ASSERT_NE(scroll, nullptr);
    const QRect visible = scroll->viewport()->rect();
    for (QWidget* w : std::initializer_list<QWidget*>{
             window.findChild<QSpinBox*>(), window.findChild<QPushButton*>(),
             window.findChild<QChartView*>(), window.findChild<QTableWidget*>()}) {
        SCOPED_TRACE(w->objectName().toStdString());
        w->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
        const QRect shown(w->mapTo(scroll->viewport(), QPoint(0, 0)), w->size());
        EXPECT_TRUE(visible.contains(shown) || shown.contains(visible))
            << shown.y() << "+" << shown.height() << " in " << visible.height();
    }
}

// Qt tells a screen reader nothing when a table's rows go, so it asks on for the cells it
// knew of, by the table's id as the desktop's bridge does: it must get none of the rows that
// went (on a desktop Qt warns "QAccessibleTable::child: Invalid index" for each, which
// check-accessibility watches for). The table found now answers for every cell it has.
TEST_F(StatisticsTest, AScreenReaderGetsNoCellOfRowsThatWent) {
    Count(OneSentencePerBar(8));
    StatisticsWindow& window = Open();
    ASSERT_TRUE(Activate(window));
    window.findChild<QTableWidget*>()->setFocus();
    QAccessibleInterface* table =
        QAccessible::queryAccessibleInterface(window.findChild<QTableWidget*>());
    const QAccessible::Id id = QAccessible::uniqueId(table);
    const int known = table->childCount();
    for (int i = 0; i < known; ++i) ASSERT_NE(table->child(i), nullptr) << i;
    for (const int bars : {2, 0, 5}) {
        SCOPED_TRACE(bars);
        Count(OneSentencePerBar(bars));
        QCoreApplication::processEvents();
        if (QAccessibleInterface* asked = QAccessible::accessibleInterface(id)) {
            for (int i = asked->childCount(); i < known; ++i)
                EXPECT_EQ(asked->child(i), nullptr) << i;
        }
        auto* now = window.findChild<QTableWidget*>();
        EXPECT_EQ(now->rowCount(), bars);
        EXPECT_TRUE(now->hasFocus());  // the focus stays where it was
        QAccessibleInterface* fresh = QAccessible::queryAccessibleInterface(now);
        EXPECT_EQ(fresh->childCount(), (bars + 1) * 3);  // with the headers' cells
        for (int i = 0; i < fresh->childCount(); ++i) EXPECT_NE(fresh->child(i), nullptr) << i;
    }
}

}  // namespace
}  // namespace brintale
