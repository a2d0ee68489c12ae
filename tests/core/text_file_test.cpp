#include "core/text_file.h"

#include <gmock/gmock.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QBuffer>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <string_view>

#include "core/failure.h"
#include "core/file_exists.h"
#include "core/memory_limits.h"

namespace brintale {
namespace {

using namespace std::literals;

QByteArray B(std::string_view bytes) { return QByteArray(bytes.data(), bytes.size()); }

QString S(std::u16string_view text) { return QStringView(text).toString(); }

TEST(ReadTextFile, DecodesEveryKindOfFile) {
    const std::tuple<const char*, QByteArray, std::u16string_view> cases[] = {
        {"empty", {}, u"empty file"},
        {"utf16le, mark dropped", B("\xFF\xFEH\0i\0"sv), u"Hi"},
        {"utf16 mark alone", B("\xFF\xFE"), u""},
        {"utf16 later mark kept", B("\xFE\xFF\xFE\xFF\0x"sv), u"\xFEFFx"},
        {"utf16 odd length", B("\xFF\xFEH\0i"sv), u"H\xFFFD"},
        {"utf16 lone surrogate", B("\xFF\xFE\x00\xD8Z\0"sv), u"\xD800Z"},
        {"utf16 controls", B("\xFE\xFF\0\r\0\n\0\0\0\t"sv), u"\r\n\0\t"sv},
        {"lone FF", B("\xFF"), u"\xFF"},  // a single-byte character, not half a mark
        {"FE then text", B("\xFEx"), u"\xFEx"},
        {"controls and CR LF", B("a\0b\x01\x1f\x7f\tc\r\n"sv), u"a\0b\x01\x1f\x7f\tc\r\n"sv},
        {"utf8", B("\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x98\x80"), u"üß € 😀"},
        {"utf8 mark dropped", B("\xEF\xBB\xBFHi."), u"Hi."},
        {"utf8 mark once", B("\xEF\xBB\xBF\xEF\xBB\xBFx"), u"\xFEFFx"},
        {"utf8 mark cut short", B("\xEF\xBBx"), u"\xEF\xBBx"},
        // Not valid UTF-8, so one Windows-1252 character per byte.
        {"utf8 cut at the end", B("abc\xE2\x82"), u"abc\xE2\x201A"},
        {"encoded surrogate", B("\xED\xA0\x80"), u"\xED\xA0\x20AC"},
        {"mark then 1252", B("\xEF\xBB\xBFgr\xE9\x80"), u"gr\xE9\x20AC"},
        {"1252 block", B("\x80\x81\x85\x9F"), u"\x20AC\x81\x2026\x178"},
    };
    QTemporaryDir dir;
    for (const auto& [name, bytes, text] : cases) {
        SCOPED_TRACE(name);
        QFile file(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() &&
                    file.flush());
        EXPECT_EQ(ReadTextFile(file.fileName()), S(text));
    }
}

// A file is read a block of 1 MiB at a time; what stands at the edge of a block reads as it
// does in the bytes whole.
TEST(ReadTextFile, ReadsAcrossTheEdgesOfItsBlocksAsTheBytesWhole) {
    constexpr qsizetype kBlock = qsizetype(1) << 20;
    // Bytes placed so that they end at the offset, or start there.
    const std::tuple<const char*, QByteArray, qsizetype> cases[] = {
        {"two bytes across", B("\xC3\xA9"), kBlock - 1},
        {"three bytes, one before", B("\xE2\x82\xAC"), kBlock - 1},
        {"three bytes, two before", B("\xE2\x82\xAC"), kBlock - 2},
        {"four bytes, three before", B("\xF0\x9F\x98\x80"), kBlock - 3},
        {"four bytes at the edge", B("\xF0\x9F\x98\x80"), kBlock},
        {"U+FEFF opens the second block", B("\xEF\xBB\xBF"), kBlock},
        {"U+FEFF after a mark, across", B("\xEF\xBB\xBF"), kBlock - 1},
        {"CR LF across", B("\r\n"), kBlock - 1},
        {"lead byte ends the block", B("\xC3z"), kBlock - 1},
        {"invalid in the third block", B("\xE9"), 2 * kBlock + 5},
        {"cut off at the very end", B("\xE2\x82"), -1},
    };
    QTemporaryDir dir;
    for (const auto& [name, piece, at] : cases) {
        SCOPED_TRACE(name);
        const qsizetype before = at < 0 ? 3 * kBlock : at;
        QByteArray bytes = B("\xEF\xBB\xBF") + QByteArray(before - 3, 'a') + piece;
        if (at >= 0) bytes += QByteArray(kBlock / 2, 'b') + "\xC3\xBC.";
        QFile file(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() &&
                    file.flush());
        EXPECT_EQ(ReadTextFile(file.fileName()), DecodeText(bytes));
    }
}

// A large file is read in two halves at once; what stands where they meet, or in either,
// reads as it does in the bytes whole.
TEST(ReadTextFile, ReadsALargeFileInTwoHalvesAsTheBytesWhole) {
    constexpr qsizetype kSize = qsizetype(9) << 20;
    const std::tuple<const char*, QByteArray, qsizetype> cases[] = {
        {"ASCII only", B("a"), kSize / 2},
        {"four bytes across the middle", B("\xF0\x9F\x98\x80"), kSize / 2 - 2},
        {"two bytes across the middle", B("\xC3\xA9"), kSize / 2 - 1},
        {"U+FEFF opens the second half", B("\xEF\xBB\xBF"), kSize / 2},
        {"invalid in the second half", B("\xE9"), kSize - 10},
        {"invalid in the first half", B("\xE9"), 10},
        {"stray continuation bytes at the middle", B("\x80\x80\x80\x80\x80"), kSize / 2 - 2},
        {"cut off at the very end", B("\xE2\x82"), kSize - 2},
    };
    QTemporaryDir dir;
    for (const auto& [name, piece, at] : cases) {
        SCOPED_TRACE(name);
        QByteArray bytes = B("\xEF\xBB\xBF") + QByteArray(kSize - 3, 'a');
        bytes.replace(at, piece.size(), piece);
        bytes.truncate(kSize);
        QFile file(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() &&
                    file.flush());
        EXPECT_EQ(ReadTextFile(file.fileName()), DecodeText(bytes));
    }
}

TEST(DecodeText, Windows1252AgreesWithTheSystemTableWhereItIsDefined) {
    QStringDecoder system("windows-1252");
    if (!system.isValid()) GTEST_SKIP() << "no windows-1252 decoder in this Qt";
    for (int b = 0; b < 0x100; ++b) {
        const bool undefined = b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
        const char byte = static_cast<char>(b);
        EXPECT_EQ(QString(QChar(Windows1252ToUnicode(byte))),
                  undefined ? QString(QChar(b)) : system.decode(QByteArrayView(&byte, 1)))
            << "byte " << b;
    }
}

TEST(DecodeText, OneInvalidByteAnywhereTurnsTheWholeTextSingleByte) {
    const QByteArray bytes = QByteArray(1 << 20, 'a') + "\xC3\xA9 \xE9";
    EXPECT_EQ(DecodeText(bytes), QString(1 << 20, u'a') + S(u"\xC3\xA9 \xE9"));
}

TEST(ReadTextFile, NoFileIsEmptyTextAndAnUnreadableOneFailsNamingIt) {
    QTemporaryDir dir;
    EXPECT_TRUE(ReadTextFile(dir.filePath("missing.txt")).isNull());
    EXPECT_TRUE(ReadTextFile(QString()).isNull());
    QFile huge(dir.filePath("huge.txt"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(1) << 40));  // sparse
    const std::pair<QString, std::string> cases[] = {
        {dir.path(), "is a folder"},
        {huge.fileName(), "is too large to read: its 1099511627776 bytes"}};
    for (const auto& [path, why] : cases)
        EXPECT_THAT([&] { ReadTextFile(path); },
                    ::testing::ThrowsMessage<Failure>(::testing::AllOf(
                        ::testing::HasSubstr(path.toStdString()), ::testing::HasSubstr(why))));
}

TEST(ReadTextFile, ReadsToTheEndWhateverSizeTheSystemReports) {
    QFile version(QStringLiteral("/proc/version"));
    if (!version.exists()) GTEST_SKIP() << "no /proc";
    ASSERT_EQ(QFileInfo(version.fileName()).size(), 0);  // the case at hand
    ASSERT_TRUE(version.open(QIODevice::ReadOnly));
    EXPECT_EQ(ReadTextFile(version.fileName()), QString::fromUtf8(version.readAll()));
}

// Root may enter any folder, so the reading is done by a child that gave up being root.
TEST(ReadTextFile, AFolderTheUserMayNotEnterIsNoMissingFile) {
    QTemporaryDir dir;
    const QString closed = dir.filePath("closed"), file = dir.filePath("closed/a.txt");
    ASSERT_TRUE(QDir().mkdir(closed) && QFile(file).open(QIODevice::WriteOnly));
    ASSERT_EQ(::chmod(QFile::encodeName(closed).constData(), 0), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    int channel[2];
    ASSERT_EQ(::pipe(channel), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        if (::geteuid() == 0 && ::setuid(65534) != 0) ::_exit(2);
        QByteArray what = "no failure";
        try {
            ReadTextFile(file);
        } catch (const Failure& e) {
            what = e.description().toUtf8();
        }
        (void)!::write(channel[1], what.constData(), what.size());
        ::_exit(0);
    }
    ::close(channel[1]);
    QByteArray what(512, '\0');
    const auto got = ::read(channel[0], what.data(), what.size());
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::chmod(QFile::encodeName(closed).constData(), 0700);
    ASSERT_EQ(status, 0);
    what.truncate(std::max<ssize_t>(got, 0));
    EXPECT_EQ(what.toStdString(),
              QStringLiteral("The file \"%1\" cannot be opened: Permission denied.")
                  .arg(file)
                  .toStdString());
    EXPECT_TRUE(ReadTextFile(dir.filePath("missing/a.txt")).isNull());  // still no text
}

TEST(MemoryLimits, TheTightestLimitLeavesTheRoomForALoad) {
    constexpr quint64 G = quint64(1) << 30;
    using Group = MemoryLimits::Group;
    const std::pair<MemoryLimits, std::optional<quint64>> cases[] = {
        {{}, std::nullopt},
        {{24 * G, {}, {}, {}}, 24 * G},
        {{24 * G, Group{4 * G, 1 * G}, {}, {}}, 3 * G},  // the group's limit, less what it uses
        {{2 * G, Group{4 * G, 1 * G}, {}, {}}, 2 * G},
        {{24 * G, Group{4 * G, 5 * G}, {}, {}}, 0},  // over its limit already
        {{24 * G, {}, 8 * G, 6 * G}, 2 * G},         // the address space left
        {{24 * G, {}, 8 * G, {}}, 8 * G},
        {{{}, {}, 1 * G, 3 * G}, 0},
    };
    for (const auto& [limits, free] : cases) {
        EXPECT_EQ(FreeMemory(limits), free);
        if (free) {
            EXPECT_EQ(LargestLoadableFile(limits), *free / kLoadBytesPerFileByte);
        }
    }
    EXPECT_GT(LargestLoadableFile({}), quint64(1) << 50);  // nothing known: only the string's
}

TEST(MemoryLimits, GroupFilesGiveANumberOrNoLimit) {
    const std::pair<QByteArray, std::optional<quint64>> cases[] = {
        {"max\n", std::nullopt}, {"1073741824\n", quint64(1) << 30}, {"0", 0}, {"", std::nullopt},
        {"12 kB", std::nullopt},
    };
    for (const auto& [content, value] : cases)
        EXPECT_EQ(ParseGroupValue(content), value) << content.data();
    // This machine's own figures: whatever they are, a load of a byte fits.
    EXPECT_GT(LargestLoadableFile(CurrentMemoryLimits()), 0u);
}

TEST(FileExists, AnswersWithoutFailing) {
    QTemporaryDir dir;
    const QString file = dir.filePath("file.txt"), dangling = dir.filePath("dangling");
    ASSERT_TRUE(QFile(file).open(QIODevice::WriteOnly) &&
                QFile::link(dir.filePath("gone"), dangling));
    const std::pair<QString, bool> cases[] = {
        {file, true},       {dir.path(), true},       {dangling, false},
        {QString(), false}, {file + "/below", false}, {dir.filePath("missing"), false}};
    for (const auto& [path, exists] : cases)
        EXPECT_EQ(FileExists(path), exists) << path.toStdString();
}

TEST(ReadAllBytes, ReadsADeviceToItsEnd) {
    QByteArray source(3 << 20, '\0');
    for (qsizetype i = 0; i < source.size(); ++i) source[i] = static_cast<char>(i * 7);
    QBuffer buffer(&source);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    EXPECT_EQ(ReadAllBytes(buffer, QStringLiteral("buffer")), source);
}

}  // namespace
}  // namespace brintale
