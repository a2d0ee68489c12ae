// The counter reads every byte string as the window does: the same byte-order mark, the same
// choice between UTF-8 and Windows-1252, the same text, however the bytes come.

#include <gtest/gtest.h>

#include <QByteArray>
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

}  // namespace
}  // namespace brintale::cli
