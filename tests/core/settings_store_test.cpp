#include "core/settings_store.h"

#include <gmock/gmock.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <random>
#include <variant>
#include <vector>

#include "core/failure.h"

namespace brintale {
namespace {

// The file the store keeps, under the per-test folder the test support points QSettings at.
QString StoreFileName() { return QSettings("Quorvane", "Brintale Software").fileName(); }

// What is on disk, read through a copy of the file that no QSettings of this process has seen.
QString OnDisk(const QString& key) {
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("copy.conf"));
    QFile::copy(StoreFileName(), copy);
    return QSettings(copy, QSettings::IniFormat).value(key, "<absent>").toString();
}

TEST(SettingsStore, ValuesRoundTripExactlyReachTheDiskAndAreReadAfresh) {
    SettingsStore store;
    EXPECT_EQ(store.Read(kKeyEnding, kDefaultEnding), kDefaultEnding);
    EXPECT_FALSE(QFile::exists(StoreFileName()));  // reading creates nothing
    // The empty text and texts that mean something in the file format, one after each "|".
    const QString values = QString::fromUtf8(
        "|a=b; \"quoted\" 'single'|line one\nline two\r\n\tend|Grüße, 日本語 😀|  padded  |"
        "a, b, c|@Invalid()|@@|[General]\nEnding=x|back\\slash\\|#not a comment| |"
        "etc.My_Separatora12");
    for (const QString& value : values.split(u'|')) {
        SCOPED_TRACE(value.toStdString());
        store.Write(kKeyEnding, value);
        EXPECT_EQ(SettingsStore().Read(kKeyEnding, "default"), value);
        EXPECT_FALSE(SettingsStore().Read(kKeyEnding, "default").isNull());  // present, not absent
        EXPECT_EQ(OnDisk(kKeyEnding), value);
    }
    // Another process rewrites the file behind this one's back, with a list value by hand.
    QFile file(StoreFileName());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("[General]\nEnding=., !\nTab=0\n"));
    file.close();
    EXPECT_EQ(store.Read(kKeyEnding), QStringLiteral("., !"));
    EXPECT_EQ(store.Read(kKeyTab), QStringLiteral("0"));
}

TEST(SettingsStore, AFailedWriteThrowsTheReasonAndLeavesTheStoreAsItWas) {
    SettingsStore store;
    store.Write(kKeyEnding, QStringLiteral("old"));
    // Files over 200 bytes cannot be written meanwhile: a full disk, as root too.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit full{200, saved.rlim_max};
    setrlimit(RLIMIT_FSIZE, &full);
    const QString reason = QStringLiteral(
        "The setting \"Ending\" could not be saved in \"%1\": the "
        "file could not be written in full (the disk may be full).");
    EXPECT_THAT([&] { store.Write(kKeyEnding, QString(400, u'x')); },
                ::testing::ThrowsMessage<Failure>(reason.arg(StoreFileName()).toStdString()));
    EXPECT_THROW(store.Write(kKeyTab, QString(400, u'x')), Failure);
    setrlimit(RLIMIT_FSIZE, &saved);
    // Neither failed value is served from memory nor carried to disk by a later write.
    EXPECT_EQ(store.Read(kKeyEnding), QStringLiteral("old"));
    EXPECT_EQ(store.Read(kKeyTab, QStringLiteral("absent")), QStringLiteral("absent"));
    store.Write(kKeyEnter, QStringLiteral("0"));
    EXPECT_EQ(OnDisk(kKeyEnding), QStringLiteral("old"));
    EXPECT_EQ(OnDisk(kKeyTab), QStringLiteral("<absent>"));
}

// Whatever the file is, reading gives the stored values or the defaults at once, and
// writing stores the value or says truly why not.
TEST(SettingsStore, AnyFileGivesTheDefaultsOrATrueMessageAtOnce) {
    const QString file = StoreFileName();
    const QString notFile = QStringLiteral("it is not a regular file");
    // How the file is made, and what a write says: nothing where it stores.
    std::vector<std::pair<std::function<void()>, QString>> cases = {
        {[&] { ASSERT_EQ(::mkfifo(QFile::encodeName(file).constData(), 0600), 0); }, notFile},
        {[&] { ASSERT_TRUE(QDir().mkpath(file)); }, notFile},
        {[&] {
             QFile f(file);
             ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.resize(qint64(1100) << 20));
         },
         QStringLiteral("it is larger than 64 MiB, too large for settings")},
        {[&] {
             QFile f(file);
             ASSERT_TRUE(f.open(QIODevice::WriteOnly) &&
                         f.write("[General]\nEnding=\"open\n@Variant(\\0\\0\\xff)\n[broken\n=x\n"));
         },
         QString()},
    };
    for (unsigned seed = 1; seed <= 8; ++seed) {
        std::mt19937 random(seed);
        QByteArray noise(std::size_t(seed) << 14, '\0');
        for (char& c : noise) c = char(random());
        cases.emplace_back(
            [&file, noise] {
                QFile f(file);
                ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(noise) == noise.size());
            },
            QString());
    }
    for (const auto& [make, why] : cases) {
        SCOPED_TRACE(why.toStdString());
        QDir(QFileInfo(file).path()).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(QFileInfo(file).path()));
        make();
        QElapsedTimer timer;
        timer.start();
        SettingsStore store;
        EXPECT_EQ(store.Read(kKeyTab, QStringLiteral("default")), QStringLiteral("default"));
        EXPECT_EQ(
            store.Unreadable(),
            why.isEmpty()
                ? QString()
                : QStringLiteral("The settings in \"%1\" cannot be read: %2.").arg(file, why));
        if (why.isEmpty()) {
            // Written anew, and again: this process holds what it read of the damage.
            for (const QString& key : {kKeyEnding, kKeyTab, kKeyEnter, kKeyTab, kKeyEnding}) {
                const QString value = key + QStringLiteral(" value");
                store.Write(key, value);
                EXPECT_EQ(SettingsStore().Read(key), value);
                EXPECT_EQ(OnDisk(key), value);
            }
        } else {
            EXPECT_THAT([&] { store.Write(kKeyTab, QStringLiteral("0")); },
                        ::testing::ThrowsMessage<Failure>(
                            QStringLiteral("The setting \"Tab\" could not be saved in \"%1\": %2.")
                                .arg(file, why)
                                .toStdString()));
        }
        EXPECT_LT(timer.elapsed(), 5000);
    }
    QDir(QFileInfo(file).path()).removeRecursively();
}

