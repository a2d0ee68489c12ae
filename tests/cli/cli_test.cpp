// brintale-count end to end: the built executable, run as a script would run it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <map>

#include "shell/settings_store.h"

namespace brintale {
namespace {

struct Outcome {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

class CountCommand : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(config_.isValid());
        // This process and the child then share one store, as two running copies would.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config_.path());
        ASSERT_EQ(
            QSettings(QStringLiteral("Quorvane"), QStringLiteral("Brintale Software")).fileName(),
            config_.filePath(QStringLiteral("Quorvane/Brintale Software.conf")));
    }

    Outcome Start(const QStringList& args, const QByteArray& input = QByteArray(),
                  const QString& outputFile = QString()) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config_.path());
        process.setProcessEnvironment(env);
        if (!outputFile.isEmpty()) process.setStandardOutputFile(outputFile);
        process.start(QStringLiteral(BRINTALE_COUNT_PATH), args);
        Outcome run;
        if (!process.waitForStarted()) return run;
        process.write(input);
        process.closeWriteChannel();
        if (!process.waitForFinished(120000)) return run;
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
        run.out = process.readAllStandardOutput();
        run.err = process.readAllStandardError();
        return run;
    }

    QString WriteFile(const QString& name, const QByteArray& bytes) {
        const QString path = files_.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return path;
    }

    QTemporaryDir config_;
    QTemporaryDir files_;
};

struct Case {
    const char* name;
    std::map<QString, QString> stored;
    QStringList args;
    QByteArray input;
    QByteArray out;
};

const QString kEtcStored = QStringLiteral("etc.My_Separatora12");

TEST_F(CountCommand, CountsStandardInputWithStoredSettingsAndOptions) {
    const Case cases[] = {
        {"defaults", {}, {}, "Hi there. How are you?  Fine!", "Hi there.\nHow are you?\nFine!\n"},
        {"count only", {}, {"-c"}, "Hi there. How are you?  Fine!", "3\n"},
        {"long count option and dash", {}, {"--count", "-"}, "Wait... what?", "4\n"},
        {"empty input", {}, {"-c"}, "", "0\n"},
        {"tail dropped", {}, {}, "Hello. World", "Hello.\n"},
        {"carriage returns", {}, {}, "One.\r\nTwo.\r\n", "One.\nTwo.\n"},
        {"single-byte input comes out as UTF-8",
         {},
         {},
         "Caf\xE9 au lait.",
         "Caf\xC3\xA9 au lait.\n"},
        {"stored ending", {{kKeyEnding, "!"}}, {}, "Hi. You!", "Hi. You!\n"},
        {"stored empty ending", {{kKeyEnding, ""}}, {"--no-enter", "--no-tab"}, "Hi. You!", ""},
        {"separators option wins",
         {{kKeyEnding, "!"}},
         {"--separators", "?"},
         "A. B? C!",
         "A. B?\n"},
        {"separators with equals", {}, {"--separators=;"}, "a;b.c;", "a;\nb.c;\n"},
        {"stored enter off",
         {{kKeyEnter, "0"}},
         {},
         "Roses are red\nviolets are blue.",
         "Roses are redviolets are blue.\n"},
        {"only 1 means on", {{kKeyEnter, "2"}}, {}, "red\nblue.", "redblue.\n"},
        {"enter on when absent", {}, {}, "red\nblue.", "red\nblue.\n"},
        {"enter option wins", {{kKeyEnter, "0"}}, {"--enter"}, "red\nblue.", "red\nblue.\n"},
        {"stored tab off", {{kKeyTab, "0"}}, {}, "a\tb.", "ab.\n"},
        {"last of two options wins", {}, {"--tab", "--no-tab"}, "a\tb.", "ab.\n"},
        {"stored abbreviations",
         {{kKeyAbbreviations, kEtcStored}},
         {},
         "See the list etc. for more. Done.",
         "See the list etc. for more.\nDone.\n"},
        {"no abbreviations",
         {{kKeyAbbreviations, kEtcStored}},
         {"--no-abbreviations"},
         "See etc. now.",
         "See etc.\nnow.\n"},
        {"abbreviation replaces the stored list",
         {{kKeyAbbreviations, kEtcStored}},
         {"--abbreviation", "No."},
         "She said no. Then etc. left.",
         "She said No. Then etc.\nleft.\n"},
        {"empty abbreviation",
         {},
         {"--abbreviation", "", "--abbreviation=vs."},
         "A vs. B. C.",
         "A vs. B.\nC.\n"},
        {"abbreviations after none",
         {},
         {"--no-abbreviations", "--abbreviation", "etc."},
         "X etc. y.",
         "X etc. y.\n"},
        {"none after abbreviations",
         {{kKeyAbbreviations, kEtcStored}},
         {"--abbreviation", "etc.", "--no-abbreviations"},
         "X etc. y.",
         "X etc.\ny.\n"},
        {"example", {}, {"--example", "-c"}, "", "9\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(
            QSettings(QStringLiteral("Quorvane"), QStringLiteral("Brintale Software")).fileName());
        for (const auto& [key, value] : c.stored) SettingsStore().Write(key, value);
        const Outcome run = Start(c.args, c.input);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(run.out, c.out);
        EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    }
}

