#include "windows/startup_options.h"

#include <QCommandLineParser>

namespace brintale {

namespace {

const char kUsage[] =
    "Usage: brintale [FILE]\n"
    "Counts the sentences of a text, in a window.\n"
    "\n"
    "  FILE          load this text file into the text box at start-up\n"
    "  -h, --help    print this help and exit\n"
    "  --version     print the version and exit\n";

}  // namespace

StartupOptions ParseStartupOptions(const QStringList& arguments) {
    StartupOptions options;
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOption(help);
    parser.addOption(version);
    parser.addPositionalArgument(QStringLiteral("file"), QString(), QStringLiteral("[FILE]"));
    // Help and version are answered even beside options that only Qt knows (-platform ...).
    if (!parser.parse(arguments)) options.error = parser.errorText();
    options.help = parser.isSet(help);
    options.version = parser.isSet(version);
    options.files = parser.positionalArguments();
    return options;
}

QString StartupUsage() { return QString::fromLatin1(kUsage); }

QString StartupVersion() { return QStringLiteral("brintale " BRINTALE_VERSION); }

}  // namespace brintale
