// brintale-count: the sentence splitter for scripts and pipelines.
#include <unistd.h>

#include <QByteArray>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringEncoder>
#include <QStringList>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <utility>

#include "core/failure.h"
#include "core/file_exists.h"
#include "core/sample_text.h"
#include "core/settings_store.h"
#include "core/splitter/splitter.h"
#include "core/text_file.h"

namespace {

using namespace brintale;

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "Usage: brintale-count [options] [FILE | -]\n"
    "Cuts a text into sentences and prints each sentence on its own line (UTF-8),\n"
    "or with --count only their number. Without FILE, or with -, reads standard input.\n"
    "A text behind a UTF-16 byte-order mark is read as UTF-16, valid UTF-8 as UTF-8,\n"
    "anything else as Windows-1252.\n"
    "\n"
    "Options:\n"
    "  --separators TEXT     the characters that end a sentence\n"
    "                        (default: the stored setting, else \".!?\")\n"
    "  --enter, --no-enter   a line break ends a sentence, or not\n"
    "                        (default: the stored setting, else on)\n"
    "  --tab, --no-tab       a tab ends a sentence, or not\n"
    "                        (default: the stored setting, else on)\n"
    "  --abbreviation ENTRY  an abbreviation whose full stop ends no sentence;\n"
    "                        repeat it for more, in order; replaces the stored list\n"
    "  --no-abbreviations    use no abbreviations\n"
    "  --example             count the built-in example text instead of a file\n"
    "  -c, --count           print only the number of sentences\n"
    "  -h, --help            print this help and exit\n"
    "  --version             print the version and exit\n"
    "\n"
    "The defaults are the settings of the Brintale Software window; this command\n"
    "only reads them. Later options override earlier ones.\n"
    "Exit status: 0 on success, 1 when the input cannot be read, 2 for bad usage.\n";

struct Options {
    std::optional<QString> separators;
    std::optional<bool> enter;
    std::optional<bool> tab;
    std::optional<QStringList> abbreviations;  // set: replaces the stored list
    bool example = false;
    bool countOnly = false;
    bool help = false;
    bool version = false;
    std::optional<QString> input;  // "-" is standard input
};

struct UsageError {
    QString message;
};

void PrintError(const QString& message) {
    std::fprintf(stderr, "brintale-count: %s\n", message.toLocal8Bit().constData());
}

Options ParseArguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    const QCommandLineOption separators(QStringLiteral("separators"), {}, QStringLiteral("TEXT"));
    const QCommandLineOption abbreviation(QStringLiteral("abbreviation"), {},
                                          QStringLiteral("ENTRY"));
    const QStringList flags = {QStringLiteral("no-abbreviations"), QStringLiteral("enter"),
                               QStringLiteral("no-enter"),         QStringLiteral("tab"),
                               QStringLiteral("no-tab"),           QStringLiteral("example"),
                               QStringLiteral("version")};
    parser.addOption(separators);
    parser.addOption(abbreviation);
    for (const QString& flag : flags) parser.addOption(QCommandLineOption(flag));
    parser.addOption(QCommandLineOption(QStringList{QStringLiteral("c"), QStringLiteral("count")}));
    parser.addOption(QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            const QString name = unknown.first();
            throw UsageError{
                QStringLiteral("unknown option '%1%2' (see --help)")
                    .arg(name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--"), name)};
        }
        throw UsageError{parser.errorText()};
    }

    // Later options override earlier ones, so they are taken in the order given.
    Options options;
    const QStringList values = parser.values(abbreviation);
    qsizetype nextValue = 0;
    for (const QString& name : parser.optionNames()) {
        if (name == u"separators") {
            options.separators = parser.value(separators);
        } else if (name == u"abbreviation") {
            if (!options.abbreviations) options.abbreviations = QStringList();
            options.abbreviations->push_back(values.at(nextValue++));
        } else if (name == u"no-abbreviations") {
            options.abbreviations = QStringList();
        } else if (name == u"enter" || name == u"no-enter") {
            options.enter = name == u"enter";
        } else if (name == u"tab" || name == u"no-tab") {
            options.tab = name == u"tab";
        } else if (name == u"example") {
            options.example = true;
        } else if (name == u"c" || name == u"count") {
            options.countOnly = true;
        } else if (name == u"h" || name == u"help") {
            options.help = true;
        } else if (name == u"version") {
            options.version = true;
        }
    }
    const QStringList operands = parser.positionalArguments();
    if (operands.size() > 1) throw UsageError{QStringLiteral("only one FILE may be given")};
    if (!operands.isEmpty()) options.input = operands.first();
    if (options.example && options.input)
        throw UsageError{QStringLiteral("--example reads no FILE")};
    return options;
}

struct ReadError {
    QString message;
};

QString ReadDevice(QFile& device, const QString& name) {
    // The bytes go before the text is counted.
    const QByteArray bytes = ReadAllBytes(device, name);
    return DecodeText(bytes);
}

QString ReadInput(const Options& options) {
    if (options.example) return SampleText();
    if (!options.input || *options.input == u"-") {
        QFile in;
        if (!in.open(STDIN_FILENO, QIODevice::ReadOnly))
            throw ReadError{
                QStringLiteral("standard input cannot be read: %1").arg(in.errorString())};
        return ReadDevice(in, QStringLiteral("standard input"));
    }
    const QString& path = *options.input;
    if (!FileExists(path)) throw ReadError{QStringLiteral("%1: no such file").arg(path)};
    const QFileInfo info(path);
    if (info.isFile() || info.isDir()) return ReadTextFile(path);
    // A pipe or a device reports no length: read it to its end like standard input.
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        throw ReadError{QStringLiteral("%1: %2").arg(path, in.errorString())};
    return ReadDevice(in, path);
}

struct WriteError {};

// Sentences go out as they are found, through stdout's buffer, never all held at once.
class SentenceWriter {
  public:
    void operator()(QString&& sentence) {
        const qsizetype room = encoder_.requiredSpace(sentence.size()) + 1;
        if (buffer_.size() < room) buffer_.resize(room);
        char* end = encoder_.appendToBuffer(buffer_.data(), sentence);
        *end++ = '\n';
        const auto length = static_cast<std::size_t>(end - buffer_.data());
        if (std::fwrite(buffer_.constData(), 1, length, stdout) != length) throw WriteError{};
    }

