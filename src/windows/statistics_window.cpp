#include "windows/statistics_window.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedBarSeries>
#include <QTableWidget>
#include <QToolTip>
#include <QTreeView>
#include <QVBoxLayout>
#include <QValueAxis>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <exception>
#include <thread>

#include "commands/long_sentences.h"
#include "commands/main_form.h"
#include "commands/show_in_text.h"
#include "core/error_report.h"
#include "core/results_model.h"
#include "core/splitter/unicode_sentences.h"
#include "widgets/text_box.h"

namespace brintale {

namespace {

const QColor kShortColour(0x4a, 0x7e, 0xbb);
const QColor kLongColour(0xd9, 0x53, 0x4f);

// A bar with more sentences selects only the first of them.
constexpr std::size_t kMaxSelectedRows = 1000;

// Below this many rows one thread is quicker than starting others.
constexpr int kRowsPerThread = 20000;

// The collector over every row, the rows shared out among the processor's cores: counting
// the words of a million sentences takes one core too long.
StatisticsCollector CollectRows(const ResultsModel& rows) {
    const int count = rows.Count();
    const int threads = std::clamp(
        std::min(static_cast<int>(std::thread::hardware_concurrency()), count / kRowsPerThread), 1,
        8);
    std::vector<StatisticsCollector> parts(static_cast<std::size_t>(threads));
    std::vector<std::exception_ptr> failures(static_cast<std::size_t>(threads));
    const auto collect = [&](int part) {
        try {
            const auto from = static_cast<int>(qint64(count) * part / threads);
            const auto to = static_cast<int>(qint64(count) * (part + 1) / threads);
            StatisticsCollector& collector = parts[static_cast<std::size_t>(part)];
            for (int row = from + 1; row <= to; ++row) collector.Add(rows.TextAt(row));
        } catch (...) {
            failures[static_cast<std::size_t>(part)] = std::current_exception();
        }
    };
    {
        std::vector<std::jthread> workers;
        for (int part = 1; part < threads; ++part) workers.emplace_back(collect, part);
        collect(0);
    }
    for (const std::exception_ptr& failure : failures)
        if (failure) std::rethrow_exception(failure);
    for (std::size_t part = 1; part < parts.size(); ++part) parts[0].Merge(parts[part]);
    return std::move(parts[0]);
}

QString Number(double value) {
    return value == static_cast<double>(static_cast<qint64>(value))
               ? QString::number(qint64(value))
               : QString::number(value, 'f', 1);
}

QString BinCaption(int bin, int width) {
    return width == 1 ? QString::number(bin)
                      : QStringLiteral("%1\u2013%2").arg(bin * width).arg((bin + 1) * width - 1);
}

QLabel* Figure(const QString& accessibleName, const char* objectName, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(objectName));
    label->setAccessibleName(accessibleName);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return label;
}

QString TickCaption(int words) {
    return QStringLiteral("Tick Sentences Longer Than %1 Words").arg(words);
}

}  // namespace

int HistogramBinWidth(qsizetype maxWords) {
    constexpr int kStep = 5;
    const qsizetype bins = maxWords / kStep + 1;
    if (bins <= kMaxHistogramBins) return kStep;
    // The smallest multiple of five that fits the largest count into the bars.
    const qsizetype width = (maxWords + kMaxHistogramBins) / kMaxHistogramBins;
    return static_cast<int>((width + kStep - 1) / kStep * kStep);
}

StatisticsWindow::StatisticsWindow(MainForm& form, QWidget* parent)
    : QWidget(parent, Qt::Window), form_(form) {
    setObjectName(QStringLiteral("statisticsWindow"));
    setWindowTitle(QStringLiteral("Statistics"));
    setAccessibleName(QStringLiteral("Statistics of the sentences"));
    buildControls();
    connectModel();
    recomputeTimer_.setSingleShot(true);
    recomputeTimer_.setInterval(0);
    connect(&recomputeTimer_, &QTimer::timeout, this, &StatisticsWindow::Recompute);
    connect(&readerWatcher_, &QFutureWatcher<qsizetype>::finished, this, [this] {
        readerCount_ = readerWatcher_.result();
        showCounts();
        emit readerCountShown();
    });
    resize(620, 820);
}

StatisticsWindow::~StatisticsWindow() = default;