TEST_F(CountCommand, ReadsFilesAsTheWindowDoes) {
    const QString utf16 =
        WriteFile(QStringLiteral("be.txt"), QByteArray("\xFE\xFF\0O\0n\0e\0.\0 \0T\0w\0o\0.", 20));
    EXPECT_EQ(Start({utf16}).out, QByteArray("\xEF\xBB\xBFOne.\nTwo.\n"));

    // A file of no bytes reads as the words "empty file"; an empty pipe as no text.
    const QString empty = WriteFile(QStringLiteral("empty.txt"), QByteArray());
    EXPECT_EQ(Start({"--separators", "e", empty}).out, QByteArray("e\nmpty file\n"));
    EXPECT_EQ(Start({"--separators", "e", "-"}).out, QByteArray());

    const Outcome lines = Start({"--example"});
    EXPECT_EQ(lines.out.count('\n'), 9);
    EXPECT_EQ(lines.exitCode, 0);
}

TEST_F(CountCommand, AFileThatCannotBeReadIsReported) {
    const QString missing = files_.filePath(QStringLiteral("missing.txt"));
    for (const QString& path : {missing, files_.path()}) {
        SCOPED_TRACE(path.toStdString());
        const Outcome run = Start({"-c", path});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.startsWith("brintale-count: ")) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(path.toLocal8Bit())) << run.err.toStdString();
    }
}

TEST_F(CountCommand, BadUsageIsOneLineAndStatusTwo) {
    const QStringList cases[] = {
        {"--bogus"},
        {"-x"},
        {"--separators"},
        {"a.txt", "b.txt"},
        {"--example", "a.txt"},
        {"--count=1"},
        {"--abbreviation"},
    };
    for (const QStringList& args : cases) {
        SCOPED_TRACE(args.join(u' ').toStdString());
        const Outcome run = Start(args);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.startsWith("brintale-count: ")) << run.err.toStdString();
        EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
    }
}

TEST_F(CountCommand, HelpAndVersion) {
    for (const char* help : {"--help", "-h"}) {
        const Outcome run = Start({help});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_TRUE(run.out.startsWith("Usage: brintale-count [options] [FILE | -]\n"));
        for (const char* option : {"--separators", "--no-enter", "--no-tab", "--abbreviation",
                                   "--no-abbreviations", "--example", "--count", "--version"})
            EXPECT_TRUE(run.out.contains(option)) << option;
    }
    const Outcome version = Start({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith("brintale-count " BRINTALE_VERSION "\n"));
}

TEST_F(CountCommand, NeverWritesTheStore) {
    Start({"-c"}, "One. Two.");
    EXPECT_TRUE(
        QDir(config_.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));

    SettingsStore().Write(kKeyEnding, QStringLiteral("."));
    const QString fileName =
        QSettings(QStringLiteral("Quorvane"), QStringLiteral("Brintale Software")).fileName();
    QFile before(fileName);
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    const QByteArray bytes = before.readAll();
    Start({"--separators", "!", "--no-enter", "--abbreviation", "x"}, "One. Two.");
    QFile after(fileName);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), bytes);
    EXPECT_EQ(QDir(QFileInfo(fileName).absolutePath()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QFileInfo(fileName).fileName()});
}

TEST_F(CountCommand, AnOutputThatCannotBeWrittenIsAFailure) {
    if (!QFile::exists(QStringLiteral("/dev/full"))) GTEST_SKIP() << "no /dev/full";
    for (const QStringList& args : {QStringList{"--example", "-c"}, QStringList{"--example"}}) {
        const Outcome run = Start(args, QByteArray(), QStringLiteral("/dev/full"));
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains("cannot write")) << run.err.toStdString();
    }
}

}  // namespace
}  // namespace brintale
