// The statistics window over a million rows: opening it, and counting its figures afresh
// after a count; a bar that selects a large share of the rows; and a row chosen in the list
// shown in a text of 100 MB.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <memory>

#include "commands/session.h"
#include "core/results_model.h"
#include "core/settings_store.h"
#include "core/splitter/unicode_sentences.h"
#include "platform/spreadsheet_application.h"
#include "splitter_text.h"
#include "testing/fakes.h"
#include "widgets/text_box.h"
#include "window_bench_main.h"
#include "windows/main_window.h"
#include "windows/statistics_window.h"

namespace brintale {
namespace {

struct Fixture {
    testing::FakeServices fakes;
    SettingsStore store;
    std::unique_ptr<MainWindow> form;

    explicit Fixture(qsizetype units) {
        form = std::make_unique<MainWindow>(fakes.services, store);
        form->RunStartup();
        form->show();
        form->textBox()->setPlainText(bench::EnglishLikeText(units));
        QApplication::processEvents();
    }

    void Count() {
        form->button(MainButton::StartCounting)->click();
        QApplication::processEvents();
    }

    // The reader's count runs beside the window; it is waited for outside the timing, so
    // that it takes no core from the next figures.
    void AwaitReaderCount() {
        StatisticsWindow* window = form->statisticsWindow();
        QEventLoop loop;
        QObject::connect(window, &StatisticsWindow::readerCountShown, &loop, &QEventLoop::quit);
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        if (window->readerCountRunning()) loop.exec();
        QEventLoop readability;
        QObject::connect(window, &StatisticsWindow::readabilityShown, &readability,
                         &QEventLoop::quit);
        QTimer::singleShot(30000, &readability, &QEventLoop::quit);
        if (window->readabilityRunning()) readability.exec();
    }
};

// A million rows: the English-like text makes a sentence of about 120 characters.
constexpr qsizetype kMillionRowsUnits = 125 * 1000 * 1000;

std::unique_ptr<Fixture> rows;

Fixture& MillionRows() {
    if (!rows) {
        rows = std::make_unique<Fixture>(kMillionRowsUnits);
        rows->Count();
    }
    return *rows;
}

void BM_OpenStatistics(benchmark::State& state) {
    Fixture& f = MillionRows();
    for (auto _ : state) {
        f.form->ShowStatistics();
        f.form->statisticsWindow()->repaint();
        state.PauseTiming();
        f.AwaitReaderCount();
        delete f.form->statisticsWindow();
        state.ResumeTiming();
    }
    state.counters["rows"] = f.form->results().rowCount();
}

void BM_RecomputeAfterCount(benchmark::State& state) {
    Fixture& f = MillionRows();
    f.form->ShowStatistics();
    f.AwaitReaderCount();
    for (auto _ : state) {
        state.PauseTiming();
        f.Count();
        f.AwaitReaderCount();
        state.ResumeTiming();
        f.form->statisticsWindow()->Recompute();
        f.form->statisticsWindow()->repaint();
    }
    state.counters["rows"] = f.form->results().rowCount();
}

// The bar with the most sentences: a third of the rows, scattered, selected in the list.
void BM_SelectLargestBar(benchmark::State& state) {
    Fixture& f = MillionRows();
    f.form->ShowStatistics();
    StatisticsWindow* window = f.form->statisticsWindow();
    window->Recompute();
    f.AwaitReaderCount();
    for (auto _ : state) {
        window->SelectBin(3);
        f.form->resultsView()->viewport()->repaint();
        state.PauseTiming();
        f.form->resultsView()->selectionModel()->clear();
        state.ResumeTiming();
    }
    state.counters["selected"] = 0;
    window->SelectBin(3);
    state.counters["selected"] =
        static_cast<double>(f.form->resultsView()->selectionModel()->selectedRows().size());
}

// Rows far apart chosen one after another, each painted in the text box.
void BM_ShowRowInText(benchmark::State& state) {
    rows.reset();
    Fixture f(100 * 1000 * 1000);
    const QString text = f.form->textBox()->text();
    {
        ResultsModel::Appending appending(f.form->results());
        SplitUnicodeSentences(text, {}, [&](QString&& sentence, qsizetype start, qsizetype end) {
            f.form->results().Append(std::move(sentence), start, end);
        });
    }
    f.form->session().lastCount = {true, {}, false, {}, 1};
    QTreeView* list = f.form->resultsView();
    const int count = f.form->results().rowCount();
    int row = 0;
    for (auto _ : state) {
        row = (row + count / 7 + 12345) % count;
        list->setCurrentIndex(f.form->results().index(row));
        f.form->textBox()->viewport()->repaint();
    }
    state.counters["rows"] = count;
}

BENCHMARK(BM_OpenStatistics)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_RecomputeAfterCount)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SelectLargestBar)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ShowRowInText)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace
}  // namespace brintale

int main(int argc, char** argv) {
    return brintale::RunWindowBenchmarks(argc, argv, [] { brintale::rows.reset(); });
}
