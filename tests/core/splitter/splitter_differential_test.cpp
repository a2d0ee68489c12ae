#include <gtest/gtest.h>

#include <random>

#include "core/failure.h"
#include "core/splitter/sentence_stream.h"
#include "core/splitter/splitter.h"
#include "core/splitter/splitter_detail.h"
#include "core/splitter/splitter_reference.h"
#include "core/splitter/splitter_units.h"

namespace brintale {
namespace {

// Bits of text chosen to provoke the rules: marker look-alikes, abbreviations in several
// cases, the letters, underscore and digits of markers, line breaks, spaces and code units
// whose folding is not plain (a surrogate pair included).
const QStringList kMarkerBits = {"Abbreviation_", "Abbreviation_0", "abbreviation_1",
                                 "Abbreviation_12", "ABBREVIATION_3"};
const QStringList kTextBits =
    kMarkerBits +
    QStringList{"etc.",   "ETC.", "Etc.", "e.g.", "E.G.", "No.",  "no.",    "NO.5",      "vs.",
                "et al.", "i.e.", "tion", "bb",   "n_",   "_",    "0",      "1",         "2",
                "5",      "12",   "A",    "a",    "b",    "e",    "i",      "t",         "x",
                "y",      ".",    ".",    "!",    "?",    " ",    " ",      "  ",        "\n",
                "\r",     "\r\n", "\t",   " \n ", "\n\t", "word", "Word ",  "3.5",       "xxx",
                "x.x.x",  "É",    "é",    "ß",    "ſ",    "K",    "\u212a", "\U00010400"};

const QStringList kEntryPool = {
    "etc.", "e.g.", "No.",  "no.", "vs.", "i.e.", "et al.",         "",   "",    "a", "tion",
    "n_1",  "_1",   "1.",   "0",   "5",   "ab",   "Abbreviation_0", "c.", "tc.", "t", ".",
    "E.G.", " x",   "x\ny", "\t",  "o.5", "s.",   "ation_",         "1",  "12",  "é", "k",
    "ss",   "a\rb", "Word", "e",   "bb",  "_",
};

// Entries that cannot match across a marker, so that the one-pass masking is exercised.
const QStringList kQuietEntryPool = {
    "etc.", "e.g.", "No.", "vs.",  "i.e.", "et al.", "",   "c.", "tc.",
    ".",    "E.G.", " x",  "x\ny", "\t",   "s.",     "é",  "k",  "ss",
    "a\rb", "Word", "x.",  "y",    "Y.",   "!",      "?x", "xx", "x.x",
};

const QStringList kSeparatorPool = {".!?", ".!?\n",     ".!?\n\t", ".!?\t", "",    ".",  "\n",
                                    " ",   ".A",        "._",      ".1",    ".0",  ".b", ".tn",
                                    "\r.", ".!?\n\t\r", "2.",      "x",     ".e\n"};

struct Generator {
    std::mt19937 random;

    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); }
    const QString& Pick(const QStringList& pool) { return pool[Below(int(pool.size()))]; }

    QString Text() {
        QString text;
        const int bits = Below(40);
        for (int k = 0; k < bits; ++k) text += Pick(kTextBits);
        return text;
    }
    QStringList Entries(const QStringList& pool) {
        QStringList entries;
        // Often more than ten, so that two-digit markers appear.
        const int count = Below(3) == 0 ? 11 + Below(6) : Below(6);
        for (int k = 0; k < count; ++k) entries += Pick(pool);
        return entries;
    }
};

QStringList Scanned(const MaskedText& masked, const QString& separators) {
    QStringList out;
    ScanSentences(masked, separators, [&](QString&& s) { out.push_back(std::move(s)); });
    return out;
}

std::vector<LocatedSentence> ScannedLocated(const MaskedText& masked, const QString& separators) {
    std::vector<LocatedSentence> out;
    ScanSentences(masked, separators, [&](QString&& s, qsizetype start, qsizetype end) {
        out.push_back({std::move(s), start, end});
    });
    return out;
}

std::vector<LocatedSentence> Located(const std::vector<testing::ReferenceSentence>& reference) {
    std::vector<LocatedSentence> out;
    for (const testing::ReferenceSentence& s : reference) out.push_back({s.text, s.start, s.end});
    return out;
}