void StatisticsWindow::buildControls() {
    auto* layout = new QVBoxLayout(this);

    textChanged_ = Figure(QStringLiteral("Text state"), "textChangedNote", this);
    textChanged_->setText(QStringLiteral("The text has changed since the count"));
    textChanged_->setStyleSheet(QStringLiteral("color: #b00000;"));
    textChanged_->hide();
    layout->addWidget(textChanged_);

    auto* figures = new QFormLayout;
    sentences_ = Figure(QStringLiteral("Sentences"), "sentencesValue", this);
    words_ = Figure(QStringLiteral("Words"), "wordsValue", this);
    characters_ = Figure(QStringLiteral("Characters"), "charactersValue", this);
    meanWords_ = Figure(QStringLiteral("Mean words per sentence"), "meanWordsValue", this);
    medianWords_ = Figure(QStringLiteral("Median words per sentence"), "medianWordsValue", this);
    percentile90Words_ = Figure(QStringLiteral("90th percentile of words per sentence"),
                                "percentile90WordsValue", this);
    maxWords_ = Figure(QStringLiteral("Most words in a sentence"), "maxWordsValue", this);
    figures->addRow(QStringLiteral("Sentences:"), sentences_);
    figures->addRow(QStringLiteral("Words:"), words_);
    figures->addRow(QStringLiteral("Characters:"), characters_);
    figures->addRow(QStringLiteral("Words per sentence, mean:"), meanWords_);
    figures->addRow(QStringLiteral("Median:"), medianWords_);
    figures->addRow(QStringLiteral("90th percentile:"), percentile90Words_);
    figures->addRow(QStringLiteral("Maximum:"), maxWords_);

    // A link, so that the whole preview wraps inside the window and still takes a click.
    longest_ = Figure(QStringLiteral("Longest sentence"), "longestSentence", this);
    longest_->setAccessibleDescription(QStringLiteral("Activate it to select it in the list"));
    longest_->setWordWrap(true);
    longest_->setTextFormat(Qt::RichText);
    longest_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(longest_, &QLabel::linkActivated, this, &StatisticsWindow::SelectLongest);
    figures->addRow(QStringLiteral("Longest sentence:"), longest_);

    auto* longRow = new QHBoxLayout;
    threshold_ = new QSpinBox(this);
    threshold_->setObjectName(QStringLiteral("longSentenceWords"));
    threshold_->setAccessibleName(QStringLiteral("Words that make a sentence long"));
    threshold_->setRange(0, kMaxLongSentenceWords);
    threshold_->setValue(ReadLongSentenceWords(form_.settings()));
    longCount_ = Figure(QStringLiteral("Sentences longer than that"), "longCountValue", this);
    longRow->addWidget(new QLabel(QStringLiteral("Longer than"), this));
    longRow->addWidget(threshold_);
    longRow->addWidget(new QLabel(QStringLiteral("words:"), this));
    longRow->addWidget(longCount_, 1);
    figures->addRow(QStringLiteral("Long sentences:"), longRow);
    layout->addLayout(figures);

    tickLong_ = new QPushButton(TickCaption(threshold_->value()), this);
    tickLong_->setObjectName(QStringLiteral("tickLongSentencesButton"));
    connect(tickLong_, &QPushButton::clicked, this,
            [this] { TickLongSentences(form_, threshold_->value()); });
    layout->addWidget(tickLong_, 0, Qt::AlignLeft);
    connect(threshold_, &QSpinBox::valueChanged, this, &StatisticsWindow::thresholdChanged);

    counts_ = Figure(QStringLiteral("The two counts"), "countsValue", this);
    whyCountsDiffer_ = Figure(QStringLiteral("Why the counts differ"), "whyCountsDiffer", this);
    whyCountsDiffer_->setWordWrap(true);
    whyCountsDiffer_->setText(QStringLiteral(
        "Your separators end a sentence at each one of a run (\"...\", \"?!\") and at the point "
        "inside a number (\"3.5\"), and leave out a last sentence without one; a reader does "
        "none of that."));
    layout->addWidget(counts_);
    layout->addWidget(whyCountsDiffer_);

    chart_ = new QChart;
    chart_->setTitle(QStringLiteral("Sentence lengths in words"));
    chart_->legend()->setAlignment(Qt::AlignBottom);
    chartView_ = new QChartView(chart_, this);
    chartView_->setObjectName(QStringLiteral("histogram"));
    chartView_->setAccessibleName(QStringLiteral("Histogram of sentence lengths in words"));
    chartView_->setAccessibleDescription(
        QStringLiteral("The same figures are in the table below it. Click a bar to select its "
                       "sentences in the list."));
    chartView_->setRenderHint(QPainter::Antialiasing);
    chartView_->setMinimumHeight(260);
    layout->addWidget(chartView_, 1);
    selectionNote_ = Figure(QStringLiteral("Selection"), "selectionNote", this);
    selectionNote_->hide();
    layout->addWidget(selectionNote_);

    table_ = new QTableWidget(0, 2, this);
    table_->setObjectName(QStringLiteral("histogramTable"));
    table_->setAccessibleName(QStringLiteral("Sentence lengths as a table"));
    table_->setHorizontalHeaderLabels({QStringLiteral("Words"), QStringLiteral("Sentences")});
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setMaximumHeight(160);
    connect(table_, &QTableWidget::cellActivated, this, [this](int row, int) { SelectBin(row); });
    connect(table_, &QTableWidget::cellClicked, this, [this](int row, int) { SelectBin(row); });
    layout->addWidget(table_);
}

