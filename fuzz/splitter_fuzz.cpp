// The splitter against the plain reference of the rules, on texts, separators and lists
// spelled from the fuzzer's bytes in an alphabet that provokes markers and line breaks.

#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "core/failure.h"
#include "core/splitter/byte_counter.h"
#include "core/splitter/sentence_stream.h"
#include "core/splitter/splitter.h"
#include "core/splitter/splitter_detail.h"
#include "core/splitter/splitter_reference.h"

namespace {

const char16_t kAlphabet[] = u"Abbreviation_0123456789.!?etcgNOo \n\t\r xÉéßſK\u212a";
constexpr std::size_t kLetters = sizeof(kAlphabet) / sizeof(char16_t) - 1;

const char16_t* const kSeparators[] = {u".!?", u".!?\n", u".!?\n\t", u"",    u" ", u".A",  u"._",
                                       u".1",  u".0",    u".b",      u"\r.", u"x", u".e\n"};

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
    for (const bool utf8 : {true, false}) {
        if (!utf8 && !single) continue;
        const auto counter = brintale::ByteCounter::For(separators, entries);
        if (!counter) break;
        if (utf8) counter->ReadAsUtf8();
        const QByteArray bytes = utf8 ? text.toUtf8() : text.toLatin1();
        for (qsizetype from = 0; from < bytes.size(); from += piece)
            counter->Feed(QByteArrayView(bytes).sliced(from, std::min(piece, bytes.size() - from)));
        Require(counter->Finish() == std::int64_t(located.size()));
    }
    return 0;
}