// The stretch [start, end) of the text with carriage returns, line feeds and tabs removed and
// the units of each abbreviation the masking found respelled as its entry has them.
QString Respelled(const QString& text, const MaskedText& masked, qsizetype start, qsizetype end) {
    QString units = text;
    for (std::size_t g = 0; g < masked.markers.size(); ++g) {
        const MaskedText::Marker& m = masked.markers[g];
        if (m.from != 0 || m.to != detail::MarkerLength(m.entry)) continue;
        qsizetype at = m.position;
        if (!masked.origins.empty()) {
            if (!masked.origins[g].textAlone) continue;
            at = masked.origins[g].start;
        }
        for (QChar unit : masked.entries[m.entry]) {
            while (text[at] == u'\r') ++at;
            units[at++] = unit;
        }
    }
    QString out;
    for (qsizetype i = start; i < end; ++i)
        if (units[i] != u'\r' && units[i] != u'\n' && units[i] != u'\t') out += units[i];
    return out;
}

// The sentences of the stream fed the text in the pieces that the cuts make.
struct Streamed {
    std::vector<LocatedSentence> sentences;
    std::int64_t count = 0;
};

Streamed Stream(const QString& text, const QString& separators, const QStringList& entries,
                const std::vector<qsizetype>& cuts, SentenceStream::Options options) {
    struct Collect : SentenceStream::Sink {
        void Sentence(QStringView text, std::int64_t start, std::int64_t end) override {
            sentences.push_back({part + text.toString(), qsizetype(start), qsizetype(end)});
            part.clear();
        }
        void SentencePart(QStringView text) override { part += text; }
        std::vector<LocatedSentence> sentences;
        QString part;
    } collect;
    SentenceStream stream(separators, entries, options);
    qsizetype from = 0;
    for (qsizetype cut : cuts) {
        stream.Feed(QStringView(text).sliced(from, cut - from), collect);
        from = cut;
    }
    stream.Feed(QStringView(text).sliced(from), collect);
    stream.Finish(collect);
    return {collect.sentences, stream.count()};
}

void ExpectSameMasking(const MaskedText& masked, const testing::ReferenceMasked& expected) {
    std::vector<std::pair<qsizetype, qsizetype>> whole;
    EXPECT_EQ(detail::SpellMasked(masked, &whole), expected.text);
    EXPECT_EQ(whole, expected.wholeMarkers);
}

void Compare(const QString& text, const QString& separators, const QStringList& entries,
             bool quiet) {
    SCOPED_TRACE(::testing::Message()
                 << "text " << ::testing::PrintToString(text.toStdU16String()) << " separators "
                 << ::testing::PrintToString(separators.toStdU16String()) << " entries "
                 << ::testing::PrintToString(entries.join('|').toStdU16String()));
    const QStringList expected = testing::ReferenceSplit(text, separators, entries);
    const testing::ReferenceMasked expectedMask = testing::ReferenceMask(text, entries);

    EXPECT_EQ(SplitSentences(text, separators, entries), expected);
    EXPECT_EQ(CountSentences(text, separators, entries), std::size_t(expected.size()));

    const MaskedText masked = MaskAbbreviations(text, entries);
    ExpectSameMasking(masked, expectedMask);
    EXPECT_EQ(Scanned(masked, separators), expected);
    EXPECT_EQ(CountSentences(masked, separators), std::size_t(expected.size()));

    const MaskedText byPasses = detail::MaskByPasses(text, entries);
    ExpectSameMasking(byPasses, expectedMask);
    EXPECT_EQ(Scanned(byPasses, separators), expected);

    const auto byOccurrences = detail::MaskByOccurrences(text, entries);
    EXPECT_TRUE(byOccurrences || !quiet) << "a quiet list fell back to a pass per entry";
    if (byOccurrences) {
        ExpectSameMasking(*byOccurrences, expectedMask);
        EXPECT_EQ(Scanned(*byOccurrences, separators), expected);
    }

    // The stretches: the same from both maskings, in the list and streamed to a sink.
    const std::vector<testing::ReferenceSentence> reference =
        testing::ReferenceSplitLocated(text, separators, entries);
    const std::vector<LocatedSentence> located = Located(reference);
    EXPECT_EQ(SplitLocatedSentences(text, separators, entries), located);
    EXPECT_EQ(ScannedLocated(byPasses, separators), located);
    if (byOccurrences) {
        EXPECT_EQ(ScannedLocated(*byOccurrences, separators), located);
    }
    // Where no marker was cut, each sentence is its stretch respelled.
    for (const testing::ReferenceSentence& sentence : reference) {
        if (sentence.cutMarker) continue;
        EXPECT_EQ(Respelled(text, masked, sentence.start, sentence.end), sentence.text)
            << sentence.start << " " << sentence.end;
    }
}

