#include "input/text_file.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTemporaryDir>

#include "shell/failure.h"
#include "shell/file_exists.h"

namespace brintale {
namespace {

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values) out.append(static_cast<char>(v));
    return out;
}

QString Units(std::initializer_list<char16_t> units) {
    QString out;
    for (char16_t u : units) out.append(QChar(u));
    return out;
}

struct FileCase {
    const char* name;
    QByteArray bytes;
    QString text;
};

TEST(ReadTextFile, DecodesEveryKindOfFile) {
    const FileCase cases[] = {
        {"empty", QByteArray(), QStringLiteral("empty file")},
        {"utf16le with mark kept", Bytes({0xFF, 0xFE, 'H', 0, 'i', 0}), Units({0xFEFF, 'H', 'i'})},
        {"utf16be with mark kept", Bytes({0xFE, 0xFF, 0, 'H', 0, 'i'}), Units({0xFEFF, 'H', 'i'})},
        {"utf16le non-latin", Bytes({0xFF, 0xFE, 0x2C, 0x20, 0x3D, 0xD8, 0x00, 0xDE}),
         Units({0xFEFF, 0x202C, 0xD83D, 0xDE00})},
        {"utf16le odd length", Bytes({0xFF, 0xFE, 'H', 0, 'i'}), Units({0xFEFF, 'H', 0xFFFD})},
        {"utf16be odd length", Bytes({0xFE, 0xFF, 0, 'H', 0}), Units({0xFEFF, 'H', 0xFFFD})},
        {"utf16 mark only", Bytes({0xFF, 0xFE}), Units({0xFEFF})},
        {"utf16 unpaired surrogate kept", Bytes({0xFF, 0xFE, 0x00, 0xD8, 'A', 0}),
         Units({0xFEFF, 0xD800, 'A'})},
        {"utf16 controls kept", Bytes({0xFF, 0xFE, '\r', 0, '\n', 0, 0, 0, '\t', 0}),
         Units({0xFEFF, '\r', '\n', 0, '\t'})},
        // A lone leading FF or FE is a single-byte character, not half a mark.
        {"lone FF", Bytes({0xFF}), QStringLiteral("ÿ")},
        {"lone FE", Bytes({0xFE}), QStringLiteral("þ")},
        {"FF then text", Bytes({0xFF, 'A', 'b'}), QStringLiteral("ÿAb")},
        {"FE then text", Bytes({0xFE, 'x'}), QStringLiteral("þx")},
        {"FF FF", Bytes({0xFF, 0xFF}), QStringLiteral("ÿÿ")},
        {"ascii with CR LF", QByteArray("One.\r\nTwo.\r\n"), QStringLiteral("One.\r\nTwo.\r\n")},
        {"controls kept", QByteArray("a\0b\x01\x1f\x7f\tc", 8),
         Units({'a', 0, 'b', 1, 0x1F, 0x7F, '\t', 'c'})},
        {"utf8",
         QByteArray("Gr\xC3\xBC\xC3\x9F"
                    "e \xE2\x82\xAC \xF0\x9F\x98\x80"),
         QStringLiteral("Grüße € 😀")},
        {"utf8 mark shows as one character", QByteArray("\xEF\xBB\xBFHi."),
         Units({0xFEFF, 'H', 'i', '.'})},
        // Not valid UTF-8, so one Windows-1252 character per byte.
        {"utf8 cut at the end", QByteArray("abc\xE2\x82"), Units({'a', 'b', 'c', 0xE2, 0x201A})},
        {"encoded surrogate", QByteArray("\xED\xA0\x80"), Units({0xED, 0xA0, 0x20AC})},
        {"overlong", QByteArray("\xC0\xAF"), Units({0xC0, 0xAF})},
        {"mark then latin-1",
         QByteArray("\xEF\xBB\xBF"
                    "caf\xE9"),
         Units({0xEF, 0xBB, 0xBF, 'c', 'a', 'f', 0xE9})},
        {"1252 specials", QByteArray("\x80\x85\x92\x96\x9F"),
         Units({0x20AC, 0x2026, 0x2019, 0x2013, 0x0178})},
        {"1252 undefined bytes", QByteArray("\x81\x8D\x8F\x90\x9D"),
         Units({0x81, 0x8D, 0x8F, 0x90, 0x9D})},
    };
    QTemporaryDir dir;
    for (const FileCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.bytes);
        file.close();
        EXPECT_EQ(ReadTextFile(path), c.text);
        if (!c.bytes.isEmpty()) {
            EXPECT_EQ(DecodeText(c.bytes), c.text);
        }
    }
}