void StatisticsWindow::connectModel() {
    ResultsModel& rows = form_.results();
    for (auto signal : {&ResultsModel::rowsInserted, &ResultsModel::rowsRemoved})
        connect(&rows, signal, this, &StatisticsWindow::scheduleRecompute);
    connect(&rows, &ResultsModel::modelReset, this, &StatisticsWindow::scheduleRecompute);
    // Every count ends with the header's total, also one that found nothing.
    connect(&rows, &ResultsModel::headerDataChanged, this, &StatisticsWindow::scheduleRecompute);
    connect(form_.textBox(), &QPlainTextEdit::textChanged, this, &StatisticsWindow::showTextState);
}

void StatisticsWindow::scheduleRecompute() {
    if (isVisible())
        recomputeTimer_.start();
    else
        stale_ = true;
}

void StatisticsWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (stale_) Recompute();
}

void StatisticsWindow::Recompute() {
    recomputeTimer_.stop();
    stale_ = false;
    try {
        collector_ = CollectRows(form_.results());
    } catch (const std::exception&) {
        collector_ = StatisticsCollector();
        textChanged_->setText(DescribeFailure(std::current_exception()));
        textChanged_->show();
        return;
    }
    showFigures();
    startReaderCount();
    showCounts();
    showTextState();
}

void StatisticsWindow::showFigures() {
    const SentenceStatistics stats = collector_.Result(threshold_->value());
    sentences_->setText(QString::number(stats.sentences));
    words_->setText(QString::number(stats.words));
    characters_->setText(QString::number(stats.characters));
    meanWords_->setText(QString::number(stats.meanWords, 'f', 1));
    medianWords_->setText(Number(stats.medianWords));
    percentile90Words_->setText(QString::number(stats.percentile90Words));
    maxWords_->setText(QString::number(stats.maxWords));
    longest_->setText(
        stats.longestIndex < 0
            ? QString()
            : QStringLiteral("<a href=\"#row\">%1</a>").arg(stats.longestPreview.toHtmlEscaped()));
    longest_->setToolTip(
        stats.longestIndex < 0
            ? QString()
            : QStringLiteral("Row %1; click to select it").arg(stats.longestIndex + 1));
    longCount_->setText(QString::number(stats.longerThanThreshold));
    showHistogram(stats);
}

void StatisticsWindow::showHistogram(const SentenceStatistics& stats) {
    const int longer = threshold_->value();
    binWidth_ = HistogramBinWidth(stats.maxWords);
    std::vector<std::int32_t> shortWords, longWords;
    for (const std::int32_t w : collector_.wordsPerSentence())
        (w > longer ? longWords : shortWords).push_back(w);
    std::vector<qsizetype> shortBins = WordHistogram(shortWords, binWidth_);
    std::vector<qsizetype> longBins = WordHistogram(longWords, binWidth_);
    const std::size_t bins = std::max(shortBins.size(), longBins.size());
    shortBins.resize(bins, 0);
    longBins.resize(bins, 0);

    chart_->removeAllSeries();
    for (QAbstractAxis* axis : chart_->axes()) {
        chart_->removeAxis(axis);
        delete axis;
    }
    shortBars_ = new QBarSet(QStringLiteral("Up to %1 words").arg(longer));
    longBars_ = new QBarSet(QStringLiteral("Longer than %1 words").arg(longer));
    shortBars_->setColor(kShortColour);
    longBars_->setColor(kLongColour);
    QStringList captions;
    table_->setRowCount(static_cast<int>(bins));
    qsizetype highest = 0;
    for (std::size_t bin = 0; bin < bins; ++bin) {
        const QString caption = BinCaption(static_cast<int>(bin), binWidth_);
        captions << caption;
        shortBars_->append(static_cast<qreal>(shortBins[bin]));
        longBars_->append(static_cast<qreal>(longBins[bin]));
        const qsizetype total = shortBins[bin] + longBins[bin];
        highest = std::max(highest, total);
        table_->setItem(static_cast<int>(bin), 0, new QTableWidgetItem(caption));
        table_->setItem(static_cast<int>(bin), 1, new QTableWidgetItem(QString::number(total)));
    }
    auto* series = new QStackedBarSeries;
    series->append(shortBars_);
    series->append(longBars_);
    series->setBarWidth(0.9);
    chart_->addSeries(series);
    auto* categories = new QBarCategoryAxis;
    categories->append(captions);
    categories->setTitleText(QStringLiteral("Words per sentence"));
    categories->setLabelsAngle(captions.size() > 12 ? -60 : 0);
    chart_->addAxis(categories, Qt::AlignBottom);
    series->attachAxis(categories);
    auto* counts = new QValueAxis;
    counts->setRange(0, static_cast<qreal>(std::max<qsizetype>(highest, 1)));
    counts->setLabelFormat(QStringLiteral("%d"));
    counts->setTitleText(QStringLiteral("Sentences"));
    chart_->addAxis(counts, Qt::AlignLeft);
    series->attachAxis(counts);
    connect(series, &QStackedBarSeries::clicked, this,
            [this](int bin, QBarSet*) { SelectBin(bin); });
    connect(series, &QStackedBarSeries::hovered, this,
            [this, captions, shortBins, longBins](bool over, int bin, QBarSet*) {
                if (!over) return;
                const auto b = static_cast<std::size_t>(bin);
                QToolTip::showText(QCursor::pos(),
                                   QStringLiteral("%1 words: %2 sentences, %3 of them long")
                                       .arg(captions[bin])
                                       .arg(shortBins[b] + longBins[b])
                                       .arg(longBins[b]),
                                   chartView_);
            });
}