// The stream, fed the text in two pieces cut at every place (or at the given places), gives
// the sentences and count of the whole text, however short its stretches.
void CompareStreamed(const QString& text, const QString& separators, const QStringList& entries,
                     const std::vector<std::vector<qsizetype>>& cutsToTry, qsizetype stretch,
                     std::size_t hashedAbove = detail::kHashedEntries) {
    SCOPED_TRACE(::testing::Message()
                 << "text " << ::testing::PrintToString(text.toStdU16String()) << " separators "
                 << ::testing::PrintToString(separators.toStdU16String()) << " entries "
                 << ::testing::PrintToString(entries.join('|').toStdU16String()) << " stretch "
                 << stretch);
    std::vector<LocatedSentence> whole;
    try {
        whole = SplitLocatedSentences(text, separators, entries);
    } catch (const Failure&) {
        return;  // refused lists are the masking's business
    }
    SentenceStream::Options options;
    options.stretchUnits = stretch;
    options.hashedAbove = hashedAbove;
    for (const std::vector<qsizetype>& cuts : cutsToTry) {
        options.countOnly = false;
        options.partUnits = cuts.size() % 3;  // now and then in parts of a few units
        // Now and then the scan on a second core.
        options.secondCore = !cuts.empty() && cuts.front() % 2 == 1;
        const Streamed streamed = Stream(text, separators, entries, cuts, options);
        ASSERT_EQ(streamed.sentences, whole) << ::testing::PrintToString(cuts);
        ASSERT_EQ(streamed.count, std::int64_t(whole.size()));
        options.countOnly = true;
        ASSERT_EQ(Stream(text, separators, entries, cuts, options).count,
                  std::int64_t(whole.size()))
            << ::testing::PrintToString(cuts);
    }
}

// For every place c: the text cut there, then after every few units, so that the stream
// gets many pieces and cuts many stretches.
std::vector<std::vector<qsizetype>> EveryCut(qsizetype size) {
    std::vector<std::vector<qsizetype>> cuts;
    for (qsizetype c = 0; c <= size; ++c) {
        std::vector<qsizetype> at{c};
        for (qsizetype next = c + 1 + c % 3; next < size; next += 1 + c % 3) at.push_back(next);
        cuts.push_back(at);
    }
    return cuts;
}

TEST(SplitterDifferential, AgreesWithThePlainRulesOnRandomCases) {
    Generator g{std::mt19937(20240611)};
    for (int round = 0; round < 4000 && !HasFailure(); ++round) {
        const bool quiet = round % 2 == 0;
        const QString text = g.Text();
        const QStringList entries = g.Entries(quiet ? kQuietEntryPool : kEntryPool);
        Compare(text, g.Pick(kSeparatorPool), entries, quiet);
    }
}

TEST(SplitterDifferential, StreamedCutAnywhereGivesTheSameSentences) {
    Generator g{std::mt19937(31)};
    for (int round = 0; round < 200 && !HasFailure(); ++round) {
        const QString text = g.Text();
        const QStringList entries = g.Entries(round % 2 ? kEntryPool : kQuietEntryPool);
        CompareStreamed(text, g.Pick(kSeparatorPool), entries, EveryCut(text.size()),
                        1 + g.Below(6));
    }
}

// Stretches of abbreviation letters alone, where the stream finds no place to cut and has to
// gather more than a stretch before it can go on.
TEST(SplitterDifferential, StreamedTextsWithoutPlacesToCut) {
    const std::tuple<QString, QString, QStringList> cases[] = {
        {"AAAAAbAAA", ".A", {"AAA"}},
        {"etc.etc.etc.etc. x etc.etc.etc. y.", ".", {"etc."}},
        {"e.g.e.g.e.g.\r\r\r\re.g.z. ab. e.g..", ".\n", {"e.g.", "g."}},
        // Cut between the letters of an abbreviation and where a match may still come.
        {"etc.e\r\r\r\r\r\r\rtc. tc.et\r\rc.etc", ".", {"etc."}},
        {"aaaa.aaaa.aaaa.aaaaaa.", ".", {"a.a", "e.g."}},
    };
    for (const auto& [text, separators, entries] : cases)
        for (qsizetype stretch : {1, 2, 3, 5})
            CompareStreamed(text, separators, entries, EveryCut(text.size()), stretch);
}

TEST(SplitterDifferential, StreamedLongTextsCutAtRandom) {
    Generator g{std::mt19937(8)};
    for (int round = 0; round < 30 && !HasFailure(); ++round) {
        QString text;
        for (int k = 0; k < 80; ++k) text += g.Text();
        std::vector<std::vector<qsizetype>> cutsToTry;
        for (int t = 0; t < 6; ++t) {
            std::vector<qsizetype> cuts;
            for (qsizetype c = g.Below(50); c < text.size(); c += 1 + g.Below(t % 2 ? 7 : 300))
                cuts.push_back(c);
            cutsToTry.push_back(cuts);
        }
        CompareStreamed(text, g.Pick(kSeparatorPool),
                        g.Entries(round % 2 ? kEntryPool : kQuietEntryPool), cutsToTry,
                        round % 3 == 0 ? 1 : 1 + g.Below(400));
    }
}

