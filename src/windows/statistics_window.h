#pragma once

#include <QFutureWatcher>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "core/statistics.h"

class QBarCategoryAxis;
class QBarSet;
class QChart;
class QChartView;
class QCheckBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QTableWidget;

namespace brintale {

class MainForm;

// The figures of the rows of the results list: counts, words per sentence, the longest
// sentence, the long ones and a histogram of lengths; beside them the count a reader would
// make of the counted text. Not modal; follows every change of the rows while it is shown.
class StatisticsWindow : public QWidget {
    Q_OBJECT

  public:
    explicit StatisticsWindow(MainForm& form, QWidget* parent = nullptr);
    ~StatisticsWindow() override;

    // Counts the figures afresh from the rows and shows them.
    void Recompute();
    // Words per bar of the histogram shown.
    int binWidth() const { return binWidth_; }
    // Selects the rows of the sentences of bar `bin` in the list, the first one current and
    // shown in the text; of more than a thousand, the first alone.
    void SelectBin(int bin);
    void SelectLongest();
    // Whether the readability figures are still being worked out.
    bool readabilityRunning() const {
        return readabilityPending_ || readabilityWatcher_.isRunning();
    }
    // Whether the reader's count is still being made.
    bool readerCountRunning() const { return readerWatcher_.isRunning(); }
    // At its first showing the window takes its size and place within the screen's free
    // area; what does not fit scrolls.
    void setVisible(bool visible) override;

  signals:
    // The reader's count of the last counted text has been shown.
    void readerCountShown();
    // The readability figures of the rows have been shown.
    void readabilityShown();

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void placeOnScreen();
    QTableWidget* makeTable(QWidget* parent);
    void replaceTable();
    void fitBarCaptions();
    void fitChartScroll();
    void connectModel();
    void scheduleRecompute();
    void showFigures();
    void showHistogram(const SentenceStatistics& stats);
    void showCounts();
    // Without counts: still being worked out.
    void showReadability(const std::optional<ReadabilityCounts>& counts);
    void showTextState();
    void startReaderCount();
    void selectRows(const std::vector<int>& rows);
    void thresholdChanged(int words);
    void showLegend(int words);
    void showTextNow();
    void showSelection();

    MainForm& form_;
    QTimer recomputeTimer_;
    bool stale_ = true;  // rows changed while hidden
    bool placed_ = false;
    QMetaObject::Connection focusFollower_;
    StatisticsCollector collector_;
    int binWidth_ = 5;

    // The reader's count, kept for the text and list it was made of.
    QFutureWatcher<qsizetype> readerWatcher_;
    QFutureWatcher<ReadabilityCounts> readabilityWatcher_;
    bool readabilityPending_ = false;
    std::shared_ptr<std::atomic<bool>> readabilityStop_ = std::make_shared<std::atomic<bool>>();
    quint64 readerCountOf_ = 0;  // the count whose reader count is shown or awaited
    qsizetype readerCount_ = -1;

    QLabel* textChanged_ = nullptr;
    QLabel* sentences_ = nullptr;
    QLabel* words_ = nullptr;
    QLabel* characters_ = nullptr;
    QLabel* meanWords_ = nullptr;
    QLabel* medianWords_ = nullptr;
    QLabel* percentile90Words_ = nullptr;
    QLabel* maxWords_ = nullptr;
    QLabel* longest_ = nullptr;
    QSpinBox* threshold_ = nullptr;
    QLabel* longCount_ = nullptr;
    QPushButton* tickLong_ = nullptr;
    QLabel* counts_ = nullptr;
    QLabel* whyCountsDiffer_ = nullptr;
    QLabel* readingEase_ = nullptr;
    QLabel* gradeLevel_ = nullptr;
    QLabel* gunningFog_ = nullptr;
    QLabel* smog_ = nullptr;
    QLabel* colemanLiau_ = nullptr;
    QLabel* ari_ = nullptr;
    QLabel* gradeMeaning_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QScrollArea* chartScroll_ = nullptr;
    QChart* chart_ = nullptr;
    QChartView* chartView_ = nullptr;
    QBarCategoryAxis* categories_ = nullptr;
    QBarSet* shortBars_ = nullptr;
    QBarSet* longBars_ = nullptr;
    QTableWidget* table_ = nullptr;
    QLabel* selectionNote_ = nullptr;
    QCheckBox* highlightLong_ = nullptr;
    QLabel* legendLong_ = nullptr;
    QLabel* legendVeryLong_ = nullptr;
    QLabel* textNow_ = nullptr;
    QLabel* selection_ = nullptr;
    QTimer selectionTimer_;
};

}  // namespace brintale
