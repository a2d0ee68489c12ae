#include "core/splitter/byte_splitter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <random>
#include <utility>

#include "core/failure.h"
#include "core/settings_store.h"
#include "core/splitter/byte_search.h"
#include "core/splitter/kernels.h"
#include "core/splitter/sentence_stream.h"
#include "core/text_file.h"

namespace brintale {
namespace {

// What a text gave: each sentence as "[start,end)text" in UTF-8, parts put before the rest.
struct Got {
    std::vector<std::string> sentences;
    std::string part;
    bool abandoned = false;
    std::int64_t count = 0;
    bool operator==(const Got&) const = default;
};

void PrintTo(const Got& g, std::ostream* out) {
    *out << g.count << " sentences" << (g.abandoned ? ", abandoned" : "");
    for (const auto& s : g.sentences) *out << "\n  " << ::testing::PrintToString(s);
}

std::string Line(QByteArrayView text, std::int64_t start, std::int64_t end, std::string& part) {
    std::string line = '[' + std::to_string(start) + ',' + std::to_string(end) + ')' + part;
    part.clear();
    return line + text.toByteArray().toStdString();
}

struct ByteCollector : ByteSentenceReceiver {
    Got got;
    void Sentence(QByteArrayView text, std::int64_t start, std::int64_t end) override {
        got.sentences.push_back(Line(text, start, end, got.part));
    }
    void SentencePart(QByteArrayView text) override { got.part += text.toByteArray(); }
    void AbandonSentence() override { got.abandoned = true; }
};

struct StreamCollector : SentenceReceiver {
    Got got;
    void Sentence(QStringView text, std::int64_t start, std::int64_t end) override {
        got.sentences.push_back(Line(text.toUtf8(), start, end, got.part));
    }
    void SentencePart(QStringView text) override { got.part += text.toUtf8().toStdString(); }
    void AbandonSentence() override { got.abandoned = true; }
};

Got FromStream(const QString& text, QStringView separators, const QStringList& entries,
               qsizetype partUnits) {
    SentenceStream::Options options;
    options.codePoints = true;
    options.partUnits = partUnits;
    SentenceStream stream(separators, entries, options);
    StreamCollector c;
    stream.Feed(text, c);
    stream.Finish(c);
    c.got.count = stream.count();
    return c.got;
}

// The bytes cut at `cuts`; UTF-8 told after `ascii` bytes (all ASCII before), else never.
Got FromBytes(ByteSplitter& s, const QByteArray& bytes, const std::vector<qsizetype>& cuts,
              bool utf8, qsizetype ascii) {
    ByteCollector c;
    qsizetype from = 0;
    const auto feed = [&](qsizetype to) {
        if (utf8 && from <= ascii && ascii < to) {
            s.Feed(QByteArrayView(bytes).sliced(from, ascii - from), c);
            s.ReadAsUtf8();
            from = ascii;
        }
        s.Feed(QByteArrayView(bytes).sliced(from, to - from), c);
        from = to;
    };
    for (const qsizetype cut : cuts) feed(cut);
    feed(bytes.size());
    s.Finish(c);
    c.got.count = s.count();
    return c.got;
}

qsizetype AsciiPrefix(const QByteArray& bytes) {
    qsizetype i = 0;
    while (i < bytes.size() && static_cast<unsigned char>(bytes[i]) < 0x80) ++i;
    return i;
}

const QStringList kBits = {"etc.",     "ETC.",   "e.g.",      "E.G.",      "vs.",        "v\u017F.",
                           "x\u212A.", "xk.",    "et al.",    "Et Al.",    "i.e.",       "No.",
                           "Sept.",    "a",      "word",      ".",         "!",          "?",
                           " ",        "  ",     "\n",        "\r",        "\r\n",       "\t",
                           " \n ",     "\n\t",   "3.5",       "caf\u00e9", "\u2014",     "\u0080",
                           "\u00ff",   "e\r.g.", "et\r\nal.", "etc.etc.",  "\U0001F600", "\u2028",
                           "\"q\\",    "Mr.",    "MR. X",     "\u20ac",    "\u0152.",    "x.e"};
const QStringList kLists[] = {
    {},
    kBuiltInAbbreviations,
    {"etc.", "vs.", "i.e.", "et al.", "e.g.", "Sept.", "No.", "xk.", "Mr."},
    {"e.g.", "g.", ".e.", "etc.etc."},  // overlapping ones, for the splitter itself
    {"Etc.", "etc.", "MR."},            // the first spelling is the one printed
};
const QString kSeparators[] = {".!?\n\t", ".!?", ".!?\n", "\n", ". ", "!?", ".!?\t "};

struct Random {
    std::mt19937 random;
    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); }
    QString Text(int bits) {
        QString text;
        for (int k = 0; k < bits; ++k) text += kBits[Below(int(kBits.size()))];
        return text;
    }
    std::vector<qsizetype> Cuts(qsizetype size, int step) {
        std::vector<qsizetype> cuts;
        for (qsizetype at = Below(step); at < size; at += 1 + Below(step)) cuts.push_back(at);
        return cuts;
    }
};

