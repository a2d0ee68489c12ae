#include "windows/statistics_window.h"

#include <QAction>
#include <QApplication>
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QCursor>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStackedBarSeries>
#include <QTableWidget>
#include <QTextDocument>
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
#include "commands/session.h"
#include "commands/show_in_text.h"
#include "core/error_report.h"
#include "core/results_model.h"
#include "core/splitter/unicode_sentences.h"
#include "core/text_sentences.h"
#include "widgets/long_sentence_highlight.h"
#include "widgets/look.h"
#include "widgets/text_box.h"

namespace brintale {

namespace {

const QColor kShortColour(0x4a, 0x7e, 0xbb);
const QColor kLongColour(0xd9, 0x53, 0x4f);

// A bar with more sentences selects only the first of them.
constexpr std::size_t kMaxSelectedRows = 1000;

QString Number(double value) {
    return value == static_cast<double>(static_cast<qint64>(value))
               ? QString::number(qint64(value))
               : QString::number(value, 'f', 1);
}

QString BinCaption(int bin, int width) {
    return width == 1 ? QString::number(bin)
                      : QStringLiteral("%1\u2013%2").arg(bin * width).arg((bin + 1) * width - 1);
}

// What a figure shows without sentences, and how it is heard.
const QString kNoFigure = QStringLiteral("\u2014");
const QString kNoFigureHeard = QStringLiteral("none");

// A figure's caption, kept on its label so that it is heard with the value.
constexpr char kCaptionProperty[] = "figureCaption";

QLabel* Figure(const QString& caption, const char* objectName, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(objectName));
    label->setProperty(kCaptionProperty, caption);
    label->setAccessibleName(caption);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return label;
}

// A screen reader reads a label's accessible name in place of its text: the name holds both.
void ShowFigure(QLabel* label, const QString& shown, const QString& heard) {
    label->setText(shown);
    label->setAccessibleName(label->property(kCaptionProperty).toString() + QStringLiteral(": ") +
                             heard);
}

void ShowFigure(QLabel* label, const QString& value) { ShowFigure(label, value, value); }

QString TickCaption(int words) {
    return QStringLiteral("Tick Sentences Longer Than %1 Words").arg(words);
}

QString LongCaption(int words) {
    return QStringLiteral("Sentences longer than %1 words").arg(words);
}

// The longest sentence's description for a screen reader: all of it up to a size a reader
// can take.
QString Described(const QString& sentence) {
    constexpr qsizetype kMaxDescription = 4000;
    if (sentence.size() <= kMaxDescription) return sentence;
    qsizetype end = kMaxDescription;
    if (sentence[end - 1].isHighSurrogate()) --end;
    return sentence.first(end) + QChar(0x2026);
}

// The room the chart's axis leaves beside a caption (QtCharts pads each side by 4), and a
// little over.
constexpr qreal kCaptionPadding = 10;

constexpr int kChartHeight = 260;

// The size the window asks for where the screen has room.
constexpr QSize kWantedSize(620, 820);
constexpr QSize kSmallestSize(320, 240);
// A title bar and borders, for a window the manager has not framed yet.
constexpr QMargins kFrameGuess(4, 30, 4, 4);

}  // namespace

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
    connect(&readabilityWatcher_, &QFutureWatcher<ReadabilityCounts>::finished, this, [this] {
        showReadability(readabilityWatcher_.result());
        emit readabilityShown();
    });
    connect(&readerWatcher_, &QFutureWatcher<qsizetype>::finished, this, [this] {
        readerCount_ = readerWatcher_.result();
        showCounts();
        emit readerCountShown();
    });
    auto* close = new QAction(this);
    close->setShortcut(QKeySequence(Qt::Key_Escape));
    close->setShortcutContext(Qt::WindowShortcut);
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);
    resize(kWantedSize);
}

// The focus moves while the children go, when this is no longer a statistics window.
StatisticsWindow::~StatisticsWindow() {
    disconnect(focusFollower_);
    readabilityStop_->store(true);
}

