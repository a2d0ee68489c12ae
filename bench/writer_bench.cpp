// The long sentences coloured in the text box: a key typed in 5 MB with the colours on and
// off, and the longest freeze while 100 MB is loaded, coloured and scrolled through.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <memory>

#include "core/settings_store.h"
#include "splitter_text.h"
#include "testing/fakes.h"
#include "widgets/long_sentence_highlight.h"
#include "widgets/text_box.h"
#include "window_bench_main.h"
#include "windows/main_window.h"

namespace brintale {
namespace {

struct Fixture {
    testing::FakeServices fakes;
    SettingsStore store;
    std::unique_ptr<MainWindow> form;

    Fixture(qsizetype units, bool highlight) {
        form = std::make_unique<MainWindow>(fakes.services, store);
        form->RunStartup();
        form->show();
        box().longSentences().setEnabled(highlight);
        box().Load(bench::EnglishLikeText(units));
        Settle();
    }
    TextBox& box() const { return *form->textBox(); }
    LongSentenceHighlight& highlight() const { return box().longSentences(); }
    void Settle() const {
        QApplication::processEvents();
        while (highlight().pending())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        QApplication::processEvents();
    }
    // A key as the window gets it, and the paint that follows.
    void Type(QChar c) const {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QString(c));
        QApplication::sendEvent(&box(), &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QString(c));
        QApplication::sendEvent(&box(), &release);
        QApplication::processEvents();
        box().viewport()->repaint();
    }
};

// The longest time the event loop went without turning, while `work` runs its course.
class FreezeMeter {
  public:
    FreezeMeter() {
        tick_.setInterval(1);
        QObject::connect(&tick_, &QTimer::timeout, [this] { Turn(); });
        tick_.start();
        clock_.start();
    }
    void Turn() {
        const qint64 now = clock_.nsecsElapsed();
        longest_ = std::max(longest_, now - last_);
        last_ = now;
    }
    // The longest since the last call, or the start.
    double TakeLongestMs() {
        Turn();
        const double ms = double(longest_) / 1e6;
        longest_ = 0;
        return ms;
    }

  private:
    QTimer tick_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
};

constexpr qsizetype kFiveMegabytes = 5 * 1000 * 1000;

void BM_KeystrokeIn5MB(benchmark::State& state) {
    const bool on = state.range(0) != 0;
    Fixture f(kFiveMegabytes / 2, on);  // UTF-16: two bytes a unit
    // In the middle of the text, where the colours are on screen.
    QTextCursor cursor = f.box().textCursor();
    cursor.setPosition(f.box().document()->characterCount() / 2);
    f.box().setTextCursor(cursor);
    f.box().ensureCursorVisible();
    f.Settle();
    for (auto _ : state) f.Type(QChar(u'a'));
    state.counters["spans"] = static_cast<double>(f.highlight().spans().size());
    state.SetLabel(on ? "highlighting on" : "highlighting off");
}

void BM_Load100MBColouredAndScrolled(benchmark::State& state) {
    const QString text = bench::EnglishLikeText(50 * 1000 * 1000);  // 100 MB as UTF-16
    for (auto _ : state) {
        testing::FakeServices fakes;
        SettingsStore store;
        MainWindow form(fakes.services, store);
        form.RunStartup();
        form.show();
        TextBox& box = *form.textBox();
        box.longSentences().setEnabled(state.range(0) != 0);
        QApplication::processEvents();
        // From the call to Load: the text put in, the colours worked out and applied, then a
        // page at a time through the text and a jump to its end.
        FreezeMeter meter;
        QElapsedTimer load;
        load.start();
        box.Load(text);
        meter.Turn();
        while (box.Loading()) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        const double loadMs = double(load.nsecsElapsed()) / 1e6;
        const double loading = meter.TakeLongestMs();
        while (box.longSentences().pending())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        const double colouring = meter.TakeLongestMs();
        QScrollBar* bar = box.verticalScrollBar();
        for (int page = 0; page < 200; ++page) {
            bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
            QApplication::processEvents();
            box.viewport()->repaint();
            meter.Turn();
        }
        bar->setValue(bar->maximum());
        QApplication::processEvents();
        box.viewport()->repaint();
        meter.Turn();
        state.counters["load_ms"] = loadMs;
        const double scrolling = meter.TakeLongestMs();
        state.counters["longest_freeze_ms"] = std::max({loading, colouring, scrolling});
        state.counters["loading_freeze_ms"] = loading;
        state.counters["colouring_freeze_ms"] = colouring;
        state.counters["scrolling_freeze_ms"] = scrolling;
        state.counters["spans"] = static_cast<double>(box.longSentences().spans().size());
        state.SetLabel(state.range(0) != 0 ? "highlighting on" : "highlighting off");
    }
}

// A megabyte selected in 5 MB with the statistics window open: its figures shown.
void BM_SelectionFigures1MB(benchmark::State& state) {
    Fixture f(kFiveMegabytes / 2, false);
    f.form->ShowStatistics();
    QApplication::processEvents();
    int from = 0;
    for (auto _ : state) {
        QTextCursor cursor = f.box().textCursor();
        cursor.setPosition(from);
        cursor.setPosition(from + 500 * 1000, QTextCursor::KeepAnchor);  // 1 MB as UTF-16
        f.box().setTextCursor(cursor);
        QApplication::processEvents();
        from = (from + 100003) % (2 * 1000 * 1000);
    }
}

BENCHMARK(BM_SelectionFigures1MB)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_KeystrokeIn5MB)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_Load100MBColouredAndScrolled)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
}  // namespace brintale

int main(int argc, char** argv) { return brintale::RunWindowBenchmarks(argc, argv); }
