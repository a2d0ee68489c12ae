// brintale-count end to end: the built executable, run as a script would run it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <map>
#include <tuple>

#include "core/settings_store.h"

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
        {{{kKeyEnter, "2"}}, {}, "red\nblue.", "redblue.\n"},  // only "1" means on
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
        {{}, {utf16}, "", "One.\nTwo.\n"},  // files read as the window does, mark dropped
        // A file of no bytes reads as the words "empty file"; an empty pipe as no text.
        {{}, {"--separators", "e", empty}, "", "e\nmpty file\n"},
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
        {{"-c", missing}, 1}, {{"-c", files.path()}, 1},   {{"--bogus"}, 2},
        {{"-x"}, 2},          {{"--separators"}, 2},       {{"a.txt", "b.txt"}, 2},
        {{"--count=1"}, 2},   {{"--example", "a.txt"}, 2}, {{"--abbreviation"}, 2},
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

}  // namespace
}  // namespace brintale