// Windows-1252 for a text that has such bytes, the reading the splitter must agree with.
std::optional<QByteArray> Windows1252(const QString& text) {
    QByteArray bytes;
    for (const QChar c : text) {
        int b = 0;
        while (b < 256 && Windows1252ToUnicode(static_cast<unsigned char>(b)) != c.unicode()) ++b;
        if (b == 256) return std::nullopt;
        bytes += char(b);
    }
    return bytes;
}

void Compare(Random& g, const QString& text, const QString& separators, const QStringList& entries,
             int step, qsizetype heldBeforeLooking) {
    SCOPED_TRACE(::testing::Message()
                 << "text " << ::testing::PrintToString(text.toStdString()) << " separators "
                 << ::testing::PrintToString(separators.toStdString()) << " entries "
                 << entries.join(u'|').toStdString());
    ByteSplitter::Options options;
    options.codePoints = true;
    options.heldBeforeLooking = heldBeforeLooking;
    if (!ByteSplitter::For(separators, entries, options)) return;
    const Got expected = FromStream(text, separators, entries, 0);
    const QByteArray utf8 = text.toUtf8();
    for (int round = 0; round < 3; ++round) {
        const auto s = ByteSplitter::For(separators, entries, options);
        ASSERT_EQ(FromBytes(*s, utf8, g.Cuts(utf8.size(), step), true, AsciiPrefix(utf8)),
                  expected);
    }
    if (const auto single = Windows1252(text)) {
        const auto s = ByteSplitter::For(separators, entries, options);
        ASSERT_EQ(FromBytes(*s, *single, g.Cuts(single->size(), step), false, 0), expected);
    }
}

class ByteSplitterKernels : public ::testing::TestWithParam<Kernel> {
  protected:
    void SetUp() override { UseKernel(GetParam()); }
    void TearDown() override { UseKernel(AvailableKernels().back()); }
};

TEST_P(ByteSplitterKernels, GivesTheStreamsSentencesWhereverThePiecesAreCut) {
    Random g{std::mt19937(21)};
    for (int round = 0; round < 1500 && !HasFailure(); ++round) {
        const QString text = g.Text(g.Below(40));
        Compare(g, text, kSeparators[g.Below(int(std::size(kSeparators)))],
                kLists[g.Below(int(std::size(kLists)))], 1 + g.Below(12), g.Below(2) ? 1 : 1 << 16);
    }
}

TEST_P(ByteSplitterKernels, GivesTheStreamsSentencesForLongTexts) {
    Random g{std::mt19937(22)};
    for (int round = 0; round < 40 && !HasFailure(); ++round) {
        const QString text = g.Text(3000);
        Compare(g, text, kSeparators[g.Below(int(std::size(kSeparators)))],
                kLists[g.Below(int(std::size(kLists)))], 1 + g.Below(3000), 1 << 16);
    }
}

// The byte searches against their plain definitions, at every offset and length, on bytes
// rich in what they look for.
TEST_P(ByteSplitterKernels, SearchesBytesAsThePlainLoopsDo) {
    std::mt19937 random(23);
    const unsigned char alphabet[] = {'a',  ' ',  '\r', '\n', '\t', 0x80, 0xBF, 0xC0, 0xC5,
                                      0xE2, 0x84, 0xAA, 0xF0, 0xFF, '.',  0x7F, 0x00};
    std::vector<unsigned char> bytes(300);
    for (int round = 0; round < 300; ++round) {
        for (auto& b : bytes) b = alphabet[random() % std::size(alphabet)];
        // Long plain runs now and then, for the vectors to pass over.
        for (int k = int(random() % 3); k > 0; --k) {
            const std::size_t from = random() % bytes.size();
            std::fill(bytes.begin() + long(from),
                      bytes.begin() + long(std::min(bytes.size(), from + random() % 120)), 'x');
        }
        const qsizetype from = qsizetype(random() % 40), n = qsizetype(random() % 260);
        const unsigned char* d = bytes.data() + from;
        for (const bool high : {false, true}) {
            qsizetype plain = 0;
            while (plain < n && !detail::NeedsWork(d[plain], high)) ++plain;
            ASSERT_EQ(detail::PlainPrefix(d, n, high), plain);
        }
        // Separators over a few nibbles, and over more than the vector's classes hold; with
        // anchors or without. A separator must be looked at wherever an anchor follows a
        // byte that may stand before it.
        std::array<bool, 256> anchor{}, prior{};
        anchor['.'] = true;
        for (int b = 0x80; b < 256; ++b) prior[std::size_t(b)] = true;
        prior['a'] = prior['\r'] = prior['x'] = true;
        const detail::AnchorSearch anchors{anchor, prior};
        for (const std::string wanted : {".\n\t", "!?.\x7F", "\x01\x11!1AQaq"}) {
            std::array<bool, 256> member{};
            for (const char c : wanted) member[static_cast<unsigned char>(c)] = true;
            for (const bool high : {false, true})
                for (const detail::AnchorSearch* search :
                     {&anchors, (const detail::AnchorSearch*)nullptr}) {
                    std::vector<std::pair<qsizetype, bool>> expected, visited;
                    bool worked = false;
                    for (qsizetype i = 0; i < n; ++i) {
                        worked = worked || detail::NeedsWork(d[i], high);
                        if (member[d[i]]) expected.emplace_back(i, std::exchange(worked, false));
                    }
                    detail::ForEachMarked(
                        d, n, wanted, member, high, search, [&](qsizetype q, bool w, bool look) {
                            visited.emplace_back(q, w);
                            const bool mayEnd = anchor[d[q]] && (q == 0 || prior[d[q - 1]]);
                            EXPECT_TRUE(look || (search && !mayEnd)) << q;
                        });
                    ASSERT_EQ(visited, expected) << wanted << " high " << high;
                }
        }
        qsizetype leads = 0;
        for (qsizetype i = 0; i < n; ++i) leads += d[i] < 0x80 || d[i] >= 0xC0;
        ASSERT_EQ(detail::LeadBytes(d, n), leads);
        // The code point of every place, from the continuation bytes before it.
        std::vector<detail::ContinuationWord> words(std::size_t(n / 64 + 1));
        detail::ContinuationWords(d, n, words.data());
        for (qsizetype at = 0, before = 0; at <= n; ++at) {
            const detail::ContinuationWord& w = words[std::size_t(at / 64)];
            ASSERT_EQ(w.before + std::popcount(w.bits & ((std::uint64_t(1) << (at % 64)) - 1)),
                      before)
                << at;
            ASSERT_EQ(w.bits >> (at % 64) & 1, at < n && d[at] >= 0x80 && d[at] < 0xC0) << at;
            if (at < n) before += d[at] >= 0x80 && d[at] < 0xC0;
        }
        qsizetype lead = 0;
        while (lead < n && !detail::FoldingLeadAt(d, n, lead)) ++lead;
        ASSERT_EQ(detail::FindFoldingLead(d, n), lead);
    }
}

