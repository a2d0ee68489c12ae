#include "window_bench_main.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "core/huge_page_heap.h"
#include "core/memory_limits.h"

namespace brintale {

int RunWindowBenchmarks(int argc, char** argv, const std::function<void()>& beforeExit) {
    // As the program itself does, so that the window is measured as the user has it.
    RestartWithHugePageHeap(argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    KeepFreedBlocksForReuse();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (beforeExit) beforeExit();
    return 0;
}

}  // namespace brintale
