#include <QApplication>
#include <QByteArray>
#include <cstdio>
#include <cstdlib>

#include "core/settings_store.h"
#include "platform/qt_services.h"
#include "widgets/look.h"
#include "windows/main_window.h"

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
    if (!HasDisplay()) {
        std::fputs(
            "brintale: no display to show the window on (set DISPLAY, or run under xvfb-run).\n",
            stderr);
        return 1;
    }
    const QtMessageHandler previous = qInstallMessageHandler(StartupMessages);
    QApplication app(argc, argv);
    qInstallMessageHandler(previous);
    app.setWindowIcon(brintale::ApplicationIcon());
    brintale::ProductionServices services;
    brintale::SettingsStore settings;
    brintale::MainWindow window(services.services(), settings);
    window.RunStartup();
    brintale::CenterOnScreen(&window);
    window.show();
    return app.exec();
}
