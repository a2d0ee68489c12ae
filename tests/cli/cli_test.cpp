// brintale-count end to end: the built executable, run as a script would run it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <map>
#include <random>
#include <tuple>

#include "core/settings_store.h"
#include "core/version.h"

namespace brintale {
namespace {

using Outcome = std::tuple<int, QByteArray, QByteArray>;  // exit status, output, errors

class CountCommand : public testing::Test {
  protected:
    // This process and the child share one store, as two running copies would.
    void SetUp() override {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
    }

    Outcome Start(const QStringList& args, const QByteArray& input = {}, const QString& out = {}) {
        QProcess process;
        process.setEnvironment(QProcess::systemEnvironment() << "XDG_CONFIG_HOME=" + config.path());
        if (!out.isEmpty()) process.setStandardOutputFile(out);
        process.start(QStringLiteral(BRINTALE_COUNT_PATH), args);
        process.write(input);
        process.closeWriteChannel();
        if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
            return {-1, {}, {}};
        return {process.exitCode(), process.readAllStandardOutput(),
                process.readAllStandardError()};
    }

    // A script for sh, with $COUNT the command: for names that are no text, and pipes.
    Outcome Shell(const QByteArray& script, bool asNobody = false) {
        QProcess process;
        process.setWorkingDirectory(files.path());
        process.setEnvironment(QProcess::systemEnvironment() << "XDG_CONFIG_HOME=" + config.path()
                                                             << "COUNT=" BRINTALE_COUNT_PATH);
        // Root may read anything; a permission is only refused to a plain user.
        if (asNobody && ::geteuid() == 0)
            process.setChildProcessModifier([] {
                if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(99);
            });
        process.start(QStringLiteral("/bin/sh"),
                      {QStringLiteral("-c"), QString::fromLatin1(script)});
        if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
            return {-1, {}, {}};
        return {process.exitCode(), process.readAllStandardOutput(),
                process.readAllStandardError()};
    }