TEST(FileExists, AnswersWithoutFailing) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("file.txt"));
    QFile(file).open(QIODevice::WriteOnly);
    const QString dangling = dir.filePath(QStringLiteral("dangling"));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("gone")), dangling));
    const std::pair<QString, bool> cases[] = {
        {file, true},       {dir.path(), true},
        {dangling, false},  {dir.filePath(QStringLiteral("missing")), false},
        {QString(), false}, {file + QStringLiteral("/below"), false},
    };
    for (const auto& [path, exists] : cases)
        EXPECT_EQ(FileExists(path), exists) << path.toStdString();
}

TEST(ReadTextFile, NoFileGivesEmptyText) {
    QTemporaryDir dir;
    EXPECT_EQ(ReadTextFile(dir.filePath(QStringLiteral("missing.txt"))), QString());
    EXPECT_EQ(ReadTextFile(QString()), QString());
}

TEST(ReadTextFile, AFileThatCannotBeReadFailsNamingIt) {
    QTemporaryDir dir;
    std::vector<QString> paths = {dir.path()};
    // Write-only to everyone, root included, yet it reports a length.
    const QString writeOnly = QStringLiteral("/sys/bus/pci/rescan");
    if (QFileInfo(writeOnly).size() > 0) paths.push_back(writeOnly);
    for (const QString& path : paths) {
        SCOPED_TRACE(path.toStdString());
        try {
            const QString text = ReadTextFile(path);
            ADD_FAILURE() << "read as " << text.size() << " characters";
        } catch (const Failure& failure) {
            EXPECT_TRUE(failure.description().contains(path))
                << failure.description().toStdString();
        }
    }
}

TEST(ReadTextFile, AFileTooLargeForMemoryFailsBeforeReading) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("huge.txt"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    // Sparse: a terabyte that takes no disk space.
    ASSERT_TRUE(file.resize(qint64(1) << 40));
    file.close();
    try {
        ReadTextFile(path);
        FAIL() << "a terabyte was read";
    } catch (const Failure& failure) {
        EXPECT_TRUE(failure.description().contains(QStringLiteral("too large")))
            << failure.description().toStdString();
    }
}

TEST(DecodeText, Windows1252AgreesWithTheSystemTableWhereItIsDefined) {
    QStringDecoder system("windows-1252");
    if (!system.isValid()) GTEST_SKIP() << "no windows-1252 decoder in this Qt";
    QByteArray all;
    for (int b = 0x80; b < 0x100; ++b) all.append(static_cast<char>(b));
    const QString expected = system.decode(all);
    ASSERT_EQ(expected.size(), all.size());
    for (int b = 0x80; b < 0x100; ++b) {
        const char16_t mine = Windows1252ToUnicode(static_cast<unsigned char>(b));
        switch (b) {
            case 0x81:
            case 0x8D:
            case 0x8F:
            case 0x90:
            case 0x9D:
                EXPECT_EQ(mine, b);
                break;
            default:
                EXPECT_EQ(mine, expected[b - 0x80].unicode()) << "byte " << b;
        }
    }
    for (int b = 0; b < 0x80; ++b)
        EXPECT_EQ(Windows1252ToUnicode(static_cast<unsigned char>(b)), b);
}

TEST(DecodeText, OneInvalidByteAnywhereTurnsTheWholeTextSingleByte) {
    QByteArray bytes(1 << 20, 'a');
    bytes.append("\xC3\xA9");
    EXPECT_EQ(DecodeText(bytes).size(), bytes.size() - 1);  // é is one character in UTF-8
    bytes[1000] = '\xE9';
    const QString text = DecodeText(bytes);
    ASSERT_EQ(text.size(), bytes.size());
    EXPECT_EQ(text[1000], QChar(0xE9));
    EXPECT_EQ(text.right(2), Units({0xC3, 0xA9}));
}

TEST(ReadAllBytes, ReadsADeviceToItsEnd) {
    QByteArray source(3 << 20, '\0');
    for (qsizetype i = 0; i < source.size(); ++i) source[i] = static_cast<char>(i * 7);
    QBuffer buffer(&source);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    EXPECT_EQ(ReadAllBytes(buffer, QStringLiteral("buffer")), source);

    QBuffer empty;
    ASSERT_TRUE(empty.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ReadAllBytes(empty, QStringLiteral("empty")).isEmpty());
}

}  // namespace
}  // namespace brintale
