#include <QApplication>
#include <QGuiApplication>
#include <cstdio>

#include "shell/main_window.h"
#include "shell/qt_seams.h"
#include "shell/settings_store.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    brintale::ProductionServices services;
    brintale::SettingsStore settings;
    brintale::Form1 form(services.services(), settings);
    form.Form_Load();
    form.show();
    return app.exec();
}
