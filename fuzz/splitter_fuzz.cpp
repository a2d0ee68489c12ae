// The splitter against the plain reference of the rules, on texts, separators and lists
// spelled from the fuzzer's bytes in an alphabet that provokes markers and line breaks.

#include <QString>
#include <QStringList>
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

#include "core/failure.h"
#include "core/splitter/byte_counter.h"
#include "core/splitter/byte_splitter.h"
#include "core/splitter/sentence_stream.h"
#include "core/splitter/splitter.h"
#include "core/splitter/splitter_detail.h"
#include "core/splitter/splitter_reference.h"
#include "core/text_file.h"

namespace {

// Two halves of U+1F600 and the second half of U+1F601, so that pairs, pairs that share a
// half and lone halves all come.
const char16_t kAlphabet[] =
    u"Abbreviation_0123456789.!?etcgNOo \n\t\r xÉéßſK\u212a\xD83D\xDE00\xDE01";
constexpr std::size_t kLetters = sizeof(kAlphabet) / sizeof(char16_t) - 1;

const char16_t* const kSeparators[] = {u".!?",    u".!?\n",      u".!?\n\t",
                                       u"",       u" ",          u".A",
                                       u"._",     u".1",         u".0",
                                       u".b",     u"\r.",        u"x",
                                       u".e\n",   u"\U0001F600", u".\U0001F601\n",
                                       u"\xD83D", u"\xDE00.",    u"\U0001F600\U0001F601"};

// Letters of made-up entries: none of them can match across a marker, so that a long list
// stays quick to check against the reference.
const char16_t kEntryLetters[] = u"etcgNOo xÉéßſK.!?\xD83D\xDE00";
constexpr std::size_t kEntryLetterCount = sizeof(kEntryLetters) / sizeof(char16_t) - 1;

struct Reader {
    const std::uint8_t* data;
    std::size_t size;
    std::uint8_t Next() {
        if (!size) return 0;
        --size;
        return *data++;
    }
    QString Spell(std::size_t length) {
        QString s;
        for (std::size_t k = 0; k < length && size; ++k) s += QChar(kAlphabet[Next() % kLetters]);
        return s;
    }
};

// The text in Windows-1252, where each of its characters has a byte there.
std::optional<QByteArray> Windows1252(const QString& text) {
    static const auto bytesOf = [] {
        std::array<int, 0x10000> b;
        b.fill(-1);
        for (int byte = 255; byte >= 0; --byte)
            b[brintale::Windows1252ToUnicode(static_cast<unsigned char>(byte))] = byte;
        return b;
    }();
    QByteArray bytes;
    for (QChar c : text) {
        if (bytesOf[c.unicode()] < 0) return std::nullopt;
        bytes += char(bytesOf[c.unicode()]);
    }
    return bytes;
}

void RequireAt(bool ok, int line) {
    if (!ok) std::fprintf(stderr, "failed at line %d\n", line), std::abort();
}

template <typename Call>
bool Refused(Call&& call) {
    try {
        call();
    } catch (const brintale::Failure&) {
        return true;
    }
    return false;
}

}  // namespace
#define Require(x) RequireAt(x, __LINE__)

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader in{data, size};
    const QString separators = QString::fromUtf16(kSeparators[in.Next() % std::size(kSeparators)]);
    // How the stream gets the text: stretches of a few units, pieces cut every few units.
    const qsizetype stretch = 1 + in.Next() % 16, piece = 1 + in.Next() % 13;
    QStringList entries;
    const int count = in.Next() % 16;
    for (int k = 0; k < count; ++k) entries += in.Spell(in.Next() % 7);
    // Now and then a long list: made-up entries (long enough to be looked up by hash), then
    // the whole list again in other cases.
    if (const std::uint8_t shape = in.Next(); shape % 4 == 0) {
        std::uint32_t seed = in.Next() * 2654435761u + 1;
        const auto draw = [&] { return (seed = seed * 1103515245u + 12345u) >> 16; };
        for (int k = 65 + int(draw() % 100); k > 0; --k) {
            QString entry;
            for (int u = 1 + int(draw() % 4); u > 0; --u)
                entry += QChar(kEntryLetters[draw() % kEntryLetterCount]);
            entries += entry + QChar(u".!?"[draw() % 3]);
        }
        const QStringList once = entries;
        for (int copy = (shape >> 2) % 4; copy > 0; --copy)
            for (const QString& entry : once)
                entries += copy % 2 ? entry.toUpper() : entry.toLower();
    }
    const QString text = in.Spell(in.size);

    std::optional<std::vector<brintale::testing::ReferenceSentence>> reference;
    try {
        reference = brintale::testing::ReferenceSplitLocated(text, separators, entries);
    } catch (const brintale::testing::ReferenceRefused&) {
    }
    // A list the reference refuses must be refused by every way of masking, and only then.
    if (!reference) {
        Require(Refused([&] { brintale::SplitSentences(text, separators, entries); }));
        Require(Refused([&] { brintale::CountSentences(text, separators, entries); }));
        Require(Refused([&] { brintale::detail::MaskByPasses(text, entries); }));
        return 0;
    }
    QStringList expected;
    std::vector<brintale::LocatedSentence> located;
    for (const auto& s : *reference) {
        expected.push_back(s.text);
        located.push_back({s.text, s.start, s.end});
    }
    Require(brintale::SplitSentences(text, separators, entries) == expected);
    Require(brintale::CountSentences(text, separators, entries) == std::size_t(expected.size()));
    Require(brintale::SplitLocatedSentences(text, separators, entries) == located);
    std::vector<brintale::LocatedSentence> byPasses;
    brintale::ScanSentences(brintale::detail::MaskByPasses(text, entries), separators,
                            [&](QString&& s, qsizetype start, qsizetype end) {
                                byPasses.push_back({s, start, end});
                            });
    Require(byPasses == located);

    // The stream, fed the text in pieces, sentences in parts of a few units.
    struct Collect : brintale::SentenceStream::Sink {
        void Sentence(QStringView text, std::int64_t start, std::int64_t end) override {
            sentences.push_back({part + text.toString(), qsizetype(start), qsizetype(end)});
            part.clear();
        }
        void SentencePart(QStringView text) override { part += text; }
        std::vector<brintale::LocatedSentence> sentences;
        QString part;
    } collect;
    brintale::SentenceStream::Options options;
    options.stretchUnits = stretch;
    options.partUnits = piece % 4;
    options.secondCore = stretch % 2 == 0;
    // The whole-text calls above take the small buckets, these the look-up by hash.
    options.hashedAbove = 0;
    brintale::SentenceStream stream(separators, entries, options);
    for (qsizetype from = 0; from < text.size(); from += piece)
        stream.Feed(QStringView(text).sliced(from, std::min(piece, text.size() - from)), collect);
    stream.Finish(collect);
    Require(collect.sentences == located);
    Require(stream.count() == std::int64_t(located.size()));

    // The count straight from the bytes, where it applies: UTF-8, and a single-byte
    // encoding where the text has one.
    bool single = true;
    for (QChar c : text) single = single && c.unicode() <= 0xFF;
    // A lone half of a pair has no UTF-8 of its own.
    const bool pairsWhole = QString::fromUtf8(text.toUtf8()) == text;
    for (const bool utf8 : {true, false}) {
        if ((!utf8 && !single) || (utf8 && !pairsWhole)) continue;
        const auto counter = brintale::ByteCounter::For(separators, entries, qsizetype(1) << 16, 0);
        if (!counter) break;
        if (utf8) counter->ReadAsUtf8();
        const QByteArray bytes = utf8 ? text.toUtf8() : text.toLatin1();
        for (qsizetype from = 0; from < bytes.size(); from += piece)
            counter->Feed(QByteArrayView(bytes).sliced(from, std::min(piece, bytes.size() - from)));
        Require(counter->Finish() == std::int64_t(located.size()));

        // Read where counted on two threads, the file's size known: from near the middle on
        // a thread of its own, the reading decided on this one.
        const auto reader = brintale::ByteCounter::For(separators, entries);
        if (!reader) continue;
        reader->UseCores(2);
        bool asked = false;
        reader->FeedFrom(
            [&bytes](std::int64_t offset, char* buffer, qsizetype size) {
                const qsizetype n = std::clamp<qsizetype>(bytes.size() - offset, 0, size);
                std::memcpy(buffer, bytes.constData() + offset, std::size_t(n));
                return n;
            },
            0, std::max<qsizetype>(1, bytes.size() / (8 + piece % 8)),
            [&] { return !std::exchange(asked, true) && utf8; }, bytes.size());
        Require(reader->Finish() == std::int64_t(located.size()));
    }

    // The sentences straight from the bytes, where they apply: the same in UTF-8, placed in
    // code points, fed in pieces; in Windows-1252 where the text has it.
    struct CollectBytes : brintale::ByteSentenceReceiver {
        void Sentence(QByteArrayView text, std::int64_t start, std::int64_t end) override {
            part.append(text);
            sentences.push_back({QString::fromUtf8(part), qsizetype(start), qsizetype(end)});
            part.clear();
        }
        void SentencePart(QByteArrayView text) override { part.append(text); }
        std::vector<brintale::LocatedSentence> sentences;
        QByteArray part;
    };
    std::vector<brintale::LocatedSentence> inPoints = located;
    std::vector<qsizetype> seconds;  // second halves of pairs, which count no code point
    for (qsizetype i = 1; i < text.size(); ++i)
        if (text[i].isLowSurrogate() && text[i - 1].isHighSurrogate()) seconds.push_back(i);
    const auto point = [&](qsizetype unit) {
        return unit -
               qsizetype(std::lower_bound(seconds.begin(), seconds.end(), unit) - seconds.begin());
    };
    for (auto& s : inPoints) s.start = point(s.start), s.end = point(s.end);
    const std::optional<QByteArray> single1252 = Windows1252(text);
    for (const bool utf8 : {true, false}) {
        if ((!utf8 && !single1252) || (utf8 && !pairsWhole)) continue;
        brintale::ByteSplitter::Options byteOptions;
        byteOptions.codePoints = true;
        byteOptions.partUnits = piece % 4;
        byteOptions.heldBeforeLooking = stretch;
        byteOptions.hashedAbove = stretch % 3 ? brintale::detail::kHashedEntries : 0;
        const auto splitter = brintale::ByteSplitter::For(separators, entries, byteOptions);
        if (!splitter) break;
        const QByteArray bytes = utf8 ? text.toUtf8() : *single1252;
        // Told UTF-8 after the ASCII before the first byte beyond it, as the reader tells.
        qsizetype ascii = 0;
        while (ascii < bytes.size() && static_cast<unsigned char>(bytes[ascii]) < 0x80) ++ascii;
        CollectBytes got;
        for (qsizetype from = 0; from < bytes.size();) {
            qsizetype to = std::min(from + piece, bytes.size());
            if (utf8 && from <= ascii && ascii < to) {
                splitter->Feed(QByteArrayView(bytes).sliced(from, ascii - from), got);
                splitter->ReadAsUtf8();
                from = ascii;
            }
            splitter->Feed(QByteArrayView(bytes).sliced(from, to - from), got);
            from = to;
        }
        if (utf8 && ascii == bytes.size()) splitter->ReadAsUtf8();
        splitter->Finish(got);
        Require(got.sentences == inPoints);
        Require(splitter->count() == std::int64_t(located.size()));
    }
    return 0;
}