// Several keys at one reading give what a Read each gives, and the same unreadable reason.
TEST(SettingsStore, ReadingSeveralKeysGivesWhatEachReadGives) {
    const QString file = StoreFileName();
    const QStringList keys = {kKeyEnding, kKeyEnter, kKeyTab, kKeyAbbreviations};
    const QStringList defaults = {"d-ending", "d-enter", "d-tab", "d-abbreviations"};
    const std::pair<QByteArray, QStringList> cases[] = {
        {"<absent>", defaults},
        {"[General]\nTab=0\nEnding=\nOther=x\n", {"", "d-enter", "0", "d-abbreviations"}},
        {"[General]\nAbbreviations=\"a, b\"\nEnter=2\n", {"d-ending", "2", "d-tab", "a, b"}},
        {"[General]\nEnding=., !\n", {"., !", "d-enter", "d-tab", "d-abbreviations"}},
        {"<folder>", defaults},
        {"\xFF\xFE[broken\n=\n", defaults},
    };
    for (const auto& [contents, expected] : cases) {
        SCOPED_TRACE(contents.toStdString());
        QDir(QFileInfo(file).path()).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(QFileInfo(file).path()));
        if (contents == "<folder>") {
            ASSERT_TRUE(QDir().mkpath(file));
        } else if (contents != "<absent>") {
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(contents) == contents.size());
        }
        const SettingsStore store;
        QString unreadable = QStringLiteral("unset");
        const QStringList several = store.ReadSeveral(keys, defaults, &unreadable);
        EXPECT_EQ(several, expected);
        EXPECT_EQ(unreadable, store.Unreadable());
        for (qsizetype i = 0; i < keys.size(); ++i)
            EXPECT_EQ(several[i], store.Read(keys[i], defaults[i])) << keys[i].toStdString();
        EXPECT_FALSE(several[0].isNull());
    }
    QDir(QFileInfo(file).path()).removeRecursively();
}

// A hand-edited "Enter" or "Tab": any number that rounds, half to even, to 0, 1 or 2.
TEST(StoredCheckValue, TakesEveryNumberThatRoundsToACheckBoxValue) {
    const QString mismatch = "Type mismatch", invalid = "Invalid property value";
    // The stored text, and the value or the failure's description.
    const std::pair<QString, std::variant<int, QString>> cases[] = {
        {"0", 0},           {"1", 1},           {"2", 2},          {" 1 ", 1},
        {"\t2\t", 2},       {"1.0", 1},         {"+1", 1},         {"-0", 0},
        {"0.5", 0},         {"1.5", 2},         {"2.5", 2},        {"-0.4", 0},
        {"-0.5", 0},        {"0.50001", 1},     {".5", 0},         {"1.", 1},
        {"1e0", 1},         {"20E-1", 2},       {"0.15e1", 2},     {"1e-400", 0},
        {"3", invalid},     {"-1", invalid},    {"2.51", invalid}, {"-0.6", invalid},
        {"65537", invalid}, {"1e400", invalid}, {"", mismatch},    {"  ", mismatch},
        {"yes", mismatch},  {"1,0", mismatch},  {"0x1", mismatch}, {"1 0", mismatch},
        {"inf", mismatch},  {"nan", mismatch},  {"e1", mismatch},  {".", mismatch},
        {"١", mismatch},    {"1e", mismatch},
    };
    for (const auto& [stored, expected] : cases) {
        SCOPED_TRACE(stored.toStdString());
        std::variant<int, QString> got;
        try {
            got = StoredCheckValue(stored);
        } catch (const Failure& failure) {
            got = failure.description();
        }
        EXPECT_EQ(got, expected);
    }
}

TEST(AbbreviationStoredForm, JoinAndTheTwoReadings) {
    const QString D = kAbbreviationDelimiter;
    EXPECT_EQ(JoinAbbreviations({"etc.", "", "vs."}), "etc." + D + D + "vs." + D);
    // The stored text, the count's pieces and the window's entries; the match is exact.
    const std::tuple<QString, QStringList, QStringList> cases[] = {
        {QString(), {}, {}},
        {D, {"", ""}, {}},
        {"etc." + D + D + "vs." + D, {"etc.", "", "vs.", ""}, {"etc.", "vs."}},
        {"etc.", {"etc."}, {"etc."}},  // no closing delimiter: the last piece is an entry
        {"My_separatora12y" + D, {"My_separatora12y", ""}, {"My_separatora12y"}},
    };
    for (const auto& [stored, forCount, forWindow] : cases) {
        SCOPED_TRACE(stored.toStdString());
        EXPECT_EQ(SplitAbbreviationsForCount(stored), forCount);
        EXPECT_EQ(SplitAbbreviationsForWindow(stored), forWindow);
    }
}

}  // namespace
}  // namespace brintale