INSTANTIATE_TEST_SUITE_P(Each, ByteSplitterKernels, ::testing::ValuesIn(AvailableKernels()),
                         [](const auto& info) { return std::string(KernelName(info.param)); });

TEST(ByteSplitter, TakesOnlyRulesItCanPrintBy) {
    const QString stops = QStringLiteral(".!?\n\t");
    const std::tuple<QString, QStringList, bool> cases[] = {
        {stops, kBuiltInAbbreviations, true},
        {stops, {}, true},
        {stops, {"et al.", "", "etc."}, true},
        {QStringLiteral("!?"), {"etc.", "Mr"}, false},  // changes the text, not the count
        {stops, {" al."}, false},                       // trimmed differently
        {stops, {"etc.\n"}, false},
        {stops, {"caf\u00e9."}, false},
        {QStringLiteral(".A"), {}, false},
    };
    for (const auto& [separators, entries, taken] : cases)
        EXPECT_EQ(ByteSplitter::For(separators, entries, {}) != nullptr, taken)
            << entries.join(u'|').toStdString();
}

// A long sentence goes out in parts and gives the same line; one the text ends inside is
// abandoned.
TEST(ByteSplitter, PrintsLongSentencesInParts) {
    const QString separators = QStringLiteral(".");
    for (const QString& tail : {QStringLiteral("."), QStringLiteral(" and on")}) {
        const QString text = "Short. " + QString("caf\u00e9 word ").repeated(500) + tail;
        ByteSplitter::Options options;
        options.partUnits = 64;
        const auto s = ByteSplitter::For(separators, {}, options);
        ASSERT_TRUE(s);
        const QByteArray utf8 = text.toUtf8();
        std::vector<qsizetype> cuts;
        for (qsizetype at = 100; at < utf8.size(); at += 100) cuts.push_back(at);
        const Got got = FromBytes(*s, utf8, cuts, true, AsciiPrefix(utf8));
        const bool ends = tail == ".";
        EXPECT_EQ(got.abandoned, !ends);
        EXPECT_EQ(s->endedInsideParts(), !ends);
        EXPECT_EQ(got.count, ends ? 2 : 1);
        const std::string whole =
            "[0,0)" + (QString("caf\u00e9 word ").repeated(500) + ".").toUtf8().toStdString();
        if (ends)
            EXPECT_TRUE(got.sentences.back() == whole);
        else
            EXPECT_GT(got.part.size(), 4000u);
    }
}

TEST(ByteSplitter, RefusesTextWithNoPlaceToCutOnceTooLong) {
    ByteSplitter::Options options;
    options.heldLimit = 1 << 16;
    const auto s = ByteSplitter::For(QStringLiteral("."), {QStringLiteral("e.e.")}, options);
    ASSERT_TRUE(s);
    ByteCollector c;
    EXPECT_THROW(
        {
            for (int k = 0; k < 64; ++k) s->Feed(QByteArray("e.").repeated(1 << 10), c);
        },
        Failure);
}

}  // namespace
}  // namespace brintale