void StatisticsWindow::startReaderCount() {
    const MainForm::CountedText& counted = form_.lastCount;
    if (!counted.done) {
        readerCount_ = -1;
        return;
    }
    // The count works it out in the background; this window only waits for it.
    if (readerCountOf_ == counted.number) return;
    readerCountOf_ = counted.number;
    readerCount_ = -1;
    readerWatcher_.setFuture(counted.readerCount);
}

void StatisticsWindow::showCounts() {
    const qsizetype byYours = form_.results().Count();
    const QString reader =
        readerCount_ >= 0 ? QString::number(readerCount_) : QStringLiteral("\u2026");
    counts_->setText(QStringLiteral("By your separators: %1 \u00b7 As a reader counts (Unicode "
                                    "rules): %2")
                         .arg(byYours)
                         .arg(reader));
    whyCountsDiffer_->setVisible(readerCount_ >= 0 && readerCount_ != byYours);
}

void StatisticsWindow::showTextState() {
    textChanged_->setText(QStringLiteral("The text has changed since the count"));
    textChanged_->setVisible(form_.lastCount.done && form_.lastCount.changedSince);
}

void StatisticsWindow::thresholdChanged(int words) {
    StoreLongSentenceWords(form_, words);
    tickLong_->setText(TickCaption(words));
    showFigures();
}

void StatisticsWindow::SelectBin(int bin) {
    std::vector<int> rows;
    const std::vector<std::int32_t>& words = collector_.wordsPerSentence();
    for (std::size_t i = 0; i < words.size(); ++i)
        if (words[i] / binWidth_ == bin) rows.push_back(static_cast<int>(i));
    selectRows(rows);
}

void StatisticsWindow::SelectLongest() {
    const SentenceStatistics stats = collector_.Result(threshold_->value());
    if (stats.longestIndex >= 0) selectRows({static_cast<int>(stats.longestIndex)});
}

void StatisticsWindow::selectRows(const std::vector<int>& rows) {
    QTreeView* view = form_.resultsView();
    QItemSelectionModel* selection = view->selectionModel();
    const ResultsModel& model = form_.results();
    if (selection == nullptr || rows.empty() || rows.back() >= model.rowCount()) return;
    // One range per run of neighbouring rows, one change for the view. The list's selection
    // answers "which rows" by going through all its ranges for each of them: past a few
    // thousand scattered rows, the list and the removal of a row would stall.
    const bool all = rows.size() <= kMaxSelectedRows;
    selectionNote_->setVisible(!all);
    selectionNote_->setText(
        QStringLiteral("%1 sentences: the list selects the first of them.").arg(rows.size()));
    QItemSelection ranges;
    for (std::size_t i = 0; i < (all ? rows.size() : 1);) {
        std::size_t j = i;
        while (all && j + 1 < rows.size() && rows[j + 1] == rows[j] + 1) ++j;
        ranges.select(model.index(rows[i]), model.index(rows[j]));
        i = j + 1;
    }
    selection->select(ranges, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    const QModelIndex first = model.index(rows.front());
    selection->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    view->scrollTo(first);
    ShowSentenceInText(form_);
}

}  // namespace brintale