// Separators beyond the Basic Multilingual Plane, whole or in halves, on texts with pairs
// that share a half with them, lone halves and carriage returns between two halves.
TEST(SplitterDifferential, SeparatorsOfTwoUnitsAreWholeCharacters) {
    const QString grin = QStringLiteral("\U0001F600"), beam = QStringLiteral("\U0001F601"),
                  other = QStringLiteral("\U0001F200");
    const QStringList bits = {grin, beam, other, grin.left(1), grin.right(1), "\r", ".",
                              " ",  "\n", "x",   "etc" + grin, "etc",         "ab"};
    const QStringList separatorPool = {grin,
                                       "." + grin,
                                       grin + other,
                                       beam + "\n",
                                       grin.left(1),
                                       grin.right(1),
                                       grin.left(1) + "\r" + grin.right(1)};
    const QStringList entryPool = {"etc", "etc" + grin.left(1), "", "x", "b" + grin};
    Generator g{std::mt19937(77)};
    for (int round = 0; round < 600 && !HasFailure(); ++round) {
        QString text;
        for (int k = g.Below(30); k > 0; --k) text += g.Pick(bits);
        const QString& separators = g.Pick(separatorPool);
        QStringList entries;
        for (int k = g.Below(3); k > 0; --k) entries += g.Pick(entryPool);
        Compare(text, separators, entries, false);
        if (round % 4 == 0)
            CompareStreamed(text, separators, entries, EveryCut(text.size()), 1 + g.Below(4));
    }
}

// Long lists, with entries nested in each other, repeated in
// other cases, matching across markers or not: the plain rules, entry after entry, decide.
TEST(SplitterDifferential, LongListsWithRepeatedAndNestedEntries) {
    Generator g{std::mt19937(99)};
    const QString letters = QStringLiteral("abcetx.1_ ");
    // Lists that match inside markers grow short texts to a million units: fewer of them.
    for (int round = 0; round < 20 && !HasFailure(); ++round) {
        const bool quiet = round % 4 != 0;
        QStringList entries;
        for (int k = 65 + g.Below(120); k > 0; --k) {
            if (g.Below(3) == 0) {
                entries += g.Pick(quiet ? kQuietEntryPool : kEntryPool);
                continue;
            }
            QString entry;
            for (int u = 1 + g.Below(4); u > 0; --u) entry += letters[g.Below(int(letters.size()))];
            if (quiet) entry.replace(u'a', u'x').replace(u'1', u'x').replace(u'_', u'x');
            entries += g.Below(2) ? entry : entry.toUpper();
        }
        // Repeated entries, the same or in another case, later in the list.
        for (int k = g.Below(40); k > 0; --k)
            entries += entries[g.Below(int(entries.size()))].toUpper();
        QString text;
        for (int k = 0; k < 3; ++k) text += g.Text();
        const QString& separators = g.Pick(kSeparatorPool);
        try {
            Compare(text, separators, entries, false);
        } catch (const testing::ReferenceRefused&) {
            EXPECT_THROW(SplitSentences(text, separators, entries), Failure);
            continue;
        }
        // The same looked up by hash, as lists longer than these are.
        const auto hashed = detail::PrepareList(entries, 0);
        const auto byHash = detail::MaskByOccurrences(text, entries, hashed.get());
        EXPECT_EQ(byHash.has_value(), detail::MaskByOccurrences(text, entries).has_value());
        if (byHash) {
            ExpectSameMasking(*byHash, testing::ReferenceMask(text, entries));
            EXPECT_EQ(ScannedLocated(*byHash, separators),
                      Located(testing::ReferenceSplitLocated(text, separators, entries)));
        }
        if (round % 5 == 0)
            CompareStreamed(text, separators, entries, {{text.size() / 2}, {1, 7, 20}},
                            1 + g.Below(40), 0);
    }
}

TEST(SplitterDifferential, AgreesOnLongTextsWithManyOccurrences) {
    Generator g{std::mt19937(7)};
    for (int round = 0; round < 40 && !HasFailure(); ++round) {
        QString text;
        for (int k = 0; k < 60; ++k) text += g.Text();
        Compare(text, g.Pick(kSeparatorPool), g.Entries(round % 2 ? kEntryPool : kQuietEntryPool),
                round % 2 == 0);
    }
}

}  // namespace
}  // namespace brintale
