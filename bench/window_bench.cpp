// From the press of "Start Counting" to the list on screen, beside what it is built from:
// taking the text out of the text box and the bare splitter, on the same text in one run.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <cstdio>
#include <memory>

#include "core/results_model.h"
#include "core/settings_store.h"
#include "core/splitter/splitter.h"
#include "platform/spreadsheet_application.h"
#include "testing/fakes.h"
#include "widgets/text_box.h"
#include "window_bench_main.h"
#include "windows/main_window.h"

namespace brintale {
namespace {

// Sentences of about a hundred characters, a line break after every fifth.
QString Text(qsizetype bytes) {
    static const char* const kWords[] = {"the",   "counter", "reads", "every", "sentence",
                                         "of",    "a",       "long",  "text",  "and",
                                         "shows", "them",    "in",    "order", "quickly",
                                         "while", "users",   "wait",  "for",   "results"};
    static const char kEnds[] = {'.', '.', '.', '!', '?'};
    QString text;
    text.reserve(bytes + 200);
    quint32 seed = 12345;
    int sentence = 0;
    while (text.size() < bytes) {
        int length = 0;
        bool first = true;
        while (length < 90) {
            seed = seed * 1103515245u + 12345u;
            QString word = QString::fromLatin1(kWords[(seed >> 16) % 20]);
            if (first) word[0] = word[0].toUpper();
            if (!first) text += u' ';
            text += word;
            length += word.size() + 1;
            first = false;
        }
        text += QChar::fromLatin1(kEnds[sentence % 5]);
        text += (++sentence % 5 == 0) ? QStringLiteral("\r\n") : QStringLiteral(" ");
    }
    return text;
}

struct Fixture {
    testing::FakeServices fakes;
    std::unique_ptr<SpreadsheetProvider> spreadsheets;
    QString folder = QStringLiteral("/nonexistent");
    SettingsStore store;
    std::unique_ptr<Services> services;
    std::unique_ptr<MainWindow> form;
    QString text;

    explicit Fixture(qsizetype bytes)
        : spreadsheets(MakeDefaultSpreadsheetProvider(fakes.desktop)), text(Text(bytes)) {
        services.reset(new Services{fakes.prompts, fakes.desktop, *spreadsheets, fakes.random,
                                    fakes.clipboard, fakes.progress, folder});
        form = std::make_unique<MainWindow>(*services, store);
        form->RunStartup();
        form->show();
        form->textBox()->setPlainText(text);
        QApplication::processEvents();
    }

    // Press and wait until the list has laid out its rows.
    void Press() {
        form->button(MainButton::StartCounting)->click();
        QApplication::processEvents();
        QTreeView* list = form->resultsView();
        const int rows = form->results().rowCount();
        if (rows > 0) list->scrollTo(form->results().index(rows - 1));
        list->viewport()->repaint();
        QApplication::processEvents();
    }
};

// One large text at a time; freed before the application ends, as every widget must be.
std::unique_ptr<Fixture> current;

Fixture& FixtureFor(qsizetype megabytes) {
    static qsizetype currentSize = 0;
    if (currentSize != megabytes) {
        current.reset();
        current = std::make_unique<Fixture>(megabytes * 1000 * 1000);
        currentSize = megabytes;
    }
    return *current;
}

void BM_TextOut(benchmark::State& state) {
    Fixture& f = FixtureFor(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(f.form->textBox()->text());
}

void BM_BareSplitter(benchmark::State& state) {
    Fixture& f = FixtureFor(state.range(0));
    std::size_t sentences = 0;
    for (auto _ : state) {
        const QStringList out = SplitSentences(f.text, QStringLiteral(".!?\n\t"), QStringList());
        sentences = static_cast<std::size_t>(out.size());
    }
    state.counters["sentences"] = static_cast<double>(sentences);
}

void BM_PressToList(benchmark::State& state) {
    Fixture& f = FixtureFor(state.range(0));
    for (auto _ : state) f.Press();
    state.counters["rows"] = f.form->results().rowCount();
}

// Text out and bare splitter first, so that every size's three figures stand together.
BENCHMARK(BM_TextOut)->Arg(5)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_BareSplitter)->Arg(5)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PressToList)->Arg(5)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_TextOut)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_BareSplitter)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PressToList)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(3);

long StatusKilobytes(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ')[0].toLong();
    return -1;
}

// Bytes the program holds from the allocator, mapped blocks included.
double HeapBytes() {
    const struct mallinfo2 m = mallinfo2();
    return double(m.uordblks) + double(m.hblkhd);
}

// Memory of a million rows: what the rows and the view keep beyond the sentences' characters,
// and the peak while the count runs.
void MeasureMemory() {
    Fixture f(100 * 1000 * 1000);
    const long rssBefore = StatusKilobytes("VmRSS:");
    const double heapBefore = HeapBytes();
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    const bool peakReset = clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
    clear.close();
    f.Press();
    const double heapAfter = HeapBytes();
    const long peak = StatusKilobytes("VmHWM:");
    const ResultsModel& rows = f.form->results();
    double characters = 0;
    for (int r = 0; r < rows.rowCount(); ++r) characters += rows.TextAt(r).size();
    const double perRow = (heapAfter - heapBefore - characters * 2.0) / rows.rowCount();
    std::printf(
        "memory: %d rows, %.1f MB of sentence characters; the rows and the view hold "
        "%.1f MB => %.0f bytes per row beyond the text; peak during the count %+.1f MB "
        "over the idle window with its text (%.1f MB)%s\n",
        rows.rowCount(), characters * 2.0 / 1e6, (heapAfter - heapBefore) / 1e6, perRow,
        peakReset ? (peak - rssBefore) / 1024.0 : 0.0, rssBefore / 1024.0,
        peakReset ? "" : " (peak not measurable here)");
}

}  // namespace
}  // namespace brintale

int main(int argc, char** argv) {
    return brintale::RunWindowBenchmarks(argc, argv, [] {
        brintale::current.reset();
        brintale::MeasureMemory();
    });
}
