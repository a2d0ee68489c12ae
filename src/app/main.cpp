#include <QApplication>
#include <QByteArray>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "core/huge_page_heap.h"
#include "core/memory_limits.h"
#include "core/settings_store.h"
#include "platform/qt_services.h"
#include "widgets/look.h"
#include "windows/main_window.h"
#include "windows/startup_options.h"

namespace {

// Qt aborts with a long message when no window system answers; say it in one line instead.
bool HasDisplay() {
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
           !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// While the window system is being reached, its complaints end in one clear line.
void StartupMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg) {
        std::fputs("brintale: cannot open the display; is a desktop session running?\n", stderr);
        std::_Exit(1);
    }
    if (context.category != nullptr && QByteArray(context.category).startsWith("qt.qpa")) return;
    std::fprintf(stderr, "%s\n", qPrintable(message));
}

}  // namespace

int main(int argc, char* argv[]) {
    // What the launcher told the allocator, kept from what this program starts.
    brintale::PutBackTheEnvironment();
    // Before any application object: --help and --version need no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    const brintale::StartupOptions early = brintale::ParseStartupOptions(arguments);
    if (early.help || early.version) {
        const QString text =
            early.help ? brintale::StartupUsage() : brintale::StartupVersion() + u'\n';
        std::fputs(qPrintable(text), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (!HasDisplay()) {
        std::fputs(
            "brintale: no display to show the window on (set DISPLAY, or run under xvfb-run).\n",
            stderr);
        return 1;
    }
    brintale::KeepFreedBlocksForReuse();
    const QtMessageHandler previous = qInstallMessageHandler(StartupMessages);
    QApplication app(argc, argv);
    qInstallMessageHandler(previous);
    // Qt has taken its own options out by now.
    const brintale::StartupOptions options =
        brintale::ParseStartupOptions(QCoreApplication::arguments());
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "brintale: %s\n%s", qPrintable(options.error),
                     qPrintable(brintale::StartupUsage()));
        return 2;
    }
    app.setWindowIcon(brintale::ApplicationIcon());
    brintale::ProductionServices services;
    brintale::SettingsStore settings;
    brintale::MainWindow window(services.services(), settings);
    window.RunStartup();
    brintale::FitOnScreen(&window);
    brintale::CenterOnScreen(&window);
    window.show();
    // Once the window is up, so that a report about the file shows over it. QApplication has
    // taken its own options out of argv, which keeps the bytes of the name as given.
    if (!options.files.isEmpty()) {
        const QByteArray name = brintale::ArgumentBytes(argc, argv, options.files.first());
        QTimer::singleShot(0, &window, [&window, name] { LoadStartupFile(window, name); });
    }
    return app.exec();
}
