// The counter reads every byte string as the window does: the same byte-order mark, the same
// choice between UTF-8 and Windows-1252, the same text, however the bytes come.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <string_view>

#include "cli/byte_source.h"
#include "cli/text_feeder.h"
#include "core/text_file.h"

namespace brintale::cli {
namespace {

using namespace std::literals;

QByteArray B(std::string_view bytes) { return QByteArray(bytes.data(), qsizetype(bytes.size())); }

// The text as the reader hands it on, decoded.
class Gather : public TextTarget {
  public:
    void Take(QByteArrayView bytes, StreamDecoder* decoder) override {
        if (decoder)
            decoder->Decode(bytes, text);
        else
            AppendWindows1252(bytes, text);
    }
    void End(StreamDecoder* decoder) override {
        if (decoder) decoder->Finish(text);
    }
    QString text;
};

// The counter's text of the bytes, read in blocks from a file or a pipe.
QString CounterText(const QByteArray& bytes, qsizetype block, bool readAhead) {
    Tuning tuning;
    tuning.blockBytes = block;
    MemorySource source(bytes, block, readAhead);
    TextReader reader(source, tuning);
    Gather gather;
    reader.ReadInto(gather, Trigger::AnyNonAscii);
    return gather.text;
}

void ExpectSameReading(const QByteArray& bytes) {
    // An empty file is no text to the counter; the window shows words for it.
    const QString window = bytes.isEmpty() ? QString() : DecodeText(bytes);
    for (qsizetype block : {1, 2, 3, 5, 4096})
        for (bool readAhead : {false, true})
            ASSERT_EQ(CounterText(bytes, block, readAhead), window)
                << bytes.toHex(' ').toStdString() << " block " << block
                << (readAhead ? " file" : " pipe");
}

TEST(TextReader, ReadsEveryMarkAndEncodingAsTheWindow) {
    const QByteArray cases[] = {
        "",
        "plain ASCII",
        "\xFF",  // a lone leading FF or FE is a character
        "\xFE",
        "\xEF\xBB",  // a mark cut short is text
        "\xEF\xBB\xBF",
        "\xEF\xBB\xBF\xEF\xBB\xBF",  // a second mark is text
        "\xEF\xBB\xBF"
        "caf\xE9",  // marked UTF-8 that is not
        "caf\xC3\xA9 ok",
        "caf\xC3\xA9 then caf\xE9",  // invalid late: all of it Windows-1252
        "ends cut off \xE2\x82",     // a sequence open at the end
        "\xED\xA0\x80 surrogate",    // encoded surrogate
        "\xC0\xAF overlong",
        "\xF4\x90\x80\x80 beyond",
        "\x80\x81\x8D\x8F\x90\x9D\x9F",  // the bytes Windows-1252 leaves undefined among others
        B("\xFF\xFEH\0i\0\x3D\xD8\x00\xDE!"sv),  // UTF-16 with an odd last byte
        B("\xFE\xFF\0H\xD8\x3D\xDE\x00"sv),
        B("\xFF\xFE"sv),
        B("\xFE\xFF\xEF\xBB\xBF"sv),
        B("\xFF\xFE\xFF\xFE\0"sv),
    };
    for (const QByteArray& bytes : cases) ExpectSameReading(bytes);
}

TEST(TextReader, ReadsRandomBytesAsTheWindow) {
    std::mt19937 random(1842);
    const std::string_view pieces[] = {"a",
                                       "Hi. ",
                                       "\xC3\xA9",
                                       "\xE2\x82\xAC",
                                       "\xF0\x9F\x98\x80",
                                       "\xED\xA0\x80",
                                       "\xC0\xAF",
                                       "\x80",
                                       "\xE0\x9F\xBF",
                                       "\xC3",
                                       "\xF0\x9F",
                                       "\xE9",
                                       "\xEF\xBB\xBF",
                                       "\xFF\xFE",
                                       "\xFE\xFF",
                                       "\0"sv,
                                       "\r\n",
                                       "\xC5\xBF",
                                       "\xE2\x84\xAA",
                                       "\xFF"};
    for (int round = 0; round < 2000; ++round) {
        QByteArray bytes;
        for (int k = int(random() % 9); k > 0; --k) {
            if (random() % 4 == 0) {
                bytes += char(random() % 256);  // any byte at all
            } else {
                const std::string_view piece = pieces[random() % std::size(pieces)];
                bytes += B(piece);
            }
        }
        ExpectSameReading(bytes);
    }
}

// A file on disk that the reader looks ahead in.
class OnDisk {
  public:
    explicit OnDisk(const QByteArray& bytes) : path_(dir_.filePath(QStringLiteral("text"))) {
        Write(bytes, QIODevice::WriteOnly);
    }
    void Write(const QByteArray& bytes, QIODevice::OpenMode mode) const {
        QFile file(path_);
        ASSERT_TRUE(file.open(mode));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    void CutTo(qsizetype size) const { ASSERT_EQ(::truncate(QFile::encodeName(path_), size), 0); }
    InputName name() const { return InputName{QFile::encodeName(path_)}; }

  private:
    QTemporaryDir dir_;
    QString path_;
};

const qsizetype kPage = ::sysconf(_SC_PAGESIZE);

struct FileReading {
    QString text;
    int windows = 0;  // read to look ahead
};

// The text of a file as the reader hands it on; `changing` runs before each window is read.
FileReading ReadFile(const OnDisk& disk, qsizetype block, qsizetype window,
                     const std::function<void(int)>& changing = {}) {
    Tuning tuning;
    tuning.blockBytes = block;
    FileSource source(disk.name());
    source.SetWindow(window);
    FileReading reading;
    source.OnWindow([&] {
        if (changing) changing(reading.windows);
        ++reading.windows;
    });
    TextReader reader(source, tuning);
    Gather gather;
    reader.ReadInto(gather, Trigger::AnyNonAscii);
    reading.text = gather.text;
    return reading;
}

// Bytes beyond ASCII early, then pages of ASCII, then `end`.
QByteArray EarlyThenPlain(qsizetype pages, const QByteArray& end) {
    return "ab\xC3\xA9 " + QByteArray(pages * kPage, 'x') + end;
}

// Looked at on two cores, half each, a file is found UTF-8 or not as on one, whatever
// stands at its middle.
TEST(FileSource, LooksAtHalvesOnTwoCoresAsAtTheWhole) {
    const QByteArray half(3 * kPage, 'x');
    // `middle` with `before` of its bytes before the file's middle, beyond ASCII at the start.
    const auto around = [&](const QByteArray& middle, qsizetype before) {
        const qsizetype prefix = middle.size() + half.size() - 2 * before;
        return "\xC3\xA9" + QByteArray(prefix - 2, 'y') + middle + half;
    };
    QList<QByteArray> cases;
    for (const char* middle : {"\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\x80\x80\x80\x80",
                               "\xE2\x82 ", "\xFF", "\xC3"})
        for (qsizetype before = 0; before <= qsizetype(std::strlen(middle)); ++before)
            cases += around(QByteArray(middle), before);
    cases += half + "\xFF" + half + half;  // ill-formed in the first half
    cases += half + half + half + "\xE2";  // open at the end
    cases += half + half + half;           // ASCII alone
    for (const QByteArray& bytes : cases) {
        const OnDisk disk(bytes);
        QStringDecoder qt(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        const QString decoded = qt.decode(bytes);  // decoded only when taken
        std::pair<bool, std::int64_t> looked[2];
        for (const bool two : {false, true}) {
            FileSource source(disk.name());
            source.SetWindow(two ? kPage : qsizetype(1) << 20);
            source.SetTwoCoresFrom(kPage);
            source.ValidateOnTwoCores(two);
            const Utf8Validator v = source.ValidateFrom(0, Utf8Validator(), 1 << 16);
            looked[two] = {v.Finish(), v.validBytes()};
        }
        EXPECT_EQ(looked[1], looked[0]) << bytes.mid(bytes.size() / 2 - 4, 8).toHex().toStdString();
        EXPECT_EQ(looked[1].first, !qt.hasError());
    }
}

TEST(TextReader, LooksAheadInAFileOnceWhereverTheBlocksAndWindowsCut) {
    const struct {
        const char* what;
        QByteArray bytes;
    } cases[] = {
        {"invalid only at the very end", EarlyThenPlain(5, "\xFF")},
        {"valid to the end", EarlyThenPlain(5, "caf\xC3\xA9.")},
        {"a sequence open at the end", EarlyThenPlain(5, "\xE2\x82")},
        {"a sequence across a page", "\xC3\xA9" + QByteArray(2 * kPage - 3, 'y') + "\xE2\x82\xAC!"},
        {"ill-formed across a page", "\xC3\xA9" + QByteArray(2 * kPage - 3, 'y') + "\xE2\x82 !"},
        {"one page exactly, the last byte beyond", QByteArray(kPage - 1, 'z') + "\xE9"},
    };
    for (const auto& c : cases) {
        const OnDisk disk(c.bytes);
        const QString decoded = DecodeText(c.bytes);
        for (qsizetype block : {qsizetype(1), qsizetype(7), kPage, qsizetype(1) << 20}) {
            for (qsizetype window : {qsizetype(1), kPage, 2 * kPage + 1, qsizetype(16) << 20}) {
                const FileReading reading = ReadFile(disk, block, window);
                ASSERT_EQ(reading.text, decoded)
                    << c.what << ", block " << block << ", window " << window;
                ASSERT_EQ(reading.text, CounterText(c.bytes, block, true)) << c.what;
                // Every window from the page of the block with the first byte beyond ASCII
                // to the end, each once: no byte is read ahead twice.
                const qsizetype from = AsciiPrefix(c.bytes) / block * block / kPage * kPage;
                const qsizetype step = std::max(kPage, (window + kPage - 1) / kPage * kPage);
                EXPECT_EQ(reading.windows, (c.bytes.size() - from + step - 1) / step)
                    << c.what << ", block " << block << ", window " << window;
            }
        }
    }
}

TEST(TextReader, ReadsAFileCutShortOrGrownWhileLookingAhead) {
    // The first block, read before the look ahead, holds the first byte beyond ASCII.
    const qsizetype block = kPage;
    const QByteArray valid = EarlyThenPlain(5, "caf\xC3\xA9.");
    const QByteArray invalidAtEnd = EarlyThenPlain(5, "\xFF");
    const struct {
        const char* what;
        QByteArray bytes;
        int atWindow;      // the window before whose reading the file changes
        qsizetype cutTo;   // -1: not cut
        QByteArray added;  // appended
    } cases[] = {
        // Cut or grown before the window's bytes are read.
        {"cut inside the first window", invalidAtEnd, 0, kPage + 5, {}},
        {"cut to nothing", invalidAtEnd, 0, 0, {}},
        {"cut inside a later window", invalidAtEnd, 1, 3 * kPage, {}},
        {"cut before its invalid end", invalidAtEnd, 2, invalidAtEnd.size() - 1, {}},
        {"grown by an invalid byte", valid, 0, -1, "\xFF"},
        {"grown by text", valid, 1, -1, " more caf\xC3\xA9"},
        {"grown across the window it changes in", valid, 2, -1, QByteArray(3 * kPage, 'g')},
    };
    for (const auto& c : cases) {
        const OnDisk disk(c.bytes);
        const FileReading reading = ReadFile(disk, block, 2 * kPage, [&](int window) {
            if (window != c.atWindow) return;
            if (c.cutTo >= 0) disk.CutTo(c.cutTo);
            if (!c.added.isEmpty()) disk.Write(c.added, QIODevice::Append);
        });
        // The bytes the file had for each reading: the first block was read before.
        QByteArray had = c.bytes;
        if (c.cutTo >= 0) had.truncate(std::max(c.cutTo, block));
        had += c.added;
        EXPECT_EQ(reading.text, DecodeText(had)) << c.what;
        EXPECT_GT(reading.windows, c.atWindow) << c.what;
    }
}

}  // namespace
}  // namespace brintale::cli
