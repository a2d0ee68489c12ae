#pragma once

#include <QString>
#include <QStringList>

namespace brintale {

class MainForm;

// What the command line of the window program asks for.
struct StartupOptions {
    bool help = false;
    bool version = false;
    QString error;      // a bad option, to be printed with the usage
    QStringList files;  // the first one is loaded at start-up
};

// Parses the program's arguments (argv[0] first). Needs no application object, so that
// --help and --version work without a display; help and version are set even when an
// option is unknown, which it is for Qt's own options until QApplication has taken them.
StartupOptions ParseStartupOptions(const QStringList& arguments);

// The bytes of the first argument after the program that reads as `decoded`: a name that is
// no text in the system's encoding (a Latin-1 name from a desktop file's %f) keeps its bytes.
QByteArray ArgumentBytes(int argc, const char* const* argv, const QString& decoded);

// Loads the file named on the command line, or says why nothing was loaded.
void LoadStartupFile(MainForm& form, const QByteArray& name);

// The usage printed for --help and after a bad option.
QString StartupUsage();

// "brintale 1.0.0".
QString StartupVersion();

}  // namespace brintale
