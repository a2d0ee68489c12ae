#include "shell/settings_store.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <csignal>

#include "shell/failure.h"

namespace brintale {
namespace {

// The file the store keeps, under the per-test folder the test support points QSettings at.
QString StoreFileName() {
    QSettings settings(QStringLiteral("Quorvane"), QStringLiteral("Brintale Software"));
    return settings.fileName();
}

// What is on disk, read through a copy of the file that no QSettings of this process has seen.
QString ReadFromDisk(const QString& key) {
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("copy.conf"));
    if (!QFile::copy(StoreFileName(), copy)) return QStringLiteral("<no file>");
    QSettings settings(copy, QSettings::IniFormat);
    return settings.value(key, QStringLiteral("<absent>")).toString();
}

TEST(SettingsStore, ValuesRoundTripExactlyAndReachTheDisk) {
    const QString values[] = {
        QStringLiteral(".!?"),
        QStringLiteral("a=b"),
        QStringLiteral("one; two ;"),
        QStringLiteral("\"quoted\" and 'single'"),
        QStringLiteral("line one\nline two\r\n\tend"),
        QStringLiteral("Grüße, 日本語 and 😀"),
        QStringLiteral("  leading and trailing  "),
        QStringLiteral("a, b, c"),
        QStringLiteral("@Invalid()"),
        QStringLiteral("@@"),
        QStringLiteral("[General]\nEnding=x"),
        QStringLiteral("back\\slash\\"),
        QStringLiteral("#not a comment"),
        QStringLiteral(" "),
        QStringLiteral("etc.My_Separatora12vs.My_Separatora12"),
    };
    SettingsStore store;
    for (const QString& value : values) {
        SCOPED_TRACE(value.toStdString());
        store.Write(kKeyEnding, value);
        EXPECT_EQ(SettingsStore().Read(kKeyEnding, QStringLiteral("default")), value);
        EXPECT_EQ(ReadFromDisk(kKeyEnding), value);
    }
}

TEST(SettingsStore, AbsentKeyGivesTheDefaultAndAnEmptyValueDoesNot) {
    SettingsStore store;
    EXPECT_EQ(store.Read(kKeyEnding, kDefaultEnding), kDefaultEnding);
    EXPECT_TRUE(store.Read(kKeyAbbreviations).isEmpty());
    // Reading creates nothing.
    EXPECT_FALSE(QFile::exists(StoreFileName()));

    store.Write(kKeyEnding, QString());
    store.Write(kKeyAbbreviations, QStringLiteral(""));
    const QString ending = store.Read(kKeyEnding, kDefaultEnding);
    EXPECT_TRUE(ending.isEmpty());
    EXPECT_FALSE(ending.isNull()) << "a present empty value must not look like no value";
    EXPECT_EQ(store.Read(kKeyAbbreviations, QStringLiteral("x")), QString());
    EXPECT_EQ(store.Read(kKeyEnter, kDefaultEnter), kDefaultEnter);
}

TEST(SettingsStore, TwoRunningCopiesSeeEachOtherAtOnce) {
    SettingsStore first;
    SettingsStore second;
    first.Write(kKeyEnding, QStringLiteral(".;"));
    EXPECT_EQ(second.Read(kKeyEnding, kDefaultEnding), QStringLiteral(".;"));
    second.Write(kKeyTab, QStringLiteral("0"));
    EXPECT_EQ(first.Read(kKeyTab, kDefaultTab), QStringLiteral("0"));
    EXPECT_EQ(first.Read(kKeyEnding, kDefaultEnding), QStringLiteral(".;"));

    // A copy in another process rewrites the file behind this one's back.
    QFile file(StoreFileName());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("[General]\nEnding=written elsewhere\nTab=1\n");
    file.close();
    EXPECT_EQ(first.Read(kKeyEnding, kDefaultEnding), QStringLiteral("written elsewhere"));
    EXPECT_EQ(second.Read(kKeyTab, QStringLiteral("0")), QStringLiteral("1"));
}

TEST(SettingsStore, AHandEditedListValueKeepsItsText) {
    QDir().mkpath(QFileInfo(StoreFileName()).absolutePath());
    QFile file(StoreFileName());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[General]\nEnding=., !\n");
    file.close();
    EXPECT_EQ(SettingsStore().Read(kKeyEnding, kDefaultEnding), QStringLiteral("., !"));
}

TEST(SettingsStore, AWriteThatCannotLandThrowsWithTheReason) {
    // The store's folder would have to be made inside a regular file: even root cannot.
    QTemporaryDir dir;
    const QString blocker = dir.filePath(QStringLiteral("blocker"));
    QFile file(blocker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       blocker + QStringLiteral("/config"));

    SettingsStore store;
    try {
        store.Write(kKeyEnding, QStringLiteral("lost"));
        FAIL() << "the write was reported as done";
    } catch (const Failure& failure) {
        EXPECT_TRUE(failure.description().contains(QStringLiteral("Ending")));
        EXPECT_TRUE(failure.description().contains(blocker)) << failure.description().toStdString();
        EXPECT_TRUE(failure.description().contains(QStringLiteral("Not a directory")))
            << failure.description().toStdString();
    }
    // The failed value is not served from memory as if it had been saved.
    EXPECT_EQ(store.Read(kKeyEnding, kDefaultEnding), kDefaultEnding);
    EXPECT_THROW(store.Write(kKeyEnding, QStringLiteral("again")), Failure);
}

// Files of more than limit bytes cannot be written while it lives: a full disk, as root too.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t limit) {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit lowered = previous_;
        lowered.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }

  private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};

