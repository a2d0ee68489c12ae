#include <gtest/gtest.h>

#include <random>

#include "core/splitter/splitter.h"
#include "core/splitter/splitter_detail.h"
#include "core/splitter/splitter_reference.h"

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
