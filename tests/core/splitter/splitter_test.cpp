#include "core/splitter/splitter.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

#include "core/failure.h"
#include "core/splitter/splitter_detail.h"
#include "core/splitter/splitter_reference.h"

namespace brintale {
namespace {

const QString kStops = QStringLiteral(".!?");
const QString kStopsLine = QStringLiteral(".!?\n");
const QString kStopsLineTab = QStringLiteral(".!?\n\t");

QStringList Scanned(const MaskedText& masked, QStringView separators) {
    QStringList out;
    ScanSentences(masked, separators, [&](QString&& s) { out.push_back(s); });
    return out;
}

TEST(Splitter, GivesTheSentencesOfTheRules) {
    // More than ten entries, so that the last ones get two-digit markers.
    const QStringList ten = {"a1", "a2", "a3", "a4", "a5", "a6", "a7", "a8", "a9", "a10"};
    const QStringList no10 = ten + QStringList{"No."}, etc11 = ten + QStringList{"", "etc."};
    struct Case {
        const char* name;
        QString text, separators;
        QStringList entries, expected;
    };
    const Case cases[] = {
        {"greeting", "Hi. How are you?  Fine!", kStops, {}, {"Hi.", "How are you?", "Fine!"}},
        {"ellipsis", "Wait... what?", kStops, {}, {"Wait.", ".", ".", "what?"}},
        {"decimal", "It costs 3.5 dollars.", kStops, {}, {"It costs 3.", "5 dollars."}},
        {"unterminated tail", "Hello. World", kStops, {}, {"Hello."}},
        {"listed, CR LF", "Eggs, ETC. now.\r\nThen", kStopsLine, {"etc.", ""}, {"Eggs, etc. now."}},
        {"line feed joins words", "Roses red\nviolets.", kStops, {}, {"Roses redviolets."}},
        {"lone line feed and tab", "One.\n\tTwo.", kStopsLineTab, {}, {"One.", "Two."}},
        {"empty text", "", kStops, {}, {}},
        {"empty separator set", "A. B! C?", "", {"etc."}, {}},
        {"only separators", "?!.", kStops, {}, {"?", "!", "."}},
        {"abbreviation at the very end", "We sold apples, pears etc.", kStops, {"etc."}, {}},
        {"spelled as listed", "E.G. yes.", kStops, {"e.g."}, {"e.g. yes."}},
        {"digit after the marker", "Room No.5 is free.", kStops, {"No."}, {"Room No.5 is free."}},
        {"digit after a two-digit marker", "x No.12 y.", kStops, no10, {"x No.12 y."}},
        {"only breaks and spaces", " \n \t\n\t  \n", kStopsLineTab, {}, {}},
        {"carriage return never ends", "a\rb.c\r", kStopsLine, {}, {"ab."}},
        {"spaces after a line feed stay", "One.\n  Two.", kStops, {}, {"One.", "  Two."}},
        {"trim before removing breaks", "One.\t \nTwo.", kStops, {}, {"One.", " Two."}},
        {"space as separator, empty sentences", "a   b", " ", {}, {"a", "", ""}},
        {"lone line feed by a space separator", "\n x y", " ", {}, {"x"}},
        {"typed look-alike", "Abbreviation_0. Ok.", kStops, {"etc."}, {"Abbreviation_0.", "Ok."}},
        {"look-alike, marker",
         "Abbreviation_0etc. x.",
         kStops,
         {"etc."},
         {"Abbreviation_0etc. x."}},
        // Separators that occur in markers cut them; the pieces stay literal.
        {"capital A cuts", "See etc. now.", ".A", {"etc."}, {"See A", "bbreviation_0 now."}},
        {"underscore cuts", "See etc. now.", "._", {"etc."}, {"See Abbreviation_", "0 now."}},
        {"digit cuts at the end", "See etc. now.", ".0", {"etc."}, {"See etc.", "now."}},
        {"letter cuts", "etc. x.", ".v", {"etc."}, {"Abbrev", "iation_0 x."}},
        {"digit cuts 2-digit marker", "x etc. y.", ".1", etc11, {"x Abbreviation_1", "1", "y."}},
        // Entries interacting with markers and with each other.
        {"later entry cuts", "x etc. y.", kStops, {"etc.", "tion"}, {"x Abbreviation_0 y."}},
        {"contained entry acts first", "ETC. x.", kStops, {"c.", "etc."}, {"ETc. x."}},
        {"later longer entry wins nothing", "x etc. y.", kStops, {"tc.", "etc."}, {"x etc. y."}},
        {"later entry finds nothing left", "x 5. y.", kStops, {"5", "5."}, {"x 5.", "y."}},
        {"later entry across a marker", "x 5. y.", kStops, {"5", "0."}, {"x Abbreviation_0. y."}},
        {"entry across a marker end", "x e.y.", kStops, {"e.", "0y"}, {"x Abbreviation_0y."}},
        {"case folding beyond ASCII", "ÉTÉ. x. y.", kStops, {"été. x"}, {"été. x.", "y."}},
        {"restored entry trimmed", " b. c.", kStops, {" b."}, {"b. c."}},
        {"restored entry loses its breaks", "a\tb. c.", kStops, {"\tb."}, {"ab. c."}},
        {"entry with a CR never matches", "a\rb. c.", kStops, {"a\rb"}, {"ab.", "c."}},
        {"entry across a removed CR", "et\rc. x.", kStops, {"etc."}, {"etc. x."}},
        {"entry holding a line feed", "a\nb. c.", kStopsLine, {"a\nb."}, {"ab. c."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SplitSentences(c.text, c.separators, c.entries), c.expected);
        EXPECT_EQ(CountSentences(c.text, c.separators, c.entries), std::size_t(c.expected.size()));
        // The plain reference must agree too, or it would prove nothing elsewhere.
        EXPECT_EQ(testing::ReferenceSplit(c.text, c.separators, c.entries), c.expected);
        EXPECT_EQ(Scanned(detail::MaskByPasses(c.text, c.entries), c.separators), c.expected);
    }
}

// Each sentence with its stretch of the text as given: spaces trimmed, carriage returns and
// abbreviations as the text had them.
TEST(Splitter, PlacesEachSentenceInTheTextAsGiven) {
    const QStringList etc = {"etc.", " x"};
    struct Case {
        const char* name;
        QString text, separators;
        QStringList entries;
        std::vector<LocatedSentence> sentences;
    } cases[] = {
        {"spaces trimmed",
         "  Hi there.  How?  x",
         kStops,
         {},
         {{"Hi there.", 2, 11}, {"How?", 13, 17}}},
        {"line break inside",
         "red\r\nblue. Two.",
         kStops,
         {},
         {{"redblue.", 0, 10}, {"Two.", 11, 15}}},
        {"a break ends it",
         "One.\r\n\tTwo.\n",
         kStopsLineTab,
         {},
         {{"One.", 0, 4}, {"Two.", 7, 11}}},
        {"leading break kept", "One.\n  Two.", kStops, {}, {{"One.", 0, 4}, {"  Two.", 4, 11}}},
        {"abbreviation",
         "Buy ETC. now. Go.",
         kStops,
         etc,
         {{"Buy etc. now.", 0, 13}, {"Go.", 14, 17}}},
        {"abbreviation first", "A. Etc. b.", kStops, etc, {{"A.", 0, 2}, {"etc. b.", 3, 10}}},
        {"abbreviation split by CR",
         "A. e\rtc. b.",
         kStops,
         etc,
         {{"A.", 0, 2}, {"etc. b.", 3, 11}}},
        {"entry's space trimmed", "A. X.", kStops, etc, {{"A.", 0, 2}, {"x.", 3, 5}}},
        {"empty sentence", "a  b", " ", {}, {{"a", 0, 1}, {"", 3, 3}}},
        {"pair", "\U0001F600. x.", kStops, {}, {{"\U0001F600.", 0, 3}, {"x.", 4, 6}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SplitLocatedSentences(c.text, c.separators, c.entries), c.sentences);
        std::vector<LocatedSentence> streamed;
        SplitSentences(c.text, c.separators, c.entries,
                       [&](QString&& s, qsizetype start, qsizetype end) {
                           streamed.push_back({s, start, end});
                       });
        EXPECT_EQ(streamed, c.sentences);
    }
}

// A separator is a character: a pair ends its sentence after both halves, and a character
// that merely shares a half with it ends nothing.
TEST(Splitter, SeparatorsBeyondTheBasicPlaneAreWholeCharacters) {
    const QString grin = QStringLiteral("\U0001F600"), beam = QStringLiteral("\U0001F601");
    const QString high = grin.left(1), low = grin.right(1);
    struct Case {
        const char* name;
        QString text, separators;
        QStringList entries;
        std::vector<LocatedSentence> sentences;
    } cases[] = {
        {"pair ends after itself, sharer left whole",
         "a" + grin + "b" + grin + " c" + beam + "d.",
         grin,
         {},
         {{"a" + grin, 0, 3}, {"b" + grin, 3, 6}}},
        {"with full stops",
         "a" + grin + " c" + beam + "d.",
         "." + grin,
         {},
         {{"a" + grin, 0, 3}, {"c" + beam + "d.", 4, 9}}},
        {"carriage return between the halves",
         "a" + high + "\r" + low + "b.",
         grin,
         {},
         {{"a" + grin, 0, 4}}},
        {"lone first half ends only a lone one",
         "x" + high + "y" + grin + "z.",
         high,
         {},
         {{"x" + high, 0, 2}}},
        {"lone second half ends only a lone one",
         grin + low + "q.",
         low + ".",
         {},
         {{grin + low, 0, 3}, {"q.", 3, 5}}},
        {"abbreviation before the pair",
         "see etc" + grin + " more" + grin,
         grin,
         {"etc"},
         {{"see etc" + grin, 0, 9}, {"more" + grin, 10, 16}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SplitLocatedSentences(c.text, c.separators, c.entries), c.sentences);
        QStringList texts;
        for (const LocatedSentence& s : c.sentences) texts.push_back(s.text);
        EXPECT_EQ(testing::ReferenceSplit(c.text, c.separators, c.entries), texts);
        EXPECT_EQ(CountSentences(c.text, c.separators, c.entries), c.sentences.size());
    }
}

TEST(ComposeSeparatorSet, AppendsLineFeedThenTab) {
    EXPECT_EQ(ComposeSeparatorSet(".!?", false, false), ".!?");
    EXPECT_EQ(ComposeSeparatorSet(".!?", false, true), ".!?\t");
    EXPECT_EQ(ComposeSeparatorSet("..\n", true, true), "..\n\n\t");
}

TEST(Splitter, ScansAgainAfterASinkThatThrows) {
    const MaskedText masked = MaskAbbreviations("One etc. two. Three. Four.", {"etc."});
    int calls = 0;
    const auto failing = [&](QString&&) {
        if (++calls == 2) throw std::runtime_error("full");
    };
    EXPECT_THROW(ScanSentences(masked, kStops, failing), std::runtime_error);
    EXPECT_EQ(Scanned(masked, kStops), (QStringList{"One etc. two.", "Three.", "Four."}));
}

TEST(Splitter, LeavesTheCallersTextAlone) {
    const QString text = "a\r\nb. etc. c.";
    SplitSentences(text, kStopsLine, {"etc."});
    EXPECT_EQ(text, QStringLiteral("a\r\nb. etc. c."));
}

TEST(Splitter, CommonListsNeedNoPassPerEntry) {
    // Lists whose entries cannot match across a marker take the one-pass masking.
    const QStringList list = {"etc.", "i.e.", "et al.", "5.", "No.", "Mr.", "c.", "Fig.", ""};
    EXPECT_TRUE(detail::MaskByOccurrences("Mr. No. 5. etc. e.g. al. x", list).has_value());
    EXPECT_FALSE(detail::MaskByOccurrences("etc. x", {"etc.", "tion"}).has_value());
    EXPECT_FALSE(detail::MaskByOccurrences("etc. x", {"etc.", "0."}).has_value());
}

// The least marker an entry can match across, found without trying each, is the one that
// trying each finds: for entries made of the markers' own units, random sets of markers.
TEST(MarkerOverlaps, FindsTheLeastMarkerEachEntryCanMatchAcross) {
    std::mt19937 random(5);
    const auto below = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    const std::u16string units = u"abbreviation_0123456789.x";
    const std::u16string pieces[] = {u"abbreviation_", u"tion_", u"n_1", u"_", u"a", u"ab"};
    for (int round = 0; round < 3000; ++round) {
        std::vector<qsizetype> set;
        const int top = round % 3 == 0 ? 12 : round % 3 == 1 ? 150 : 2000;
        for (int k = below(8); k > 0; --k) set.push_back(below(top));
        std::u16string entry;
        for (int k = 1 + below(6); k > 0; --k) {
            if (below(4) == 0)
                entry += pieces[below(int(std::size(pieces)))];
            else
                entry += units[below(int(units.size()))];
        }
        qsizetype expected = -1;
        for (qsizetype m : set)
            if (detail::CanOverlapMarker(entry, m) && (expected < 0 || m < expected)) expected = m;
        detail::MarkerOverlaps overlaps(set);
        ASSERT_EQ(overlaps.First(entry), expected)
            << ::testing::PrintToString(QString::fromStdU16String(entry).toStdString()) << " "
            << ::testing::PrintToString(set);
    }
}

// Entries nested in each other match many times at each place: the one-pass masking gives
// way to the passes before holding every match, and the list is refused all the same.
TEST(Splitter, NestedEntriesAreRefusedWithoutHoldingEveryMatch) {
    // x cuts no marker: only the number of matches stops the one-pass masking.
    QStringList nested;
    for (int k = 1; k <= 40; ++k) nested += QString(k, u'x');
    const QString text = QStringLiteral("x").repeated(200000) + u'.';
    EXPECT_FALSE(detail::MaskByOccurrences(text, nested).has_value());
    EXPECT_THROW(MaskAbbreviations(text, nested), Failure);
    // Where the list is not refused, the passes give what the rules give.
    const QString shortText = QStringLiteral("xxxx. xx. x.");
    EXPECT_EQ(SplitSentences(shortText, kStops, nested),
              testing::ReferenceSplit(shortText, kStops, nested));
}

TEST(Splitter, RefusesListsThatGrowTheTextPastItsLimit) {
    // "." turns each full stop into "Abbreviation_0", 13 units more; "0" then does the same to
    // the digit of each such marker. The limit is the text plus 1 Mi units below 349526 units,
    // four times the text above.
    const auto text = [](qsizetype dots, qsizetype others, const char* tail, qsizetype times) {
        return (QString(dots, u'.') + QString(others, u'x') + QLatin1String(tail)).repeated(times);
    };
    const QString x67(67, u'x');
    struct Case {
        const char* name;
        QString text;
        QStringList entries;
        bool onePass;         // the list takes the one-pass masking
        qsizetype sentences;  // -1: refused
    };
    const Case cases[] = {
        {"entries matching inside markers", "Hi. It is in it!", QStringList(30, "i"), false, -1},
        // 322636 units grown by 13 * 80659 = 1048567: 9 units inside the limit.
        {"full stops just inside", text(1, 2, "!", 80659), {"."}, true, 80659},
        {"one full stop more", text(1, 2, "!", 80660), {"."}, true, -1},
        // Carriage returns count in the text's length, not in the masked text's.
        {"carriage returns make room", text(1, 2, "!", 80660) + "\r\r\r\r", {"."}, true, 80660},
        // 390000 units grown by 2 * 13 * 45000: exactly four times the text.
        {"marker digits exactly at four times", text(3, 22, "!", 15000), {".", "0"}, false, 15000},
        {"one full stop more, digits",
         text(3, 22, "!", 14999) + text(4, 21, "!", 1),
         {".", "0"},
         false,
         -1},
        // Past the limit after the first entry, back inside after the second.
        {"refused before a longer entry shrinks it", text(8070, 67, "!", 10), {".", x67}, true, -1},
        {"refused before marker pairs shrink it",
         text(2, 0, "!", 40330),
         {".", "abbreviation_0abbreviation_0"},
         false,
         -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString textBefore(c.text.constData(), c.text.size());
        const QStringList entriesBefore = c.entries;
        if (c.sentences < 0) {
            try {
                MaskAbbreviations(c.text, c.entries);
                ADD_FAILURE() << "not refused";
            } catch (const Failure& f) {
                EXPECT_TRUE(f.description().startsWith(
                    "The abbreviation list makes the text too large to count"));
            }
            EXPECT_THROW(CountSentences(c.text, kStops, c.entries), Failure);
            EXPECT_THROW(detail::MaskByPasses(c.text, c.entries), Failure);
            if (c.onePass)
                EXPECT_THROW(detail::MaskByOccurrences(c.text, c.entries), Failure);
            else
                EXPECT_FALSE(detail::MaskByOccurrences(c.text, c.entries).has_value());
            EXPECT_THROW(testing::ReferenceSplit(c.text, kStops, c.entries),
                         testing::ReferenceRefused);
        } else {
            const QStringList sentences = SplitSentences(c.text, kStops, c.entries);
            EXPECT_EQ(sentences.size(), c.sentences);
            EXPECT_EQ(sentences, testing::ReferenceSplit(c.text, kStops, c.entries));
            EXPECT_EQ(detail::MaskByOccurrences(c.text, c.entries).has_value(), c.onePass);
        }
        EXPECT_EQ(c.text, textBefore);
        EXPECT_EQ(c.entries, entriesBefore);
    }
}

}  // namespace
}  // namespace brintale