void StatisticsWindow::buildControls() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName(QStringLiteral("statisticsScrollArea"));
    scroll_->setWidgetResizable(true);
    scroll_->setFrameShape(QFrame::NoFrame);
    // Its controls take the focus, not the area round them.
    scroll_->setFocusPolicy(Qt::NoFocus);
    outer->addWidget(scroll_);
    auto* content = new QWidget(scroll_);
    content->setObjectName(QStringLiteral("statisticsContent"));
    auto* layout = new QVBoxLayout(content);

    textChanged_ = Figure(QStringLiteral("Text state"), "textChangedNote", content);
    textChanged_->setStyleSheet(QStringLiteral("color: #b00000;"));
    textChanged_->hide();
    layout->addWidget(textChanged_);

    auto* figures = new QFormLayout;
    sentences_ = Figure(QStringLiteral("Sentences"), "sentencesValue", content);
    words_ = Figure(QStringLiteral("Words"), "wordsValue", content);
    characters_ = Figure(QStringLiteral("Characters"), "charactersValue", content);
    meanWords_ = Figure(QStringLiteral("Mean words per sentence"), "meanWordsValue", content);
    medianWords_ = Figure(QStringLiteral("Median words per sentence"), "medianWordsValue", content);
    percentile90Words_ = Figure(QStringLiteral("90th percentile of words per sentence"),
                                "percentile90WordsValue", content);
    maxWords_ = Figure(QStringLiteral("Most words in a sentence"), "maxWordsValue", content);
    figures->addRow(QStringLiteral("Sentences:"), sentences_);
    figures->addRow(QStringLiteral("Words:"), words_);
    figures->addRow(QStringLiteral("Characters:"), characters_);
    figures->addRow(QStringLiteral("Words per sentence, mean:"), meanWords_);
    figures->addRow(QStringLiteral("Median:"), medianWords_);
    figures->addRow(QStringLiteral("90th percentile:"), percentile90Words_);
    figures->addRow(QStringLiteral("Maximum:"), maxWords_);

    // A link, so that the whole preview wraps inside the window and still takes a click.
    longest_ = Figure(QStringLiteral("Longest sentence"), "longestSentence", content);
    longest_->setWordWrap(true);
    longest_->setTextFormat(Qt::RichText);
    longest_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(longest_, &QLabel::linkActivated, this, &StatisticsWindow::SelectLongest);
    figures->addRow(QStringLiteral("Longest sentence:"), longest_);

    auto* longRow = new QHBoxLayout;
    threshold_ = new QSpinBox(content);
    threshold_->setObjectName(QStringLiteral("longSentenceWords"));
    threshold_->setAccessibleName(QStringLiteral("Words that make a sentence long"));
    threshold_->setRange(0, kMaxLongSentenceWords);
    threshold_->setValue(ReadLongSentenceWords(form_.settings()));
    longCount_ = Figure(LongCaption(threshold_->value()), "longCountValue", content);
    longRow->addWidget(new QLabel(QStringLiteral("Longer than"), content));
    longRow->addWidget(threshold_);
    longRow->addWidget(new QLabel(QStringLiteral("words:"), content));
    longRow->addWidget(longCount_, 1);
    figures->addRow(QStringLiteral("Long sentences:"), longRow);
    layout->addLayout(figures);

    tickLong_ = new QPushButton(TickCaption(threshold_->value()), content);
    tickLong_->setObjectName(QStringLiteral("tickLongSentencesButton"));
    connect(tickLong_, &QPushButton::clicked, this,
            [this] { TickLongSentences(form_, threshold_->value()); });
    layout->addWidget(tickLong_, 0, Qt::AlignLeft);

    counts_ = Figure(QStringLiteral("The two counts"), "countsValue", content);
    counts_->setWordWrap(true);
    whyCountsDiffer_ = Figure(QStringLiteral("Why the counts differ"), "whyCountsDiffer", content);
    whyCountsDiffer_->setWordWrap(true);
    ShowFigure(whyCountsDiffer_,
               QStringLiteral("Your separators end a sentence at each one of a run (\"...\", "
                              "\"?!\") and at the point inside a number (\"3.5\"), and leave out "
                              "a last sentence without one; a reader does none of that."));
    layout->addWidget(counts_);
    layout->addWidget(whyCountsDiffer_);

    chart_ = new QChart;
    chart_->setTitle(QStringLiteral("Sentence lengths in words"));
    chart_->legend()->setAlignment(Qt::AlignBottom);
    // Many bars make the chart wider than the window: it scrolls sideways by itself, and the
    // figures keep to the window's width.
    chartScroll_ = new QScrollArea(content);
    chartScroll_->setObjectName(QStringLiteral("histogramScrollArea"));
    chartScroll_->setWidgetResizable(true);
    chartScroll_->setFrameShape(QFrame::NoFrame);
    chartScroll_->setFocusPolicy(Qt::NoFocus);
    chartScroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    chartView_ = new QChartView(chart_, chartScroll_);
    chartView_->setObjectName(QStringLiteral("histogram"));
    chartView_->setAccessibleName(QStringLiteral("Histogram of sentence lengths in words"));
    chartView_->setAccessibleDescription(
        QStringLiteral("The same figures are in the table below it. Click a bar to select its "
                       "sentences in the list."));
    chartView_->setRenderHint(QPainter::Antialiasing);
    chartView_->setMinimumHeight(kChartHeight);
    connect(chart_, &QChart::plotAreaChanged, this, &StatisticsWindow::fitBarCaptions);
    chartScroll_->setWidget(chartView_);
    layout->addWidget(chartScroll_, 1);
    fitChartScroll();
    selectionNote_ = Figure(QStringLiteral("Selection"), "selectionNote", content);
    selectionNote_->hide();
    layout->addWidget(selectionNote_);

    table_ = makeTable(content);
    layout->addWidget(table_);

    // The long sentences coloured where they stand in the text, and what the colours say.
    LongSentenceHighlight& highlight = form_.textBox()->longSentences();
    highlightLong_ = new QCheckBox(QStringLiteral("Highlight Long Sentences"), content);
    highlightLong_->setObjectName(QStringLiteral("highlightLongSentences"));
    highlightLong_->setToolTip(QStringLiteral("Colours the long sentences in the text (Ctrl+H)."));
    highlightLong_->setChecked(highlight.enabled());
    connect(highlightLong_, &QCheckBox::toggled, this,
            [this](bool on) { SetHighlightLongSentences(form_, on); });
    connect(&highlight, &LongSentenceHighlight::enabledChanged, highlightLong_,
            &QCheckBox::setChecked);
    auto* highlightRow = new QHBoxLayout;
    highlightRow->addWidget(highlightLong_);
    const auto key = [&](const QColor& colour, const QString& name, const char* objectName) {
        auto* swatch = new QLabel(content);
        swatch->setFixedSize(24, 14);
        swatch->setStyleSheet(
            QStringLiteral("background-color: %1; border: 1px solid #808080;").arg(colour.name()));
        swatch->setAccessibleName(name);
        QLabel* label = Figure(name, objectName, content);
        highlightRow->addWidget(swatch);
        highlightRow->addWidget(label);
        return label;
    };
    legendLong_ = key(LongSentenceHighlight::LongColour(), QStringLiteral("Yellow"), "legendLong");
    legendVeryLong_ =
        key(LongSentenceHighlight::VeryLongColour(), QStringLiteral("Red"), "legendVeryLong");
    highlightRow->addStretch(1);
    layout->addLayout(highlightRow);
    showLegend(threshold_->value());

    // The figures of the text as it is now and of its selection, beside those of the count.
    textNow_ = Figure(QStringLiteral("The text now"), "textNowValue", content);
    selection_ = Figure(QStringLiteral("Selected text"), "selectionValue", content);
    selection_->setWordWrap(true);
    selection_->hide();
    layout->addWidget(textNow_);
    layout->addWidget(selection_);
    connect(&highlight, &LongSentenceHighlight::updated, this, &StatisticsWindow::showTextNow);
    connect(form_.textBox()->document(), &QTextDocument::contentsChanged, this,
            &StatisticsWindow::showTextNow);
    selectionTimer_.setSingleShot(true);
    selectionTimer_.setInterval(0);
    connect(&selectionTimer_, &QTimer::timeout, this, &StatisticsWindow::showSelection);
    connect(form_.textBox(), &QPlainTextEdit::selectionChanged, &selectionTimer_,
            qOverload<>(&QTimer::start));
    connect(threshold_, &QSpinBox::valueChanged, this, &StatisticsWindow::thresholdChanged);

    auto* reading = new QFormLayout;
    const auto score = [&](const QString& caption, const char* objectName) {
        QLabel* label = Figure(caption, objectName, content);
        reading->addRow(caption + QStringLiteral(":"), label);
        return label;
    };
    readingEase_ = score(QStringLiteral("Flesch Reading Ease"), "fleschReadingEaseValue");
    gradeLevel_ = score(QStringLiteral("Flesch\u2013Kincaid Grade"), "fleschKincaidGradeValue");
    gunningFog_ = score(QStringLiteral("Gunning Fog"), "gunningFogValue");
    smog_ = score(QStringLiteral("SMOG"), "smogValue");
    colemanLiau_ = score(QStringLiteral("Coleman\u2013Liau"), "colemanLiauValue");
    ari_ = score(QStringLiteral("Automated Readability Index"), "ariValue");
    gradeMeaning_ = Figure(QStringLiteral("What the grade means"), "gradeMeaning", content);
    gradeMeaning_->setWordWrap(true);
    reading->addRow(gradeMeaning_);
    auto* english = new QLabel(
        QStringLiteral("The formulas are made for English; on other languages their figures "
                       "mean little."),
        content);
    english->setObjectName(QStringLiteral("englishNote"));
    english->setWordWrap(true);
    reading->addRow(english);
    layout->addLayout(reading);

    scroll_->setWidget(content);
    // Keys move the focus onto controls scrolled out of sight: bring the whole control into
    // view, or its top where it is taller than the window.
    focusFollower_ =
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
            QWidget* content = scroll_->widget();
            if (now == nullptr || !content->isAncestorOf(now)) return;
            const QRect place(now->mapTo(content, QPoint(0, 0)), now->size());
            const auto bringIn = [](QScrollBar* bar, int from, int length, int room) {
                if (from + length - bar->value() > room) bar->setValue(from + length - room);
                if (from < bar->value() || length > room) bar->setValue(from);
            };
            const QSize room = scroll_->viewport()->size();
            bringIn(scroll_->verticalScrollBar(), place.y(), place.height(), room.height());
            bringIn(scroll_->horizontalScrollBar(), place.x(), place.width(), room.width());
        });
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