  private:
    QStringEncoder encoder_{QStringConverter::Utf8};
    QByteArray buffer_;
};

int Run(int argc, char** argv) {
    Options options;
    try {
        options = ParseArguments(argc, argv);
    } catch (const UsageError& e) {
        PrintError(e.message);
        return kExitUsage;
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        return std::fflush(stdout) == 0 ? kExitOk : kExitFailure;
    }
    if (options.version) {
        std::fputs("brintale-count " BRINTALE_VERSION "\n", stdout);
        return std::fflush(stdout) == 0 ? kExitOk : kExitFailure;
    }

    // Settings are read only where no option says otherwise; only "1" means on.
    SettingsStore store;
    const QString separatorText =
        options.separators ? *options.separators : store.Read(kKeyEnding, kDefaultEnding);
    const bool enter =
        options.enter ? *options.enter : store.Read(kKeyEnter, kDefaultEnter) == u"1";
    const bool tab = options.tab ? *options.tab : store.Read(kKeyTab, kDefaultTab) == u"1";
    const QStringList abbreviations =
        options.abbreviations ? *options.abbreviations
                              : SplitAbbreviationsForCount(store.Read(
                                    kKeyAbbreviations, JoinAbbreviations(kBuiltInAbbreviations)));
    const QString separators = ComposeSeparatorSet(separatorText, enter, tab);

    QString text;
    try {
        text = ReadInput(options);
    } catch (const ReadError& e) {
        PrintError(e.message);
        return kExitFailure;
    } catch (const Failure& e) {
        PrintError(e.description());
        return kExitFailure;
    }

    static char outputBuffer[1 << 16];
    std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
    try {
        if (options.countOnly) {
            const std::size_t count = CountSentences(std::move(text), separators, abbreviations);
            std::fprintf(stdout, "%zu\n", count);
        } else {
            SentenceWriter writer;
            SplitSentences(std::move(text), separators, abbreviations,
                           [&writer](QString&& sentence) { writer(std::move(sentence)); });
        }
    } catch (const WriteError&) {
        // Reported below from the stream's own error.
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        const int error = errno;
        PrintError(QStringLiteral("cannot write the output: %1")
                       .arg(QString::fromLocal8Bit(std::strerror(error))));
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc&) {
        PrintError(QStringLiteral("there is not enough memory for this text"));
        return kExitFailure;
    } catch (const Failure& e) {
        PrintError(e.description());
        return kExitFailure;
    }
}
