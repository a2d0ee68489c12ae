// The results of a big count taken out: a million rows onto the clipboard, into a text file
// and into a workbook, from the window as the user sees it. The peer for the save lets
// events through once per row. Offscreen unless told otherwise; under a real X server:
//   xvfb-run -a -s "-screen 0 1920x1080x24" env QT_QPA_PLATFORM=xcb build/bench/bench/bench_export
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>

#include "commands/clipboard_copy.h"
#include "commands/spreadsheet_export.h"
#include "commands/text_export.h"
#include "core/failure.h"
#include "core/results_model.h"
#include "core/settings_store.h"
#include "platform/clipboard.h"
#include "platform/qt_services.h"
#include "platform/services.h"
#include "platform/spreadsheet_application.h"
#include "platform/xlsx_spreadsheet.h"
#include "testing/fakes.h"
#include "window_bench_main.h"
#include "windows/main_window.h"

namespace {

using namespace brintale;

constexpr int kRows = 1000000;

// Sentences of 20 to 120 characters, each different, as a count gives them; every third row
// unticked.
void Fill(ResultsModel& list, int rows) {
    list.Clear();
    const QString words = QStringLiteral(
        "The quick results of a long count are taken out of the program in three ways, "
        "each of them fast enough for a million rows.");
    for (int r = 0; r < rows; ++r) {
        list.Append(words.left(20 + (r * 37) % 100) + QString::number(r) + QChar(u'.'));
        if (r % 3 != 2) list.SetTickedAt(r, true);
    }
    list.SetHeaderTotal();
}

struct Window {
    Window() : form(services, settings) {
        fakes.prompts.keepLastAnswer = true;
        fakes.prompts.yesNoAnswers = {true};
        // A failing command measures nothing worth keeping.
        fakes.prompts.onCall = [](const testing::FakePrompts::Call& call) {
            if (call.title == kErrorReportTitle) qFatal("%s", qPrintable(call.text));
        };
        Fill(form.results(), kRows);
        form.RunStartup();
        form.show();
        QCoreApplication::processEvents();
    }

    testing::FakeServices fakes;
    QTemporaryDir folder;
    XdgDirs dirs = [this] {
        XdgDirs d;
        d.dataDirs = {folder.filePath(QStringLiteral("data"))};
        QDir().mkpath(d.dataDirs[0] + QStringLiteral("/applications"));
        QFile entry(d.dataDirs[0] + QStringLiteral("/applications/sheets.desktop"));
        if (entry.open(QIODevice::WriteOnly)) entry.write("[Desktop Entry]\nType=Application\n");
        QFile cache(d.dataDirs[0] + QStringLiteral("/applications/mimeinfo.cache"));
        if (cache.open(QIODevice::WriteOnly))
            cache.write("[MIME Cache]\n" + XlsxMimeTypes().value(0).toUtf8() +
                        "=sheets.desktop;\n");
        return d;
    }();
    XlsxSpreadsheetProvider spreadsheets{fakes.desktop, folder.path(), dirs};
    // The real progress dialog: its cost under a display is part of what is measured.
    QtProgress progress;
    Services services{fakes.prompts,   fakes.desktop, spreadsheets, fakes.random,
                      fakes.clipboard, progress,      QString()};
    SettingsStore settings;
    MainWindow form;
};

// Made on first use, gone before the application.
std::unique_ptr<Window> theWindow;

Window& TheWindow() {
    if (!theWindow) theWindow = std::make_unique<Window>();
    return *theWindow;
}

void BM_ClipboardText(benchmark::State& state) {
    const ResultsModel& list = TheWindow().form.results();
    for (auto _ : state) benchmark::DoNotOptimize(ClipboardText(list));
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ClipboardText)->Unit(benchmark::kMillisecond);

// The whole command: the text built, the clipboard cleared and filled, the message.
void BM_CopyResultsToClipboard(benchmark::State& state) {
    MainWindow& form = TheWindow().form;
    for (auto _ : state) CopyResultsToClipboard(form);
    if (QGuiApplication::clipboard()->text().size() < kRows) state.SkipWithError("not copied");
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_CopyResultsToClipboard)->Unit(benchmark::kMillisecond);

void BM_SaveResultsAsTextFile(benchmark::State& state) {
    Window& window = TheWindow();
    window.fakes.prompts.fileNames = {window.folder.filePath(QStringLiteral("results.txt"))};
    for (auto _ : state) SaveResultsAsTextFile(window.form);
    state.counters["bytes"] =
        static_cast<double>(QFile(window.fakes.prompts.fileNames.front()).size());
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_SaveResultsAsTextFile)->Unit(benchmark::kMillisecond);

// Peer: the same file written line by line, letting events through before every row.
void BM_SaveWithEventsEveryRow(benchmark::State& state) {
    Window& window = TheWindow();
    const ResultsModel& list = window.form.results();
    const QString path = window.folder.filePath(QStringLiteral("peer.txt"));
    for (auto _ : state) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) state.SkipWithError("cannot write");
        for (int r = 0; r < list.rowCount(); ++r) {
            QCoreApplication::processEvents();
            file.write(list.TextAt(r).toUtf8());
            file.write("\r\n", 2);
        }
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_SaveWithEventsEveryRow)->Unit(benchmark::kMillisecond)->Iterations(1);

// To the written and "opened" workbook.
void BM_SaveResultsAsWorkbook(benchmark::State& state) {
    Window& window = TheWindow();
    for (auto _ : state) {
        SaveResultsAsSpreadsheet(window.form);
        state.PauseTiming();
        for (const QString& name :
             QDir(window.folder.path()).entryList({QStringLiteral("*.xlsx")}, QDir::Files)) {
            state.counters["bytes"] =
                static_cast<double>(QFile(window.folder.filePath(name)).size());
            QFile::remove(window.folder.filePath(name));
        }
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_SaveResultsAsWorkbook)->Unit(benchmark::kMillisecond)->Iterations(1);

// Every row ticked: a million rows into the workbook.
void BM_SaveAllTickedAsWorkbook(benchmark::State& state) {
    Window& window = TheWindow();
    window.form.results().SetAllTicked(true);
    BM_SaveResultsAsWorkbook(state);
    Fill(window.form.results(), kRows);
}
BENCHMARK(BM_SaveAllTickedAsWorkbook)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    return brintale::RunWindowBenchmarks(argc, argv, [] { theWindow.reset(); });
}