void StatisticsWindow::setVisible(bool visible) {
    if (visible && !placed_) {
        placed_ = true;
        placeOnScreen();
    }
    QWidget::setVisible(visible);
}

void StatisticsWindow::placeOnScreen() {
    const QWidget* owner = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
    QScreen* screen = owner != nullptr ? owner->screen() : this->screen();
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    setScreen(screen);
    const QRect area = screen->availableGeometry();
    // The scroll area inside takes any cut, with its scroll bars.
    const QSize size = FittedSize(kWantedSize, area.size(), kFrameGuess, 0);
    setMinimumSize(kSmallestSize.boundedTo(size));
    resize(size);
    // Over the main window where the screen allows, wholly on the screen's free area always.
    QRect frame(QPoint(), size.grownBy(kFrameGuess));
    frame.moveCenter(owner != nullptr ? owner->frameGeometry().center() : area.center());
    frame.moveLeft(std::max(area.left(), std::min(frame.left(), area.right() + 1 - frame.width())));
    frame.moveTop(std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - frame.height())));
    move(frame.topLeft());
}

QTableWidget* StatisticsWindow::makeTable(QWidget* parent) {
    auto* table = new QTableWidget(0, 2, parent);
    table->setObjectName(QStringLiteral("histogramTable"));
    table->setAccessibleName(QStringLiteral("Sentence lengths as a table"));
    table->setHorizontalHeaderLabels({QStringLiteral("Words"), QStringLiteral("Sentences")});
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    // Tab goes on to the next control, as everywhere else; the arrows move through the rows.
    table->setTabKeyNavigation(false);
    table->installEventFilter(this);
    table->setMinimumHeight(100);
    table->setMaximumHeight(160);
    connect(table, &QTableWidget::cellActivated, this, [this](int row, int) { SelectBin(row); });
    connect(table, &QTableWidget::cellClicked, this, [this](int row, int) { SelectBin(row); });
    return table;
}