    QString Write(const QString& name, const QByteArray& bytes) {
        QFile file(files.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return {};
        return file.fileName();
    }

    QByteArray StoreBytes() const {
        QFile file(config.filePath("Quorvane/Brintale Software.conf"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : "<no file>";
    }

    QTemporaryDir config, files;
};

// Also: the command only reads the store, whatever its options.
TEST_F(CountCommand, CountsInputAndFilesWithStoredSettingsAndOptions) {
    const QString utf16 = files.filePath("be.txt"), empty = files.filePath("empty.txt");
    QFile file(utf16);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && QFile(empty).open(QIODevice::WriteOnly));
    file.write(QByteArray("\xFE\xFF\0O\0n\0e\0.\0 \0T\0w\0o\0.", 20));
    file.close();
    const QString ab = kKeyAbbreviations, etc = QStringLiteral("etc.") + kAbbreviationDelimiter;
    const std::tuple<std::map<QString, QString>, QStringList, QByteArray, QByteArray> cases[] = {
        {{}, {}, "Hi. Are\nyou?\tFine! Bye", "Hi.\nAre\nyou?\nFine!\n"},  // defaults: all on
        {{}, {"--count", "-"}, "Hi. You?  Fine!", "3\n"},
        {{}, {}, "Caf\xE9 au lait.", "Caf\xC3\xA9 au lait.\n"},  // single-byte in, UTF-8 out
        {{{kKeyEnding, ""}}, {"--no-enter", "--no-tab"}, "Hi. You!", ""},
        {{{kKeyEnding, "!"}}, {"--separators=?"}, "A. B? C!", "A. B?\n"},
        {{{kKeyEnter, "0"}, {kKeyTab, "0"}}, {}, "red\nblue\t.", "redblue.\n"},
        {{{kKeyEnter, "2"}}, {}, "red\nblue.", "redblue.\n"},  // grey counts as cleared
        {{{kKeyEnter, "0"}}, {"--enter"}, "red\nblue.", "red\nblue.\n"},
        {{}, {"--tab", "--no-tab"}, "a\tb.", "ab.\n"},  // the last option wins
        {{{ab, etc}}, {}, "See etc. now. Done.", "See etc. now.\nDone.\n"},
        {{}, {}, "See e.g. this. Done.", "See e.g. this.\nDone.\n"},  // never stored: built-ins
        {{{ab, ""}}, {}, "See e.g. this.", "See e.\ng.\nthis.\n"},    // emptied by the user
        {{{ab, etc}}, {"--no-abbreviations"}, "See etc. now.", "See etc.\nnow.\n"},
        {{{ab, etc}}, {"--abbreviation", "No."}, "no. etc. x.", "No. etc.\nx.\n"},
        {{}, {"--no-abbreviations", "--abbreviation", "etc."}, "X etc. y.", "X etc. y.\n"},
        {{{ab, etc}}, {"--abbreviation", "etc.", "--no-abbreviations"}, "etc. y.", "etc.\ny.\n"},
        {{}, {"--example", "-c"}, "", "9\n"},
        {{}, {utf16}, "", "One.\nTwo.\n"},  // files read as the window does, the mark no text
        // A file of no bytes is no text, as an empty pipe is.
        {{}, {"--separators", "e", empty}, "", ""},
        {{}, {"--separators", "e", "-"}, "", ""},
        {{}, {"--version"}, "", "brintale-count " BRINTALE_VERSION "\n"},
    };
    for (const auto& [settings, args, input, expected] : cases) {
        SCOPED_TRACE(args.join(u' ').toStdString() + " on " + input.toStdString());
        QDir(config.path()).removeRecursively();
        for (const auto& [key, value] : settings) SettingsStore().Write(key, value);
        const QByteArray stored = StoreBytes();
        EXPECT_EQ(Start(args, input), Outcome(0, expected, QByteArray()));
        EXPECT_EQ(StoreBytes(), stored);
    }
}

TEST_F(CountCommand, FailuresAreOneLineWithTheirStatus) {
    const QString missing = files.filePath("missing.txt");
    const std::pair<QStringList, int> cases[] = {
        {{"-c", missing}, 1},
        {{"-c", files.path()}, 1},
        {{"--bogus"}, 2},
        {{"-x"}, 2},
        {{"--separators"}, 2},
        {{"--format=xml"}, 2},
        {{"--count=1"}, 2},
        {{"--example", "a.txt"}, 2},
        {{"--abbreviation"}, 2},
        {{"--rules=ear"}, 2},
        {{"-j", "0"}, 2},
        {{"--jobs=two"}, 2},
        {{"-c", "--stats"}, 2},
        {{"--long=-1"}, 2},
        // Standard input is read once.
        {{"-", "-"}, 2},
        {{"-c", "a.txt", "-", "--", "-"}, 2},
        // What would be ignored is refused.
        {{"--stats", "--format=tsv"}, 2},
        {{"--format=tsv", "--long=3"}, 2},
        {{"--rules=unicode", "--separators=;"}, 2},
        {{"--no-tab", "--rules=unicode"}, 2},
        {{"--rules=unicode", "--enter"}, 2},
    };
    for (const auto& [args, status] : cases) {
        SCOPED_TRACE(args.join(u' ').toStdString());
        const auto [code, out, err] = Start(args);
        EXPECT_EQ(code, status);
        EXPECT_TRUE(out.isEmpty());
        EXPECT_TRUE(err.startsWith("brintale-count: ")) << err.toStdString();
        EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
        EXPECT_TRUE(status == 2 || err.contains(args[1].toLocal8Bit()));  // names the file
    }
    for (const QStringList& args : {QStringList{"--example", "-c"}, QStringList{"--example"}}) {
        const auto [code, out, err] = Start(args, {}, QStringLiteral("/dev/full"));
        EXPECT_EQ(code, 1);
        EXPECT_TRUE(err.startsWith("brintale-count: cannot write the output: "));
    }
    // Each "i" doubles the i's of the markers before it: refused instead of exhausting memory.
    QStringList list;
    for (int k = 0; k < 30; ++k)
        list << "--abbreviation"
             << "i";
    for (const QStringList& args : {list, QStringList{"-c"} + list}) {
        const auto [code, out, err] = Start(args, "Hi. It is in it.");
        EXPECT_EQ(code, 1);
        EXPECT_TRUE(out.isEmpty());
        EXPECT_EQ(err,
                  "brintale-count: The abbreviation list makes the text too large to count: its "
                  "entries match inside each other's markers, or too often.\n");
    }
}

// Several files come out in the order given, whatever the number of jobs; a file that
// cannot be read is named on standard error and the others are counted.
TEST_F(CountCommand, ManyFilesComeOutInTheirOrderWhateverTheJobs) {
    QStringList names;
    for (int i = 0; i < 9; ++i) {
        QByteArray text;
        for (int k = 0; k <= i * 40; ++k)
            text += "Sentence " + QByteArray::number(k) + " of " + QByteArray::number(i) + ". ";
        names << Write(QStringLiteral("f%1.txt").arg(i), text);
    }
    names.insert(3, files.filePath("missing.txt"));
    names.insert(6, files.path());
    const QStringList formats[] = {{"-c"},           {},
                                   {"--format=tsv"}, {"--format=jsonl"},
                                   {"--stats"},      {"--stats", "--format=jsonl"}};
    for (const QStringList& format : formats) {
        SCOPED_TRACE(format.join(u' ').toStdString());
        const Outcome one = Start(format + QStringList{"-j", "1"} + names);
        EXPECT_EQ(std::get<0>(one), 1);
        EXPECT_EQ(std::get<2>(one), "brintale-count: " + names[3].toLocal8Bit() +
                                        ": no such file\nbrintale-count: \"" +
                                        names[6].toLocal8Bit() +
                                        "\" is a folder, not a file, and cannot be read.\n");
        for (const char* jobs : {"2", "3", "16"})
            EXPECT_EQ(Start(format + QStringList{"--jobs", jobs} + names), one) << jobs;
    }
    QByteArray expected;
    int total = 0;
    for (int i = 0; i < 9; ++i) {
        expected += QByteArray::number(i * 40 + 1) + "\t" +
                    files.filePath(QStringLiteral("f%1.txt").arg(i)).toLocal8Bit() + "\n";
        total += i * 40 + 1;
    }
    EXPECT_EQ(std::get<1>(Start(QStringList{"-c"} + names)),
              expected + QByteArray::number(total) + "\ttotal\n");
    EXPECT_EQ(Start({"-c", names[0]}), Outcome(0, "1\n", ""));  // one file: the number alone
}

// Files whose output outgrows what is kept in memory while an earlier file is worked on: the
// same bytes for every number of jobs, whether the rest goes to the temporary folder, finds
// none, or fills it part way, and whether the output is a pipe, a file or a file appended to.
TEST_F(CountCommand, LargeFilesComeOutTheSameWhereverTheRestIsKept) {
    QByteArray names;
    for (int i = 0; i < 3; ++i) {
        QByteArray text;
        // The first the longest, so that the others are done before their turn.
        for (int k = 0; text.size() < (i == 0 ? 7 : 5) << 20; ++k)
            text += "Sentence " + QByteArray::number(k) + " of file " + QByteArray::number(i) +
                    (k % 7 ? ". " : "!\n");
        Write(QStringLiteral("big%1.txt").arg(i), text);
        names += " big" + QByteArray::number(i) + ".txt";
    }
    Write("small.txt", "One. Two.");
    names += " small.txt missing.txt";
    const QByteArray places[] = {
        "",
        "TMPDIR=\"$PWD/no such folder\" ",
        // The folder full after a megabyte or two.
        "trap '' XFSZ; ulimit -f 2048; ",
    };
    const char* formats[] = {"", "--format=jsonl"};
    for (const char* format : formats) {
        const Outcome one = Shell(QByteArray("\"$COUNT\" -j 1 ") + format + names);
        ASSERT_EQ(std::get<0>(one), 1);
        ASSERT_GT(std::get<1>(one).size(), qsizetype(12) << 20);
        for (const QByteArray& place : places)
            for (const char* jobs : {"2", "3"}) {
                SCOPED_TRACE((place + "-j " + jobs + " " + format).toStdString());
                const QByteArray command = place + "\"$COUNT\" -j " + jobs + ' ' + format + names;
                const Outcome many = Shell(command);
                EXPECT_EQ(std::get<0>(many), 1);
                EXPECT_EQ(std::get<1>(many).size(), std::get<1>(one).size());
                EXPECT_TRUE(std::get<1>(many) == std::get<1>(one));
                EXPECT_EQ(std::get<2>(many), std::get<2>(one));
                if (!place.isEmpty()) continue;
                // Into a file, fresh or appended to, the bytes sent on by the system.
                EXPECT_EQ(Shell(command + " > out.txt; s=$?; cat out.txt; exit $s"), one);
                EXPECT_EQ(Shell("echo before > out.txt; " + command +
                                " >> out.txt; s=$?; tail -c +8 out.txt; exit $s"),
                          one);
            }
    }
}

// Names are the shell's bytes, whatever the locale makes of them, and come back as such;
// a file the system reports no size for is read to its end; a refused permission says so.
TEST_F(CountCommand, ReadsWhatTheShellNamesAndSaysWhyNot) {
    ASSERT_EQ(std::get<0>(Shell("printf 'Un caf\\351. Deux.' > \"$(printf 'caf\\351.txt')\"")), 0);
    EXPECT_EQ(Shell("\"$COUNT\" -c \"$(printf 'caf\\351.txt')\" \"$(printf 'caf\\351.txt')\""),
              Outcome(0, "2\tcaf\xE9.txt\n2\tcaf\xE9.txt\n4\ttotal\n", ""));
    EXPECT_EQ(Shell("printf Trois. | \"$COUNT\" --format=tsv \"$(printf 'caf\\351.txt')\" -"),
              Outcome(0,
                      "caf\xE9.txt\t0\t8\tUn caf\xC3\xA9.\ncaf\xE9.txt\t9\t14\tDeux.\n"
                      "-\t0\t6\tTrois.\n",
                      ""));
    if (QFile::exists("/proc/version")) {
        EXPECT_EQ(Shell("\"$COUNT\" -c --separators ' ' /proc/version"),
                  Shell("cat /proc/version | \"$COUNT\" -c --separators ' '"));
    }
    ASSERT_EQ(
        std::get<0>(Shell(
            "mkdir -p closed && echo 'One. Two.' > closed/a.txt && chmod 0 closed && chmod 755 .")),
        0);
    // A copy of the command where a plain user reaches it, wherever the checkout lies.
    QTemporaryDir reachable;
    const QString copy = reachable.filePath(QStringLiteral("brintale-count"));
    const auto open = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                      QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    ASSERT_TRUE(QFile::copy(QStringLiteral(BRINTALE_COUNT_PATH), copy));
    ASSERT_TRUE(QFile::setPermissions(copy, open) && QFile::setPermissions(reachable.path(), open));
    const QByteArray asCopy = "COUNT='" + copy.toLocal8Bit() + "'; ";
    if (std::get<0>(Shell(asCopy + "test -x \"$COUNT\" && test -x .", true)) != 0)
        GTEST_SKIP() << "a plain user cannot reach the temporary folder "
                     << reachable.path().toStdString();
    EXPECT_EQ(Shell(asCopy + "\"$COUNT\" -c closed/a.txt", true),
              Outcome(1, "", "brintale-count: closed/a.txt: Permission denied\n"));
    // Qt cannot name the file to remove it.
    Shell("chmod 700 closed; rm \"$(printf 'caf\\351.txt')\"");
}

// Every line of --format=jsonl is a JSON object Python reads, whatever the text holds:
// control characters, quotes, backslashes, unpaired surrogates of a UTF-16 file, and the
// separators U+2028 and U+2029, which splitlines() takes for line ends.
TEST_F(CountCommand, JsonLinesAreValidForAnyText) {
    QByteArray utf16 = "\xFF\xFE";
    const std::u16string_view text =
        u"Quote \" back\\slash \x01\x1f\x7f\x85 bell\x07.\t"
        u"Lone \xD800 and \xDC00 halves.\tPair \U0001F600 ok!\u2028x\u2029y.";
    for (char16_t unit : text) utf16 += QByteArray(reinterpret_cast<const char*>(&unit), 2);
    const QString path = Write("nasty.txt", utf16);
    const auto [code, out, err] = Start({"--format=jsonl", "--no-abbreviations", path});
    ASSERT_EQ(code, 0) << err.toStdString();
    QProcess python;
    python.start(
        QStringLiteral("python3"),
        {QStringLiteral("-c"),
         QStringLiteral("import json, sys\n"
                        "for line in sys.stdin.buffer.read().decode('utf-8').splitlines():\n"
                        "    o = json.loads(line)\n"
                        "    assert sorted(o) == ['end', 'file', 'index', 'start', 'text'], o\n"
                        "    print(o['index'], ascii(o['text']))\n")});
    python.write(out);
    python.closeWriteChannel();
    ASSERT_TRUE(python.waitForFinished(60000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    EXPECT_EQ(python.readAllStandardOutput(),
              "1 'Quote \" back\\\\slash \\x01\\x1f\\x7f\\x85 bell\\x07.'\n"
              "2 'Lone \\ufffd and \\ufffd halves.'\n"
              "3 'Pair \\U0001f600 ok!'\n"
              "4 '\\u2028x\\u2029y.'\n");
}

// The positions of --format=jsonl slice the text as Python decodes the file: text[start:end]
// is the sentence with its line breaks and tabs, abbreviations in the text's own case.
TEST_F(CountCommand, PositionsSliceTheTextAsPythonReadsIt) {
    const QString sentences =
        u"Caf\u00e9 \U0001F600 is open.\r\nSee ETC. and Vs. here!\tTabs\r\nand lines."
        u" \U0001F600\U0001F600 two? End"_qs;
    QByteArray utf16 = "\xFE\xFF";
    for (QChar c : sentences) utf16 += char(c.unicode() >> 8), utf16 += char(c.unicode() & 0xFF);
    const std::pair<QString, const char*> files[] = {
        {Write("utf8.txt", "\xEF\xBB\xBF" + sentences.toUtf8()), "utf-8-sig"},
        {Write("plain.txt", sentences.toUtf8()), "utf-8"},
        {Write("utf16.txt", utf16), "utf-16"},
        {Write("latin.txt", "Caf\xE9. Na\xEFve \x80 too."), "cp1252"},
    };
    for (const auto& [path, encoding] : files) {
        SCOPED_TRACE(encoding);
        const auto [code, out, err] = Start({"--format=jsonl", "--no-tab", path});
        ASSERT_EQ(code, 0) << err.toStdString();
        ASSERT_EQ(out.count(QByteArrayView("\n")), encoding == std::string_view("cp1252") ? 2 : 5);
        QProcess python;
        python.start(
            QStringLiteral("python3"),
            {QStringLiteral("-c"),
             QStringLiteral("import json, sys\n"
                            "text = open(sys.argv[1], encoding=sys.argv[2], newline='').read()\n"
                            "for line in sys.stdin:\n"
                            "    o = json.loads(line)\n"
                            "    s = text[o['start']:o['end']]\n"
                            "    for c in '\\r\\n\\t': s = s.replace(c, '')\n"
                            "    assert s.lower() == o['text'].lower(), (s, o['text'])\n"
                            "print('ok')\n"),
             path, QString::fromLatin1(encoding)});
        python.write(out);
        python.closeWriteChannel();
        ASSERT_TRUE(python.waitForFinished(60000));
        EXPECT_EQ(python.readAllStandardOutput(), "ok\n")
            << python.readAllStandardError().toStdString();
    }
}

TEST_F(CountCommand, StatisticsPerFileAndInTotal) {
    const QString a = Write("a.txt", "One two three. Four five!");
    const QString b = Write("b.txt", "Six seven eight nine ten eleven. Twelve.");
    const auto [code, out, err] = Start({"--stats", "--format=jsonl", "--long=3", a, b});
    ASSERT_EQ(code, 0) << err.toStdString();
    const QList<QByteArray> lines = out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 3);
    const QJsonObject first = QJsonDocument::fromJson(lines[0]).object();
    const QJsonObject total = QJsonDocument::fromJson(lines[2]).object();
    EXPECT_EQ(first.value("file").toString(), a);
    EXPECT_EQ(first.value("sentences").toInt(), 2);
    EXPECT_EQ(first.value("words").toInt(), 5);
    EXPECT_EQ(total.value("total").toBool(), true);
    EXPECT_EQ(total.value("sentences").toInt(), 4);
    EXPECT_EQ(total.value("words").toInt(), 12);
    EXPECT_EQ(total.value("long_sentences").toInt(), 1);  // more than 3 words: b's first
    EXPECT_EQ(total.value("words_per_sentence").toObject().value("max").toInt(), 6);
    EXPECT_EQ(total.value("longest").toObject().value("file").toString(), b);
    EXPECT_EQ(total.value("longest").toObject().value("preview").toString(),
              "Six seven eight nine ten eleven.");
    // 15 syllables (seven 2, eleven 3), 51 letters, 1 polysyllable; the scores worked by
    // hand from them, to two decimals.
    EXPECT_EQ(total.value("syllables").toInt(), 15);
    EXPECT_EQ(total.value("letters").toInt(), 51);
    EXPECT_EQ(total.value("polysyllables").toInt(), 1);
    const QJsonObject scores = total.value("readability").toObject();
    const std::pair<const char*, double> expected[] = {
        {"flesch_reading_ease", 98.04},  // 206.835 - 1.015 * 3 - 84.6 * 1.25
        {"flesch_kincaid_grade", 0.33},  // 0.39 * 3 + 11.8 * 1.25 - 15.59
        {"gunning_fog", 4.53},           // 0.4 (3 + 100 / 12)
        {"smog", 5.99},                  // 1.043 sqrt(7.5) + 3.1291
        {"coleman_liau", -0.68},         // 0.0588 * 425 - 0.296 * 100 / 3 - 15.8
        {"ari", 0.09},                   // 4.71 * 4.25 + 1.5 - 21.43
    };
    EXPECT_EQ(scores.size(), 6);
    for (const auto& [key, value] : expected)
        EXPECT_EQ(scores.value(QLatin1StringView(key)).toDouble(), value) << key;
    // Rounded in the line itself, not only when read.
    EXPECT_TRUE(lines[2].contains("\"readability\":{\"flesch_reading_ease\":98.04,"));
    const QByteArray plain = std::get<1>(Start({"--stats", a}));
    EXPECT_EQ(plain,
              "sentences: 2\nwords: 5\ncharacters: 24\n"
              "words per sentence: mean 2.50, median 2.5, 90th percentile 3, maximum 3\n"
              "longest sentence: number 1, characters 0 to 14: One two three.\n"
              "sentences of more than 25 words: 0\n"
              "readability: Flesch Reading Ease 119.70, Flesch-Kincaid Grade -2.81, Gunning Fog "
              "1.00, SMOG 3.13, Coleman-Liau -5.30, Automated Readability Index -2.28\n"
              "syllables: 5, letters: 19, polysyllables: 0\n");
}

TEST_F(CountCommand, UnicodeRulesCountAsAReaderDoes) {
    const QString path = Write("u.txt", "Wait... what?! Mr. Smith paid 3.5 dollars.\nDone");
    EXPECT_EQ(Start({"-c", "--rules=unicode", "--no-abbreviations", path}), Outcome(0, "4\n", ""));
    EXPECT_EQ(
        Start({"--rules=unicode", "--format=tsv", "--abbreviation", "Mr.", path}),
        Outcome(0, "0\t14\tWait... what?!\n15\t42\tMr. Smith paid 3.5 dollars.\n43\t47\tDone\n",
                ""));
}

// An empty file is no text in every output and under both rules.
TEST_F(CountCommand, AnEmptyFileHasNoSentences) {
    const QString empty = Write("empty.txt", "");
    const QByteArray name = empty.toLocal8Bit();
    const std::pair<QStringList, QByteArray> outputs[] = {
        {{}, ""},
        {{"-c"}, "0\n"},
        {{"--format=tsv"}, ""},
        {{"--format=jsonl"}, ""},
        {{"-c", "--format=jsonl"}, "{\"file\":\"" + name + "\",\"sentences\":0}\n"},
        {{"--stats"},
         "sentences: 0\nwords: 0\ncharacters: 0\nwords per sentence: mean 0.00, median 0, 90th "
         "percentile 0, maximum 0\nlongest sentence: none\nsentences of more than 25 words: 0\n"
         "readability: none\nsyllables: 0, letters: 0, polysyllables: 0\n"},
    };
    for (const char* rules : {"--rules=separators", "--rules=unicode"})
        for (const auto& [args, expected] : outputs) {
            SCOPED_TRACE(rules + (" " + args.join(u' ').toStdString()));
            EXPECT_EQ(Start(args + QStringList{rules, empty}), Outcome(0, expected, ""));
        }
}

// --count --format=jsonl gives what it says: one JSON object a file and the total.
TEST_F(CountCommand, CountsAsJsonLines) {
    const QString a = Write("a.txt", "One. Two."), b = Write("b\"c.txt", "Three.");
    EXPECT_EQ(Start({"-c", "--format=jsonl", a, b}),
              Outcome(0,
                      "{\"file\":\"" + a.toLocal8Bit() + "\",\"sentences\":2}\n{\"file\":\"" +
                          files.filePath("b\\\"c.txt").toLocal8Bit() +
                          "\",\"sentences\":1}\n{\"file\":null,\"total\":true,\"sentences\":3}\n",
                      ""));
    EXPECT_EQ(Start({"-c", "--format=jsonl", "--example"}),
              Outcome(0, "{\"file\":null,\"sentences\":9}\n", ""));
}

// A name with a tab, a line break or a backslash, or named "total", cannot add fields,
// lines or a second total: the README's awk sum stays true.
TEST_F(CountCommand, NamesCannotForgeFieldsLinesOrTheTotal) {
    ASSERT_EQ(std::get<0>(Shell("printf 'A. B.' > \"$(printf 'a\\tb')\"; "
                                "printf 'C.\\n' > \"$(printf 'two\\nlines\\r')\"; "
                                "printf 'D. E. F.' > 'back\\t'; "
                                "printf 'G. H. I. J.' > total; printf 'K.' > plain")),
              0);
    // In the order of the C locale: a\tb, back\t, plain, total, two\nlines\r.
    EXPECT_EQ(Shell("LC_ALL=C; export LC_ALL; \"$COUNT\" -c *"),
              Outcome(0,
                      "2\ta\\tb\n3\tback\\\\t\n1\tplain\n4\t./total\n1\ttwo\\nlines\\r\n"
                      "11\ttotal\n",
                      ""));
    EXPECT_EQ(Shell("LC_ALL=C; export LC_ALL; \"$COUNT\" -c * | awk -F'\\t' '$2 != \"total\" { n "
                    "+= $1; files++ } "
                    "END { print n \" sentences in \" files \" files\" }'"),
              Outcome(0, "11 sentences in 5 files\n", ""));
    EXPECT_EQ(Shell("\"$COUNT\" --format=tsv total \"$(printf 'two\\nlines\\r')\""),
              Outcome(0,
                      "./total\t0\t2\tG.\n./total\t3\t5\tH.\n./total\t6\t8\tI.\n"
                      "./total\t9\t11\tJ.\ntwo\\nlines\\r\t0\t2\tC.\n",
                      ""));
    const auto [code, stats, err] =
        Shell("\"$COUNT\" --stats --long=0 \"$(printf 'a\\tb')\" total plain");
    EXPECT_EQ(code, 0) << err.toStdString();
    const QList<QByteArray> headers = {
        "==> a\\tb <==", "==> ./total <==", "==> plain <==", "==> total <=="};
    for (const QByteArray& header : headers)
        EXPECT_EQ(stats.count(header + '\n'), 1) << header.data();
    EXPECT_TRUE(stats.contains("\nlongest sentence: a\\tb number 1,")) << stats.data();
}

// Where the system starts fewer threads than asked, those it starts do the work: each new
// thread's stack is to be larger than the memory the process may map.
TEST_F(CountCommand, FewerThreadsThanAskedStillCountEverything) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer maps more memory than the limit allows";
#else
    QByteArray expected;
    int total = 0;
    for (int i = 0; i < 40; ++i) {
        const QString name = QStringLiteral("f%1.txt").arg(i, 2, 10, QChar(u'0'));
        Write(name, QByteArray("One. ").repeated(i + 1));
        expected += QByteArray::number(i + 1) + '\t' + name.toLocal8Bit() + '\n';
        total += i + 1;
    }
    expected += QByteArray::number(total) + "\ttotal\n";
    const QByteArray limits = "ulimit -v 3000000 && ulimit -s 3500000 && ";
    for (const char* jobs : {"2", "40", "2000"}) {
        SCOPED_TRACE(jobs);
        EXPECT_EQ(Shell(limits + "\"$COUNT\" -c -j " + jobs + " f*.txt"), Outcome(0, expected, ""));
    }
    // Under a tight limit the threads started leave memory for the work.
    for (const char* jobs : {"40", "2000"}) {
        SCOPED_TRACE(jobs);
        EXPECT_EQ(Shell(QByteArray("ulimit -v 400000 && \"$COUNT\" -c -j ") + jobs + " f*.txt"),
                  Outcome(0, expected, ""));
    }
    // One file on two cores, counted or split on a thread of its own: a file large enough
    // for the second core, of spaces mostly.
    const QByteArray spaces(qsizetype(33) << 20, ' ');
    Write("wide1.txt", "One." + spaces + "One.");
    Write("wide7.txt", QByteArray("One. ").repeated(7) + spaces + "One.");
    EXPECT_EQ(Shell(limits + "\"$COUNT\" -c -j 8 wide7.txt"), Outcome(0, "8\n", ""));
    EXPECT_EQ(Shell(limits + "\"$COUNT\" -j 8 --no-abbreviations wide1.txt"),
              Outcome(0, "One.\nOne.\n", ""));
    // Room for one thread of the counter's pool but not for the next.
    for (const char* stack : {"1000000", "1200000", "1400000"}) {
        SCOPED_TRACE(stack);
        EXPECT_EQ(Shell(QByteArray("ulimit -v 3000000 && ulimit -s ") + stack +
                        " && \"$COUNT\" -c -j 8 wide7.txt"),
                  Outcome(0, "8\n", ""));
    }
#endif
}

// With SIGPIPE ignored, as under a service manager, a reader that has gone ends the count at
// once, with the true reason.
TEST_F(CountCommand, AReaderThatHasGoneEndsTheCountAtOnce) {
    QByteArray big;
    for (int i = 0; i < 400000; ++i) big += "Sentence " + QByteArray::number(i) + ". ";
    Write("big.txt", big);
    const QByteArray gone = "brintale-count: cannot write the output: Broken pipe\nstatus 1\n";
    EXPECT_EQ(Shell("trap '' PIPE; (\"$COUNT\" big.txt; echo status $? >&2) | head -1"),
              Outcome(0, "Sentence 0.\n", gone));
    EXPECT_EQ(Shell("trap '' PIPE; (\"$COUNT\" --format=jsonl -j 1 big.txt big.txt; "
                    "echo status $? >&2) | head -c 1 | wc -c"),
              Outcome(0, "1\n", gone));
    // A text without end: stopped by the reader, not by the time limit.
    EXPECT_EQ(Shell("trap '' PIPE; (timeout 30 \"$COUNT\" /dev/zero; echo status $? >&2) | "
                    "head -c 10 | wc -c"),
              Outcome(0, "10\n", gone));
}

// A limit on the size of the files a count may write (ulimit -f, in blocks of 512 bytes)
// ends output into a file with the reason, and only holds up output waiting for its turn.
TEST_F(CountCommand, ALimitOnFileSizesEndsOutputWithTheReason) {
    QByteArray big;
    for (int i = 0; i < 400000; ++i) big += "Sentence " + QByteArray::number(i) + ". ";
    Write("big.txt", big);
    const struct {
        QByteArray script;
        Outcome outcome;
    } cases[] = {
        {"ulimit -f 64; \"$COUNT\" big.txt > out.txt; echo status $?",
         Outcome(0, "status 1\n", "brintale-count: cannot write the output: File too large\n")},
        // The file waiting for its turn would write more than the limit to the temporary file.
        {"ulimit -f 64; (sleep 2; echo One.) | \"$COUNT\" -j 2 - big.txt | wc -c",
         Outcome(0, QByteArray::number(big.size() + 5) + "\n", "")},
    };
    for (const auto& c : cases) EXPECT_EQ(Shell(c.script), c.outcome) << c.script.constData();
}

// The stored options are read as the window reads them, and no settings file, whatever it
// is, stops the count or takes long.
TEST_F(CountCommand, StoredOptionsAreReadAsTheWindowReadsThem) {
    const std::pair<QString, bool> ticks[] = {
        {"1", true},    {"1.0", true}, {"1e0", true}, {" +1 ", true}, {"0.5", false},
        {"1.5", false}, {"2", false},  {"0", false},  {"-0", false},  {"2.5", false},
    };
    for (const auto& [stored, on] : ticks) {
        SCOPED_TRACE(stored.toStdString());
        QDir(config.path()).removeRecursively();
        SettingsStore().Write(kKeyEnter, stored);
        SettingsStore().Write(kKeyTab, stored);
        EXPECT_EQ(Start({}, "red\nblue\tgreen."),
                  Outcome(0, on ? "red\nblue\ngreen.\n" : "redbluegreen.\n", ""));
    }
    QDir(config.path()).removeRecursively();
    SettingsStore().Write(kKeyEnter, "yes\nplease");
    EXPECT_EQ(Start({"--no-tab"}, "red\nblue."),
              Outcome(0, "red\nblue.\n",
                      "brintale-count: the stored setting Enter \"yes\xEF\xBF\xBDplease\" is no "
                      "check-box value (Type mismatch); it is taken as on\n"));
}

TEST_F(CountCommand, AnySettingsFileGivesTheDefaultsOrOneLineAtOnce) {
    const QString folder = config.filePath("Quorvane");
    const QString store = folder + "/Brintale Software.conf";
    const QByteArray unreadable =
        "brintale-count: The settings in \"" + store.toLocal8Bit() + "\" cannot be read: ";
    QByteArray noise(4096, '\0');
    std::mt19937 random(7);
    for (char& c : noise) c = char(random());
    const std::tuple<const char*, QByteArray, QByteArray> cases[] = {
        {"mkfifo", {}, unreadable + "it is not a regular file. The defaults are used.\n"},
        {"mkdir", {}, unreadable + "it is not a regular file. The defaults are used.\n"},
        {"truncate -s 1100M",
         {},
         unreadable + "it is larger than 64 MiB, too large for settings. The defaults are used.\n"},
        {"true", noise, ""},
    };
    for (const auto& [make, bytes, message] : cases) {
        SCOPED_TRACE(make);
        QDir(config.path()).removeRecursively();
        QDir().mkpath(folder);
        if (!bytes.isEmpty()) {
            QFile file(store);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        }
        ASSERT_EQ(std::get<0>(Shell(make + QByteArray(" \"$XDG_CONFIG_HOME/Quorvane/Brintale "
                                                      "Software.conf\""))),
                  0);
        QElapsedTimer timer;
        timer.start();
        const auto [code, out, err] = Start({"-c"}, "One. Two!\nThree\tfour");
        EXPECT_LT(timer.elapsed(), 10000);
        EXPECT_EQ(code, 0);
        EXPECT_EQ(out, "3\n");  // the defaults: full stop, line break, tab
        if (!message.isEmpty()) {
            EXPECT_EQ(err, message);
        }
        EXPECT_LE(err.count('\n'), 1) << err.data();
        // Nothing stored is needed: nothing is said.
        EXPECT_EQ(
            Start({"-c", "--separators=.", "--enter", "--tab", "--no-abbreviations"}, "One. Two."),
            Outcome(0, "2\n", ""));
    }
}

}  // namespace
}  // namespace brintale
