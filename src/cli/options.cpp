#include "cli/options.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <limits>

#include "documents/document_format.h"

namespace brintale::cli {

const char kUsage[] =
    "Usage: brintale-count [options] [FILE]...\n"
    "Cuts texts into sentences and prints each sentence on its own line (UTF-8),\n"
    "or with --count only their number. Without FILE, or with -, reads standard input\n"
    "(- may be named once). An empty file is no text: no sentences.\n"
    "A text behind a UTF-16 byte-order mark is read as UTF-16, valid UTF-8 as UTF-8,\n"
    "anything else as Windows-1252; the mark itself is no text. Texts are read a\n"
    "block at a time, so memory stays small whatever their size.\n"
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
    "  --rules=RULES         separators: the characters above end sentences\n"
    "                        (default); unicode: sentences as a reader counts them,\n"
    "                        by Unicode's rules, the abbreviations kept whole; holds\n"
    "                        each text whole in memory\n"
    "  --from=FORMAT         read every FILE as FORMAT: text, docx, odt, html, md,\n"
    "                        epub or pdf (default: told by the content, Markdown by\n"
    "                        the name .md or .markdown; standard input is text).\n"
    "                        A document is counted as the text a reader sees;\n"
    "                        positions count the characters of that text\n"
    "  --example             count the built-in example text instead of a file\n"
    "  -c, --count           print only the number of sentences: N, or with several\n"
    "                        files N<TAB>FILE for each and N<TAB>total; with\n"
    "                        --format=jsonl one JSON object each (file, sentences)\n"
    "  --format=FORMAT       lines: one sentence a line (default);\n"
    "                        tsv: START<TAB>END<TAB>SENTENCE, FILE<TAB> first with\n"
    "                        several files; jsonl: one JSON object a sentence with\n"
    "                        file, index, start, end and text. Positions count the\n"
    "                        characters (code points) of the text from 0, the end\n"
    "                        excluded. In tsv, --count and --stats a FILE has tab,\n"
    "                        line feed, carriage return and backslash written \\t,\n"
    "                        \\n, \\r and \\\\, and a file named total is ./total\n"
    "  --stats               print statistics instead: sentences, words, characters,\n"
    "                        words per sentence, the longest sentence, the long ones,\n"
    "                        six readability scores (English) with the syllables,\n"
    "                        letters and polysyllables they are made of\n"
    "                        (one JSON object a file with --format=jsonl)\n"
    "  --long=N              with --stats, a long sentence has more than N words\n"
    "                        (default: 25)\n"
    "  -j, --jobs N          use N cores: N files at a time, or a plain file of\n"
    "                        32 MiB or more on two cores when there are fewer files\n"
    "                        (default: every core); output waiting for its turn\n"
    "                        goes to a temporary file in $TMPDIR or /tmp;\n"
    "                        sentences printed from such large files go a file\n"
    "                        at a time, each on two cores\n"
    "  -h, --help            print this help and exit\n"
    "  --version             print the version and exit\n"
    "\n"
    "The defaults are the settings of the Brintale Software window; this command\n"
    "only reads them. Later options override earlier ones. Output comes in the\n"
    "order of the files, whatever --jobs. Options that cannot go together are\n"
    "refused: --stats with --format=tsv, --long without --stats, --separators,\n"
    "--enter or --tab with --rules=unicode, --count with --stats.\n"
    "Exit status: 0 on success, 1 when an input cannot be read (the other files are\n"
    "still counted) or the output cannot be written (it stops at once), 2 for bad\n"
    "usage.\n";

namespace {

int Number(const QString& text, const QString& option, int least) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < least)
        throw UsageError{QStringLiteral("--%1 takes a whole number of at least %2, not '%3'")
                             .arg(option)
                             .arg(least)
                             .arg(text)};
    return value;
}

}  // namespace