// Qt tells a screen reader nothing when a table's rows go, so the reader goes on asking for
// the cells it knew of, and Qt warns of each. A table made afresh for each count is told of:
// the reader learns that the old one went with all its cells.
void StatisticsWindow::replaceTable() {
    QTableWidget* old = table_;
    table_ = makeTable(old->parentWidget());
    delete old->parentWidget()->layout()->replaceWidget(old, table_);  // the old table's item
    setTabOrder(old, table_);
    table_->show();
    if (old->hasFocus()) table_->setFocus(Qt::OtherFocusReason);
    delete old;
}

bool StatisticsWindow::eventFilter(QObject* watched, QEvent* event) {
    // Ctrl+Tab and Ctrl+Shift+Tab leave the table as Tab and Shift+Tab do, as they leave the
    // main window's text box.
    if (watched == table_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
        if (tab && key->modifiers().testFlag(Qt::ControlModifier)) {
            focusNextPrevChild(key->key() == Qt::Key_Tab &&
                               !key->modifiers().testFlag(Qt::ShiftModifier));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void StatisticsWindow::Recompute() {
    recomputeTimer_.stop();
    stale_ = false;
    try {
        std::vector<QString> texts;
        collector_ = CollectRows(form_.results(), &texts);
        // Syllables take longer than the other figures: they follow in the background.
        showReadability(std::nullopt);
        // The figures of rows that changed meanwhile are no longer wanted.
        readabilityStop_->store(true);
        readabilityStop_ = std::make_shared<std::atomic<bool>>(false);
        // Started once the window has shown its other figures, so that it takes no core
        // from them.
        readabilityPending_ = true;
        QTimer::singleShot(
            0, this, [this, texts = std::move(texts), stop = readabilityStop_]() mutable {
                if (stop->load()) return;
                readabilityPending_ = false;
                readabilityWatcher_.setFuture(
                    QtConcurrent::run([texts = std::move(texts), stop = std::move(stop)] {
                        return MeasureSentences(texts, stop.get());
                    }));
            });
    } catch (const std::exception&) {
        collector_ = StatisticsCollector();
        ShowFigure(textChanged_, DescribeFailure(std::current_exception()));
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
    const bool none = stats.sentences == 0;
    ShowFigure(sentences_, QString::number(stats.sentences));
    ShowFigure(words_, QString::number(stats.words));
    ShowFigure(characters_, QString::number(stats.characters));
    const auto showWords = [none](QLabel* label, const QString& value) {
        if (none)
            ShowFigure(label, kNoFigure, kNoFigureHeard);
        else
            ShowFigure(label, value);
    };
    showWords(meanWords_, QString::number(stats.meanWords, 'f', 1));
    showWords(medianWords_, Number(stats.medianWords));
    showWords(percentile90Words_, QString::number(stats.percentile90Words));
    showWords(maxWords_, QString::number(stats.maxWords));

    const ResultsModel& rows = form_.results();
    const bool known = stats.longestIndex >= 0 && stats.longestIndex < rows.rowCount();
    const QString whole = known ? rows.TextAt(static_cast<int>(stats.longestIndex)) : QString();
    // The preview is cut at a code point; "…" tells that more follows.
    const QString preview = stats.longestPreview.size() < whole.size()
                                ? stats.longestPreview + QChar(0x2026)
                                : stats.longestPreview;
    if (known) {
        ShowFigure(longest_, QStringLiteral("<a href=\"#row\">%1</a>").arg(preview.toHtmlEscaped()),
                   preview);
        longest_->setToolTip(QStringLiteral("<p>Row %1; click to select it in the list.</p>")
                                 .arg(stats.longestIndex + 1) +
                             ToolTipText(whole));
        longest_->setAccessibleDescription(
            QStringLiteral("Row %1; activate it to select it in the list. The whole sentence: %2")
                .arg(stats.longestIndex + 1)
                .arg(Described(whole)));
    } else {
        ShowFigure(longest_, kNoFigure, kNoFigureHeard);
        longest_->setToolTip(QString());
        longest_->setAccessibleDescription(QString());
    }
    longCount_->setProperty(kCaptionProperty, LongCaption(threshold_->value()));
    ShowFigure(longCount_, QString::number(stats.longerThanThreshold));
    showHistogram(stats);
}

void StatisticsWindow::showReadability(const std::optional<ReadabilityCounts>& counts) {
    const std::optional<ReadabilityScores> scores =
        counts ? Readability(*counts) : std::optional<ReadabilityScores>();
    const std::pair<QLabel*, double ReadabilityScores::*> figures[] = {
        {readingEase_, &ReadabilityScores::fleschReadingEase},
        {gradeLevel_, &ReadabilityScores::fleschKincaidGrade},
        {gunningFog_, &ReadabilityScores::gunningFog},
        {smog_, &ReadabilityScores::smog},
        {colemanLiau_, &ReadabilityScores::colemanLiau},
        {ari_, &ReadabilityScores::ari},
    };
    for (const auto& [label, member] : figures) {
        if (scores)
            ShowFigure(label, QString::number((*scores).*member, 'f', 1));
        else if (counts)
            ShowFigure(label, kNoFigure, kNoFigureHeard);
        else
            ShowFigure(label, QStringLiteral("\u2026"), QStringLiteral("still counting"));
    }
    if (scores)
        ShowFigure(gradeMeaning_, GradeMeaning(scores->fleschKincaidGrade));
    else
        ShowFigure(gradeMeaning_, QString(), kNoFigureHeard);
}

void StatisticsWindow::showHistogram(const SentenceStatistics& stats) {
    const int longer = threshold_->value();
    LengthHistogram histogram =
        SplitHistogram(collector_.wordsPerSentence(), stats.maxWords, longer);
    binWidth_ = histogram.binWidth;
    const std::vector<qsizetype> shortBins = std::move(histogram.shortBins);
    const std::vector<qsizetype> longBins = std::move(histogram.longBins);
    const std::size_t bins = shortBins.size();

    chart_->removeAllSeries();
    for (QAbstractAxis* axis : chart_->axes()) {
        chart_->removeAxis(axis);
        delete axis;
    }
    categories_ = nullptr;
    shortBars_ = nullptr;
    longBars_ = nullptr;
    chartView_->setMinimumWidth(0);
    chartView_->setMinimumHeight(kChartHeight);
    fitChartScroll();
    replaceTable();
    if (bins == 0) {
        chart_->setTitle(QStringLiteral("Sentence lengths in words: no sentences to show"));
        return;
    }
    chart_->setTitle(QStringLiteral("Sentence lengths in words"));
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
    categories_ = new QBarCategoryAxis;
    categories_->append(captions);
    categories_->setTitleText(QStringLiteral("Words per sentence"));
    chart_->addAxis(categories_, Qt::AlignBottom);
    series->attachAxis(categories_);
    // Whole numbers of sentences at every gridline, each with its label.
    const CountAxisScale scale = CountAxis(highest);
    auto* counts = new QValueAxis;
    counts->setRange(0, static_cast<qreal>(scale.top));
    counts->setTickType(QValueAxis::TicksDynamic);
    counts->setTickAnchor(0);
    counts->setTickInterval(static_cast<qreal>(scale.step));
    counts->setMinorTickCount(0);
    counts->setLabelFormat(QStringLiteral("%d"));
    counts->setTitleText(QStringLiteral("Sentences"));
    chart_->addAxis(counts, Qt::AlignLeft);
    series->attachAxis(counts);
    fitBarCaptions();
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

// The word ranges stand level under their bars where they fit, else upright; the chart is
// kept wide enough for upright ones, and the window scrolls to it.
void StatisticsWindow::fitBarCaptions() {
    if (categories_ == nullptr || categories_->count() == 0) return;
    const qreal plotWidth = chart_->plotArea().width();
    if (plotWidth <= 0) return;
    // Measured as the chart measures its labels: as rich text, with the document's margin.
    QTextDocument measure;
    measure.setDefaultFont(categories_->labelsFont());
    QSizeF largest;
    for (const QString& caption : categories_->categories()) {
        measure.setHtml(caption);
        largest = largest.expandedTo(measure.size());
    }
    const qreal bars = categories_->count();
    const qreal perBar = plotWidth / bars;
    const int angle = largest.width() + kCaptionPadding <= perBar ? 0 : -90;
    if (categories_->labelsAngle() != angle) categories_->setLabelsAngle(angle);
    // Upright ranges take height from the bars; the chart grows by it instead.
    chartView_->setMinimumHeight(kChartHeight +
                                 (angle == 0 ? 0 : static_cast<int>(largest.width())));
    fitChartScroll();
    const qreal upright = largest.height() + kCaptionPadding;
    if (perBar < upright) {
        const int more = static_cast<int>(std::ceil((upright - perBar) * bars));
        chartView_->setMinimumWidth(chartView_->width() + more);
    }
}

// The chart's own scroll area is as high as the chart needs, with room for its scroll bar.
void StatisticsWindow::fitChartScroll() {
    const int bar =
        chartScroll_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, chartScroll_);
    chartScroll_->setMinimumHeight(chartView_->minimumHeight() + bar);
}

void StatisticsWindow::startReaderCount() {
    const Session::CountedText& counted = form_.session().lastCount;
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
    const Session::CountedText& counted = form_.session().lastCount;
    const qsizetype rows = form_.results().rowCount();
    // Once the list is emptied, its count is gone: nothing is left to set beside the
    // reader's.
    if (!counted.done || (rows == 0 && counted.sentences > 0)) {
        counts_->setText(QStringLiteral("The list holds no count to compare with a reader's."));
        counts_->setAccessibleName(counts_->text());
        whyCountsDiffer_->hide();
        return;
    }
    QString yours = QString::number(counted.sentences);
    if (rows != counted.sentences) yours += QStringLiteral(" (%1 left in the list)").arg(rows);
    const QString reader =
        readerCount_ >= 0 ? QString::number(readerCount_) : QStringLiteral("\u2026");
    counts_->setText(QStringLiteral("By your separators: %1 \u00b7 As a reader counts (Unicode "
                                    "rules): %2")
                         .arg(yours, reader));
    counts_->setAccessibleName(
        QStringLiteral("By your separators: %1; as a reader counts (Unicode rules): %2")
            .arg(yours, readerCount_ >= 0 ? reader : QStringLiteral("still counting")));
    whyCountsDiffer_->setVisible(readerCount_ >= 0 && readerCount_ != counted.sentences);
}

void StatisticsWindow::showTextState() {
    ShowFigure(textChanged_, QStringLiteral("The text has changed since the count"));
    textChanged_->setVisible(form_.session().lastCount.done &&
                             form_.session().lastCount.changedSince &&
                             form_.results().rowCount() > 0);
}

void StatisticsWindow::showLegend(int words) {
    ShowFigure(legendLong_, QStringLiteral("more than %1 words").arg(words));
    ShowFigure(legendVeryLong_, QStringLiteral("more than %1").arg(2 * words),
               QStringLiteral("more than %1 words").arg(2 * words));
}

void StatisticsWindow::showTextNow() {
    const qsizetype now = form_.textBox()->longSentences().sentencesNow();
    if (now < 0)
        ShowFigure(textNow_, QStringLiteral("The text now: \u2026 sentences"),
                   QStringLiteral("\u2026 sentences, still counting"));
    else
        ShowFigure(textNow_, QStringLiteral("The text now: %1 sentences").arg(now),
                   QStringLiteral("%1 sentences").arg(now));
}

void StatisticsWindow::showSelection() {
    TextBox* box = form_.textBox();
    if (!isVisible() || !box->textCursor().hasSelection()) {
        selection_->hide();
        return;
    }
    const StretchFigures figures = MeasureStretch(box->SelectedText(), CurrentSentenceRules(form_));
    const std::optional<ReadabilityScores> scores = Readability(figures.counts);
    const QString grade = scores ? QString::number(scores->fleschKincaidGrade, 'f', 1) : kNoFigure;
    const QString text =
        QStringLiteral("Selected text: %1 sentences, %2 words, Flesch\u2013Kincaid grade %3")
            .arg(figures.sentences)
            .arg(figures.counts.words)
            .arg(grade);
    selection_->setText(text);
    selection_->setAccessibleName(text);
    selection_->show();
}

void StatisticsWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    form_.textBox()->longSentences().setCounting(true);
    showTextNow();
    showSelection();
    if (stale_) Recompute();
}

void StatisticsWindow::hideEvent(QHideEvent* event) {
    form_.textBox()->longSentences().setCounting(false);
    QWidget::hideEvent(event);
}

void StatisticsWindow::thresholdChanged(int words) {
    StoreLongSentenceWords(form_, words);
    showLegend(words);
    tickLong_->setText(TickCaption(words));
    showFigures();
}

void StatisticsWindow::SelectBin(int bin) {
    selectRows(SentencesInBin(collector_.wordsPerSentence(), binWidth_, bin));
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
    ShowFigure(
        selectionNote_,
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