TEST(SettingsStore, AFailedWriteLeavesTheStoredValueInPlace) {
    SettingsStore store;
    store.Write(kKeyEnding, QStringLiteral("old"));
    {
        FileSizeLimit full(200);
        EXPECT_THROW(store.Write(kKeyEnding, QString(400, u'x')), Failure);
    }
    EXPECT_EQ(store.Read(kKeyEnding, kDefaultEnding), QStringLiteral("old"));
    // A later write of another key must not carry the failed value to disk.
    store.Write(kKeyTab, QStringLiteral("0"));
    EXPECT_EQ(ReadFromDisk(kKeyEnding), QStringLiteral("old"));
    EXPECT_EQ(ReadFromDisk(kKeyTab), QStringLiteral("0"));
}

const QString D = kAbbreviationDelimiter;

TEST(AbbreviationStoredForm, JoinPutsTheDelimiterAfterEveryEntry) {
    EXPECT_EQ(JoinAbbreviations({}), QString());
    EXPECT_EQ(JoinAbbreviations({QStringLiteral("etc."), QStringLiteral("vs.")}),
              QStringLiteral("etc.") + D + QStringLiteral("vs.") + D);
    EXPECT_EQ(JoinAbbreviations({QString(), QStringLiteral("a")}), D + QStringLiteral("a") + D);
}

TEST(AbbreviationStoredForm, BothReadingsOfAStoredValue) {
    struct Case {
        QString stored;
        QStringList forCount;
        QStringList forWindow;
    };
    const QString etc = QStringLiteral("etc.");
    const QString vs = QStringLiteral("vs.");
    const Case cases[] = {
        {QString(), {}, {}},
        {etc + D + vs + D, {etc, vs, ""}, {etc, vs}},
        {etc + D + D + vs + D, {etc, "", vs, ""}, {etc, vs}},
        {D, {"", ""}, {}},
        {etc, {etc}, {etc}},  // no closing delimiter: the last piece is an entry
        // An entry that contained the delimiter comes back cut at that point.
        {QStringLiteral("a") + D + QStringLiteral("b") + D, {"a", "b", ""}, {"a", "b"}},
        // Case-sensitive match: other cases belong to the entry.
        {QStringLiteral("xmy_separatora12y") + D, {"xmy_separatora12y", ""}, {"xmy_separatora12y"}},
        {QStringLiteral("My_Separatora1") + D, {"My_Separatora1", ""}, {"My_Separatora1"}},
        {QStringLiteral(" ") + D, {" ", ""}, {" "}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.toStdString());
        EXPECT_EQ(SplitAbbreviationsForCount(c.stored), c.forCount);
        EXPECT_EQ(SplitAbbreviationsForWindow(c.stored), c.forWindow);
    }
}

TEST(AbbreviationStoredForm, SurvivesTheStore) {
    const QStringList defaults = {"etc.", "vs.", "i.e.", "et al.", "e.g."};
    SettingsStore().Write(kKeyAbbreviations, JoinAbbreviations(defaults));
    const QString stored = SettingsStore().Read(kKeyAbbreviations);
    EXPECT_EQ(SplitAbbreviationsForWindow(stored), defaults);
    EXPECT_EQ(SplitAbbreviationsForCount(stored), defaults + QStringList{QString()});
}

}  // namespace
}  // namespace brintale