Options ParseArguments(int argc, const char* const* argv) {
    // Arguments whose bytes are no text of this locale stand in the list as a tag, so that
    // a file name comes back as the bytes it was.
    QStringList arguments;
    const QString tag = QStringLiteral("\uFDD0brintale-argument-");
    for (int i = 0; i < argc; ++i) {
        const QByteArray bytes(argv[i]);
        const QString text = QString::fromLocal8Bit(bytes);
        arguments << (text.toLocal8Bit() == bytes ? text : tag + QString::number(i));
    }
    const auto bytesOf = [&](const QString& argument) {
        return argument.startsWith(tag) ? QByteArray(argv[argument.mid(tag.size()).toInt()])
                                        : argument.toLocal8Bit();
    };
    const auto textOf = [&](const QString& argument) {
        return QString::fromLocal8Bit(bytesOf(argument));
    };

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    const QCommandLineOption separators(QStringLiteral("separators"), {}, QStringLiteral("TEXT"));
    const QCommandLineOption abbreviation(QStringLiteral("abbreviation"), {},
                                          QStringLiteral("ENTRY"));
    const QCommandLineOption format(QStringLiteral("format"), {}, QStringLiteral("FORMAT"));
    const QCommandLineOption rules(QStringLiteral("rules"), {}, QStringLiteral("RULES"));
    const QCommandLineOption from(QStringLiteral("from"), {}, QStringLiteral("FORMAT"));
    const QCommandLineOption longWords(QStringLiteral("long"), {}, QStringLiteral("N"));
    const QCommandLineOption jobs(QStringList{QStringLiteral("j"), QStringLiteral("jobs")}, {},
                                  QStringLiteral("N"));
    const QStringList flags = {QStringLiteral("no-abbreviations"),
                               QStringLiteral("enter"),
                               QStringLiteral("no-enter"),
                               QStringLiteral("tab"),
                               QStringLiteral("no-tab"),
                               QStringLiteral("example"),
                               QStringLiteral("stats"),
                               QStringLiteral("version")};
    for (const QCommandLineOption& option :
         {separators, abbreviation, format, rules, from, longWords, jobs})
        parser.addOption(option);
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

    // Later options override earlier ones, so they are taken in the order given; the values
    // of an option come in the same order.
    Options options;
    std::map<QString, qsizetype> nextValue;
    const auto value = [&](const QCommandLineOption& option) {
        const QStringList values = parser.values(option);
        return textOf(values.at(nextValue[option.names().last()]++));
    };
    for (const QString& name : parser.optionNames()) {
        if (name == u"separators") {
            options.separators = value(separators);
        } else if (name == u"abbreviation") {
            if (!options.abbreviations) options.abbreviations = QStringList();
            options.abbreviations->push_back(value(abbreviation));
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
        } else if (name == u"stats") {
            options.stats = true;
        } else if (name == u"long") {
            options.longWords = Number(value(longWords), QStringLiteral("long"), 0);
            options.longGiven = true;
        } else if (name == u"j" || name == u"jobs") {
            options.jobs = Number(value(jobs), QStringLiteral("jobs"), 1);
        } else if (name == u"format") {
            const QString f = value(format);
            if (f == u"lines")
                options.format = Format::Lines;
            else if (f == u"tsv")
                options.format = Format::Tsv;
            else if (f == u"jsonl")
                options.format = Format::Jsonl;
            else
                throw UsageError{
                    QStringLiteral("--format is lines, tsv or jsonl, not '%1'").arg(f)};
        } else if (name == u"rules") {
            const QString r = value(rules);
            if (r == u"separators")
                options.rules = Rules::Separators;
            else if (r == u"unicode")
                options.rules = Rules::Unicode;
            else
                throw UsageError{
                    QStringLiteral("--rules is separators or unicode, not '%1'").arg(r)};
        } else if (name == u"from") {
            const QString f = value(from);
            if (!documents::FormatFromName(f))
                throw UsageError{
                    QStringLiteral("--from is text, docx, odt, html, md, epub or pdf, not '%1'")
                        .arg(f)};
            options.from = f;
        } else if (name == u"h" || name == u"help") {
            options.help = true;
        } else if (name == u"version") {
            options.version = true;
        }
    }
    for (const QString& operand : parser.positionalArguments())
        options.inputs.push_back(InputName{bytesOf(operand)});
    if (options.example && !options.inputs.empty())
        throw UsageError{QStringLiteral("--example reads no FILE")};
    if (options.countOnly && options.stats)
        throw UsageError{QStringLiteral("--count and --stats exclude each other")};
    // What would be ignored is refused, so that no one takes it for done.
    if (options.stats && options.format == Format::Tsv)
        throw UsageError{QStringLiteral("--stats prints text or --format=jsonl, not tsv")};
    if (options.longGiven && !options.stats)
        throw UsageError{QStringLiteral("--long goes with --stats only")};
    if (options.rules == Rules::Unicode && (options.separators || options.enter || options.tab))
        throw UsageError{
            QStringLiteral("--rules=unicode ends sentences by Unicode's rules: "
                           "--separators, --enter and --tab do not go with it")};
    qsizetype standardInputs = 0;
    for (const InputName& input : options.inputs) standardInputs += input.standardInput();
    if (standardInputs > 1)
        throw UsageError{QStringLiteral("standard input (-) can be read only once")};
    return options;
}

}  // namespace brintale::cli
