#include "counting/splitter.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "counting/splitter_detail.h"
#include "counting/splitter_reference.h"

namespace brintale {
namespace {

const QString kStops = QStringLiteral(".!?");
const QString kStopsLine = QStringLiteral(".!?\n");
const QString kStopsLineTab = QStringLiteral(".!?\n\t");

struct Case {
    const char* name;
    QString text;
    QString separators;
    QStringList entries;
    QStringList expected;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class SplitterCases : public ::testing::TestWithParam<Case> {};

TEST_P(SplitterCases, GivesTheSentencesOfTheRules) {
    const Case& c = GetParam();
    EXPECT_EQ(SplitSentences(c.text, c.separators, c.entries), c.expected);
    EXPECT_EQ(CountSentences(c.text, c.separators, c.entries), std::size_t(c.expected.size()));
    // The plain reference must agree too, or it would prove nothing elsewhere.
    EXPECT_EQ(testing::ReferenceSplit(c.text, c.separators, c.entries), c.expected);
    const MaskedText byPasses = detail::MaskByPasses(c.text, c.entries);
    QStringList scanned;
    ScanSentences(byPasses, c.separators, [&](QString&& s) { scanned.push_back(s); });
    EXPECT_EQ(scanned, c.expected);
}

const Case kCases[] = {
    // The worked examples.
    {"greeting",
     "Hi there. How are you?  Fine!",
     kStops,
     {},
     {"Hi there.", "How are you?", "Fine!"}},
    {"ellipsis", "Wait... what?", kStops, {}, {"Wait.", ".", ".", "what?"}},
    {"decimal", "It costs 3.5 dollars.", kStops, {}, {"It costs 3.", "5 dollars."}},
    {"unterminated tail", "Hello. World", kStops, {}, {"Hello."}},
    {"listed abbreviation, CR LF",
     "Buy milk, eggs, ETC. today.\r\nThen rest",
     kStopsLine,
     {"etc.", ""},
     {"Buy milk, eggs, etc. today."}},
    {"line feed joins words",
     "Roses are red\nviolets are blue.",
     kStops,
     {},
     {"Roses are redviolets are blue."}},
    {"lone line feed and tab", "One.\n\tTwo.", kStopsLineTab, {}, {"One.", "Two."}},
    // Edge cases.
    {"empty text", "", kStops, {}, {}},
    {"no separator", "no end here", kStops, {}, {}},
    {"empty separator set", "A. B! C?", "", {"etc."}, {}},
    {"only separators", "?!.", kStops, {}, {"?", "!", "."}},
    {"abbreviation at the very end", "We sold apples, pears etc.", kStops, {"etc."}, {}},
    {"abbreviation inside",
     "See the list etc. for more. Done.",
     kStops,
     {"etc."},
     {"See the list etc. for more.", "Done."}},
    {"spelled as listed", "E.G.", kStops, {"e.g."}, {}},
    {"spelled as listed, closed", "E.G. yes.", kStops, {"e.g."}, {"e.g. yes."}},
    {"entry equals last word",
     "She said no. Then she left.",
     kStops,
     {"No."},
     {"She said No. Then she left."}},
    {"digit after the marker", "Room No.5 is free.", kStops, {"No."}, {"Room No.5 is free."}},
    {"digit after a two-digit marker",
     "x No.12 y.",
     kStops,
     {"a1", "a2", "a3", "a4", "a5", "a6", "a7", "a8", "a9", "a10", "No."},
     {"x No.12 y."}},
    {"eleven and more entries",
     "Mr. X met Dr. Y, Jr. and St. Z etc. at 5.",
     kStops,
     {"q1.", "q2.", "q3.", "q4.", "q5.", "q6.", "q7.", "q8.", "Mr.", "Dr.", "Jr.", "St.", "etc."},
     {"Mr. X met Dr. Y, Jr. and St. Z etc. at 5."}},
    {"only breaks and spaces", " \n \t\n\t  \n", kStopsLineTab, {}, {}},
    {"carriage return never ends", "a\rb.c\r", kStopsLine, {}, {"ab."}},
    {"line feed without the option", "a\nb.", kStops, {}, {"ab."}},
    {"spaces after a line feed stay", "One.\n  Two.", kStops, {}, {"One.", "  Two."}},
    {"trim before removing breaks", "One.\t \nTwo.", kStops, {}, {"One.", " Two."}},
    {"space as separator, empty sentences", "a   b", " ", {}, {"a", "", ""}},
    {"lone line feed by a space separator", "\n x y", " ", {}, {"x"}},
    {"typed marker look-alike",
     "See Abbreviation_0. Ok.",
     kStops,
     {"etc."},
     {"See Abbreviation_0.", "Ok."}},
    {"look-alike next to a real marker",
     "Abbreviation_0etc. x.",
     kStops,
     {"etc."},
     {"Abbreviation_0etc. x."}},
    // Separators that occur in markers cut them; the pieces stay literal.
    {"capital A cuts", "See etc. now.", ".A", {"etc."}, {"See A", "bbreviation_0 now."}},
    {"underscore cuts", "See etc. now.", "._", {"etc."}, {"See Abbreviation_", "0 now."}},
    {"digit cuts at the end", "See etc. now.", ".0", {"etc."}, {"See etc.", "now."}},
    {"letter cuts", "etc. x.", ".v", {"etc."}, {"Abbrev", "iation_0 x."}},
    {"digit cuts a two-digit marker",
     "x etc. y.",
     ".1",
     {"", "", "", "", "", "", "", "", "", "", "", "etc."},
     {"x Abbreviation_1", "1", "y."}},
    // Entries interacting with markers and with each other.
    {"later entry cuts a marker", "x etc. y.", kStops, {"etc.", "tion"}, {"x Abbreviation_0 y."}},
    {"earlier contained entry acts first", "etc. x.", kStops, {"c.", "etc."}, {"etc. x."}},
    {"contained entry first, spelled", "ETC. x.", kStops, {"c.", "etc."}, {"ETc. x."}},
    {"later longer entry wins nothing", "x etc. y.", kStops, {"tc.", "etc."}, {"x etc. y."}},
    {"later entry finds nothing left", "x 5. y.", kStops, {"5", "5."}, {"x 5.", "y."}},
    {"later entry matches across a marker",
     "x 5. y.",
     kStops,
     {"5", "0."},
     {"x Abbreviation_0. y."}},
    {"entry across a marker end", "x e.y.", kStops, {"e.", "0y"}, {"x Abbreviation_0y."}},
    {"non-overlapping occurrences", "aaa.", kStops, {"aa"}, {"aaa."}},
    {"case folding beyond ASCII", "ÉTÉ. x.", kStops, {"été."}, {"été. x."}},
    {"case folding beyond ASCII, closed", "ÉTÉ. x. y.", kStops, {"été. x"}, {"été. x.", "y."}},
    {"restored entry spaces trimmed", "a b. c.", kStops, {" b."}, {"a b. c."}},
    {"restored entry at start trimmed", " b. c.", kStops, {" b."}, {"b. c."}},
    {"restored entry loses its breaks", "a\tb. c.", kStops, {"\tb."}, {"ab. c."}},
    {"entry with a carriage return never matches", "a\rb. c.", kStops, {"a\rb"}, {"ab.", "c."}},
    {"entry matching across a removed CR", "et\rc. x.", kStops, {"etc."}, {"etc. x."}},
    {"entry holding a line feed", "a\nb. c.", kStopsLine, {"a\nb."}, {"ab. c."}},
};

INSTANTIATE_TEST_SUITE_P(Rules, SplitterCases, ::testing::ValuesIn(kCases));

TEST(ComposeSeparatorSet, AppendsLineFeedThenTab) {
    struct {
        QString text;
        bool lineFeed, tab;
        QString expected;
    } const cases[] = {
        {".!?", false, false, ".!?"},  {".!?", true, false, ".!?\n"},
        {".!?", false, true, ".!?\t"}, {".!?", true, true, ".!?\n\t"},
        {"", false, false, ""},        {"..\n", true, true, "..\n\n\t"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ComposeSeparatorSet(c.text, c.lineFeed, c.tab), c.expected)
            << c.text.toStdString();
}

TEST(Splitter, StreamsEachSentenceAsItsBufferCloses) {
    std::vector<QString> seen;
    SplitSentences("A. B! C", kStops, {}, [&](QString&& s) { seen.push_back(s); });
    EXPECT_EQ(seen, (std::vector<QString>{"A.", "B!"}));
}

TEST(Splitter, SurvivesASinkThatThrows) {
    const MaskedText masked = MaskAbbreviations("One etc. two. Three. Four.", {"etc."});
    int calls = 0;
    EXPECT_THROW(ScanSentences(masked, kStops,
                               [&](QString&&) {
                                   if (++calls == 2) throw std::runtime_error("full");
                               }),
                 std::runtime_error);
    QStringList again;
    ScanSentences(masked, kStops, [&](QString&& s) { again.push_back(s); });
    EXPECT_EQ(again, (QStringList{"One etc. two.", "Three.", "Four."}));
}

TEST(Splitter, LeavesTheCallersTextAlone) {
    const QString text = "a\r\nb. etc. c.";
    const QString copy = text;
    SplitSentences(text, kStopsLine, {"etc."});
    EXPECT_EQ(text, copy);
}

TEST(Splitter, CommonListsNeedNoPassPerEntry) {
    // Lists whose entries cannot match across a marker take the one-pass masking.
    const QStringList lists[] = {
        {"etc.", "vs.", "i.e.", "et al.", "e.g."},
        {"5.", "No.", "Mr.", "Dr.", "St.", "Jr.", "c.", "al.", "Fig.", "approx.", ""},
    };
    for (const QStringList& list : lists)
        EXPECT_TRUE(detail::MaskByOccurrences("Mr. No. 5. etc. e.g. al. x", list).has_value())
            << list.join(',').toStdString();
    EXPECT_FALSE(detail::MaskByOccurrences("etc. x", {"etc.", "tion"}).has_value());
    EXPECT_FALSE(detail::MaskByOccurrences("etc. x", {"etc.", "0."}).has_value());
}

}  // namespace
}  // namespace brintale
