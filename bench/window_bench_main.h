#pragma once

#include <functional>

namespace brintale {

// Runs the registered benchmarks inside a QApplication: offscreen unless QT_QPA_PLATFORM
// names a display (the workbook export is measured under Xvfb too), and with the settings
// in a scratch folder, so that no run reads or writes the user's. beforeExit runs while the
// application still stands: widgets a benchmark kept must go before it.
int RunWindowBenchmarks(int argc, char** argv, const std::function<void()>& beforeExit = {});

}  // namespace brintale
