#include "windows/startup_options.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QFile>
#include <cerrno>
#include <cstring>

#include "commands/main_form.h"
#include "commands/text_loading.h"
#include "core/product.h"
#include "core/version.h"
#include "platform/services.h"

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

QByteArray ArgumentBytes(int argc, const char* const* argv, const QString& decoded) {
    for (int i = 1; i < argc; ++i) {
        if (QString::fromLocal8Bit(argv[i]) == decoded) return QByteArray(argv[i]);
    }
    return QFile::encodeName(decoded);
}

void LoadStartupFile(MainForm& form, const QByteArray& name) {
    if (name.isEmpty()) return;
    const QString shown = QFile::decodeName(name);
    const auto refuse = [&](const QString& why) {
        form.services().prompts.Message(
            form.widget(), ApplicationTitle(),
            QStringLiteral("The file \"%1\" was not loaded: %2.").arg(shown, why),
            Prompts::Icon::Warning);
    };
    const auto failure = [] { return QString::fromLocal8Bit(std::strerror(errno)); };
    struct stat status {};
    if (::stat(name.constData(), &status) != 0) return refuse(failure());
    if (S_ISDIR(status.st_mode)) return refuse(QStringLiteral("it is a folder, not a file"));
    if (QFile::encodeName(shown) == name) return LoadDroppedFiles(form, {shown});
    // A name that does not survive decoding is opened by its bytes and read through the
    // descriptor, under a name the system gives it.
    const int descriptor = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return refuse(failure());
    LoadDroppedFiles(form, {QStringLiteral("/proc/self/fd/%1").arg(descriptor)});
    ::close(descriptor);
}

QString StartupUsage() { return QString::fromLatin1(kUsage); }

QString StartupVersion() { return QStringLiteral("brintale " BRINTALE_VERSION); }

}  // namespace brintale
