#include "core/splitter/byte_counter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <stdexcept>
#include <utility>

#include "core/failure.h"
#include "core/settings_store.h"
#include "core/splitter/kernels.h"
#include "core/splitter/sentence_stream.h"
#include "core/splitter/splitter.h"
#include "core/splitter/splitter_units.h"

namespace brintale {
namespace {

// The bytes count as their text would, whatever pieces they come in.
// Reads bytes as a file of them is read where counted.
ByteCounter::ReadAt ReaderOf(const QByteArray& bytes) {
    return [&bytes](std::int64_t offset, char* buffer, qsizetype size) {
        const qsizetype n = std::clamp<qsizetype>(bytes.size() - offset, 0, size);
        std::memcpy(buffer, bytes.constData() + offset, std::size_t(n));
        return n;
    };
}

std::int64_t Counted(const QByteArray& bytes, QStringView separators, const QStringList& entries,
                     bool utf8, const std::vector<qsizetype>& cuts,
                     std::size_t hashedAbove = detail::kHashedEntries) {
    // Held bytes looked at for a place to cut at once, now and then.
    const auto counter = ByteCounter::For(separators, entries,
                                          cuts.size() % 2 ? 1 : qsizetype(1) << 16, hashedAbove);
    if (!counter) return -1;
    // Now and then on two threads of its own, each piece counted on its own and put together.
    const qsizetype variant = cuts.empty() ? 0 : cuts.front() + qsizetype(cuts.size());
    if (variant % 3 != 1) counter->UseCores(2);
    if (variant % 7 == 3) {
        // Read where counted, in pieces of the first cut's length, the reading decided at
        // the first letter that needs it.
        bool asked = false;
        counter->FeedFrom(
            ReaderOf(bytes), 0, cuts.front(), [&] { return !std::exchange(asked, true) && utf8; },
            // The size as the system reported it: to the byte, unknown, or out of date.
            std::array<std::int64_t, 4>{bytes.size(), -1, 2 * bytes.size(),
                                        bytes.size() / 2}[std::size_t(variant / 7 % 4)]);
        return counter->Finish();
    }
    if (utf8) counter->ReadAsUtf8();
    // Pieces as views, or (now and then) as buffers the counter may keep.
    const bool owned = variant % 5 >= 2;
    const auto feed = [&](QByteArrayView piece) {
        if (owned)
            counter->Feed(piece.toByteArray());
        else
            counter->Feed(piece);
    };
    qsizetype from = 0;
    for (qsizetype cut : cuts) {
        feed(QByteArrayView(bytes).sliced(from, cut - from));
        from = cut;
    }
    feed(QByteArrayView(bytes).sliced(from));
    return counter->Finish();
}

TEST(ByteCounter, OnlyTwoLettersBeyondAsciiFoldIntoIt) {
    // Why UTF-8 needs telling: every other unit beyond ASCII stays beyond it when folded.
    std::vector<char16_t> into;
    for (char32_t u = 0x80; u <= 0xFFFF; ++u)
        if (detail::Fold(char16_t(u)) < 0x80) into.push_back(char16_t(u));
    EXPECT_EQ(into, (std::vector<char16_t>{0x017F, 0x212A}));
}

TEST(ByteCounter, FindsEveryUnitThatFoldsIntoOne) {
    std::map<char16_t, std::vector<char16_t>> into;
    for (char32_t u = 0; u <= 0xFFFF; ++u) into[detail::Fold(char16_t(u))].push_back(char16_t(u));
    for (const char16_t folded : {u'\0', u'.', u'A', u'a', u'k', u's', u'z', u'\x7f', u'\xe9',
                                  u'\u017f', u'\u212a', u'\u03c3'}) {
        std::vector<char16_t> found;
        detail::ForEachUnitFoldingTo(folded, [&](char16_t u) { found.push_back(char16_t(u)); });
        std::sort(found.begin(), found.end());
        EXPECT_EQ(found, into[folded]) << int(folded);
    }
}

TEST(ByteCounter, TakesTheCommonCasesAndLeavesTheRest) {
    const QString stops = QStringLiteral(".!?\n\t");
    const std::tuple<QString, QStringList, bool> cases[] = {
        {stops, kBuiltInAbbreviations, true},
        {stops, {}, true},
        {stops, {"Mr.", "", "Mrs.", "etc.", "etc."}, true},
        {QStringLiteral(".!? "), {"x\r.", "e.g."}, true},  // a CR entry never matches
        {QStringLiteral("!?"), {"etc.", "Mr"}, true},      // no entry ends a sentence
        {QStringLiteral(".A"), {}, false},                 // cuts markers
        {QStringLiteral("._"), {}, false},
        {QStringLiteral(".2"), {}, false},
        {QStringLiteral(".\u2026"), {}, false},
        {stops, {"caf\u00e9."}, false},
        {stops, {"etc.", "Mr"}, false},         // some end a sentence, some not
        {QStringLiteral("!"), {" \n"}, false},  // could unmake a lone line break
        {stops, {"i.", "_0."}, false},          // matches across the first one's marker
    };
    for (const auto& [separators, entries, taken] : cases)
        EXPECT_EQ(ByteCounter::For(separators, entries) != nullptr, taken)
            << separators.toStdString() << " " << entries.join(u'|').toStdString();
}

const QStringList kBits = {
    "etc.",       "ETC.",     "Etc.",     "e.g.",   "E.G.",      "e.g",       "vs.",    "VS.",
    "v\u017F.",   "V\u017F.", "x\u212A.", "xk.",    "et al.",    "Et Al.",    "i.e.",   "No.",
    "no.",        "Sept.",    "pt.",      "St.",    "a",         "b",         "word",   ".",
    ".",          "!",        "?",        " ",      " ",         "  ",        "\n",     "\r",
    "\r\n",       "\t",       " \n ",     "\n\t",   "3.5",       "caf\u00e9", "\u00e9", "\u2014",
    "\U0001F600", "\u0080",   "\u00ff",   "e\r.g.", "et\r\nal.", "etc.etc."};
const QStringList kLists[] = {
    {},
    kBuiltInAbbreviations,
    {"etc.", "vs.", "i.e.", "et al.", "e.g.", "Sept.", "pt.", "St.", "No.", "xk."},
    {"e.g.", "g.", ".e.", "etc.etc."},  // overlapping ones
    {"\n ", " .", "\t.", "etc."},       // line breaks inside: a buffer of them may yield
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
};

void Compare(const QString& text, const QString& separators, const QStringList& entries,
             const std::vector<std::vector<qsizetype>>& latinCuts,
             const std::vector<std::vector<qsizetype>>& utf8Cuts,
             std::size_t hashedAbove = detail::kHashedEntries) {
    SCOPED_TRACE(::testing::Message()
                 << "text " << ::testing::PrintToString(text.toStdU16String()) << " separators "
                 << separators.toStdString() << " entries " << entries.join(u'|').toStdString());
    if (!ByteCounter::For(separators, entries)) return;
    const auto expected = std::int64_t(CountSentences(text, separators, entries));
    const QByteArray utf8 = text.toUtf8();
    for (const auto& cuts : utf8Cuts)
        ASSERT_EQ(Counted(utf8, separators, entries, true, cuts, hashedAbove), expected)
            << ::testing::PrintToString(cuts);
    // A single-byte reading of the same text, where it has one.
    bool single = true;
    for (QChar c : text) single = single && c.unicode() <= 0xFF;
    if (!single) return;
    const QByteArray latin = text.toLatin1();
    for (const auto& cuts : latinCuts)
        ASSERT_EQ(Counted(latin, separators, entries, false, cuts, hashedAbove), expected)
            << ::testing::PrintToString(cuts);
}

std::vector<std::vector<qsizetype>> EveryCut(qsizetype size) {
    std::vector<std::vector<qsizetype>> cuts;
    for (qsizetype c = 0; c <= size; ++c) cuts.push_back({c});
    return cuts;
}

TEST(ByteCounter, CountsAsTheSplitterWhereverThePiecesAreCut) {
    Random g{std::mt19937(11)};
    for (int round = 0; round < 1500 && !HasFailure(); ++round) {
        const QString text = g.Text(g.Below(30));
        const QStringList& entries = kLists[g.Below(int(std::size(kLists)))];
        const QString& separators = kSeparators[g.Below(int(std::size(kSeparators)))];
        Compare(text, separators, entries, EveryCut(text.toLatin1().size()),
                EveryCut(text.toUtf8().size()));
    }
}

TEST(ByteCounter, CountsLongTextsCutAtRandom) {
    Random g{std::mt19937(12)};
    for (int round = 0; round < 60 && !HasFailure(); ++round) {
        // Every fourth long enough for pieces of several blocks of words.
        const int longest = round % 4 == 0 ? 14000 : 2000;
        const QString text = g.Text(round % 4 == 0 ? 30000 : 3000);
        std::vector<std::vector<qsizetype>> cuts(4);
        for (auto& c : cuts)
            for (qsizetype at = g.Below(100); at < text.size(); at += 1 + g.Below(longest))
                c.push_back(at);
        const QStringList& entries = kLists[g.Below(int(std::size(kLists)))];
        Compare(text, kSeparators[g.Below(int(std::size(kSeparators)))], entries, cuts, cuts);
    }
}

// A file read where counted, its size known: two threads take up to 64 ranges in turn, and
// give the rest back to this one where a letter folding into an entry's makes the reading
// to be decided first.
TEST(ByteCounter, CountsAFileInRangesAsInOne) {
    Random g{std::mt19937(14)};
    for (int round = 0; round < 300 && !HasFailure(); ++round) {
        const QString text = g.Text(100 + g.Below(1500));
        const QStringList& entries = kLists[g.Below(int(std::size(kLists)))];
        const QString& separators = kSeparators[g.Below(int(std::size(kSeparators)))];
        if (!ByteCounter::For(separators, entries)) continue;
        const auto expected = std::int64_t(CountSentences(text, separators, entries));
        bool single = true;
        for (QChar c : text) single = single && c.unicode() <= 0xFF;
        for (const bool utf8 : {true, false}) {
            if (!utf8 && !single) continue;
            const QByteArray bytes = utf8 ? text.toUtf8() : text.toLatin1();
            const auto counter = ByteCounter::For(separators, entries);
            counter->UseCores(2);
            bool asked = false;
            counter->FeedFrom(
                ReaderOf(bytes), 0, 1 + g.Below(int(bytes.size() / 8)),
                [&] { return !std::exchange(asked, true) && utf8; }, bytes.size());
            ASSERT_EQ(counter->Finish(), expected)
                << ::testing::PrintToString(text.toStdU16String()) << " " << utf8 << " "
                << separators.toStdString() << " " << entries.join(u'|').toStdString();
        }
    }
}

// Lists looked up by hash: many entries sharing their units before and
// after the full stop, repeated ones, some with s and k that other letters fold into.
TEST(ByteCounter, CountsAsTheSplitterWithLongLists) {
    Random g{std::mt19937(13)};
    const std::string letters = "abeksx.";
    for (int round = 0; round < 50 && !HasFailure(); ++round) {
        QStringList entries = kLists[2];
        for (int k = 70 + g.Below(200); k > 0; --k) {
            QString entry;
            for (int u = g.Below(4); u > 0; --u) entry += QChar(letters[std::size_t(g.Below(6))]);
            entry += u'.';
            for (int u = g.Below(3); u > 0; --u) entry += QChar(letters[std::size_t(g.Below(7))]);
            if (!entry.endsWith(u'.')) entry += u'.';
            entries += g.Below(3) ? entry : entry.toUpper();
        }
        for (int k = g.Below(30); k > 0; --k) entries += entries[g.Below(int(entries.size()))];
        const QString text = g.Text(g.Below(60)) + "ab.ks. Sx.k.e. ABE.E.";
        Compare(text, kSeparators[g.Below(int(std::size(kSeparators)))], entries,
                EveryCut(text.toLatin1().size()), EveryCut(text.toUtf8().size()), 64);
    }
}

// Read where counted: the text ends at the first read that comes short, though later reads
// find more (a file cut short and grown again), and a failure to read comes out.
TEST(ByteCounter, ReadsWhereCountedToTheFirstShortReadAndPassesFailuresOn) {
    QByteArray text;
    for (int k = 0; k < 400; ++k) text += "One etc. two. Three!\n\nFour vs. five?\t";
    const QStringList entries = kBuiltInAbbreviations;
    const QString separators = QStringLiteral(".!?\n\t");
    struct Case {
        qsizetype piece, shortAt, failAt;
        bool cores;
        std::int64_t size = -1;  // as given to the counter
    };
    // With the size known, two threads count ranges of it (with pieces of 64, ranges of 512
    // bytes): a text cut short in one, or failing to read there, is cut short or fails as
    // on one thread, whatever the ranges after it read.
    const std::int64_t whole = text.size();
    const Case cases[] = {{64, 1000, -1, false},        {64, 1000, -1, true},
                          {7, 999, -1, true},           {4096, 5000, -1, true},
                          {100, -1, 3000, true},        {100, -1, 3000, false},
                          {64, 1000, -1, true, whole},  {64, 10000, -1, true, whole},
                          {100, -1, 3000, true, whole}, {100, -1, 12000, true, whole},
                          {64, 7250, -1, true, whole},  {64, 5000, -1, true, 3 * whole}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.piece << " " << c.shortAt << " " << c.failAt << " " << c.size);
        const auto counter = ByteCounter::For(separators, entries);
        if (c.cores) counter->UseCores(2);
        const auto readAt = [&](std::int64_t offset, char* buffer, qsizetype size) {
            if (c.failAt >= 0 && offset + size > c.failAt) throw std::runtime_error("gone");
            qsizetype n = std::clamp<qsizetype>(text.size() - offset, 0, size);
            // The piece at the cut comes short; those after it read on.
            if (offset < c.shortAt && offset + size > c.shortAt) n = c.shortAt - offset;
            std::memcpy(buffer, text.constData() + offset, std::size_t(n));
            return n;
        };
        if (c.failAt >= 0) {
            EXPECT_THROW(counter->FeedFrom(
                             readAt, 0, c.piece, [] { return true; }, c.size),
                         std::runtime_error);
            continue;
        }
        counter->FeedFrom(
            readAt, 0, c.piece, [] { return true; }, c.size);
        const QString read = QString::fromUtf8(text.first(c.shortAt));
        EXPECT_EQ(counter->Finish(), std::int64_t(CountSentences(read, separators, entries)));
    }
}

// Texts of more than a word of 64 bytes, where the count takes the separators a word at a
// time: each piece at every offset across a word's end, under every kernel.
TEST(ByteCounter, CountsAWordAtATimeAsTheSplitter) {
    // Cuts Counted takes for a piece read where counted: on two threads, and on its own.
    constexpr qsizetype kWholeRead = 1003, kWholeReadAlone = 996;
    static_assert((kWholeRead + 1) % 7 == 3 && (kWholeRead + 1) % 3 != 1);
    static_assert((kWholeReadAlone + 1) % 7 == 3 && (kWholeReadAlone + 1) % 3 == 1);
    const QString pieces[] = {
        "etc. and",   " \n",       ".  \n x",  "vs.\n\tNo",      "e.g. x",          "a.\r\n",
        "v\u017F. y", "x\r.g.",    "i.e.",     "\t\t.",          "et al. ",         "word\n \r\tw",
        "Etc.",       "the. then", "end.\n\n", "caf\u00e9.e.g.", ".e.g. i.e. etc.", "  \r\r  \n",
    };
    const QString separators[] = {".!?\n\t", ".!?", "\n", ".!?\n"};
    const QStringList lists[] = {{}, kBuiltInAbbreviations, {"e.g.", "g.", ".e.", "etc.etc."}};
    // Past 16 entries an anchor is looked at by the byte before it alone.
    QStringList many = kBuiltInAbbreviations;
    for (const char* entry : {"no.", "vs.", "dr.", "mr.", "mrs.", "st.", "jr.", "sr.", "co.",
                              "inc.", "ltd.", "fig.", "vol.", "w.", "x."})
        many += QString::fromLatin1(entry);
    struct KernelRestored {
        ~KernelRestored() { UseKernel(AvailableKernels().back()); }
    } restored;
    for (const Kernel kernel : AvailableKernels()) {
        UseKernel(kernel);
        for (const QString& piece : pieces)
            for (const QString& before : {QString("Hi. "), QString(" \n "), QString("x")})
                for (int pad = 56; pad <= 136; pad += pad == 72 ? 48 : 1) {
                    const QString text = before + QString(pad, u'w') + piece + " more. " +
                                         QString(70, u' ') + "\n" + piece;
                    // Whole, on this thread alone; and read where counted in one piece,
                    // whose letters that fold are looked for with the words.
                    for (const QString& s : separators)
                        for (const QStringList& entries : lists)
                            Compare(text, s, entries, {{0}, {kWholeRead}, {kWholeReadAlone}},
                                    {{0}, {kWholeRead}, {kWholeReadAlone}});
                    Compare(text, separators[0], many, {{0}, {kWholeRead}}, {{0}, {kWholeRead}});
                    if (HasFailure()) return;
                }
    }
}

// A text of the abbreviations' letters alone is cut where none can straddle the cut; one
// where some could straddle every place is refused once too long to hold.
TEST(ByteCounter, CutsTextsOfAbbreviationLettersAndRefusesThoseWithNoPlace) {
    const auto letters = ByteCounter::For(QStringLiteral("."), {QStringLiteral("etc.")});
    ASSERT_TRUE(letters);
    for (int k = 0; k < 16; ++k) letters->Feed(QByteArray("etc.").repeated(1 << 18));
    EXPECT_LE(letters->held(), 1 << 17);
    EXPECT_EQ(letters->Finish(), 0);
    const auto none = ByteCounter::For(QStringLiteral("."), {QStringLiteral("e.e.")});
    ASSERT_TRUE(none);
    EXPECT_THROW(
        {
            for (int k = 0; k < 8; ++k) none->Feed(QByteArray("e.").repeated(1 << 19));
        },
        Failure);
}

// Text with no place to cut, fed a piece at a time: the message of the refusal, or nothing.
QString RefusalOf(const std::function<void(QByteArrayView)>& feed, qsizetype pieces) {
    try {
        for (qsizetype k = 0; k < pieces; ++k) feed(QByteArray("e.").repeated(300));
    } catch (const Failure& failure) {
        return failure.description();
    }
    return {};
}

// The counter and the stream give up at the same limit, with the same words (the stream
// looks again once the text has doubled, so well past the limit both have given up).
TEST(ByteCounter, RefusesTextWithNoPlaceToCutAsTheStreamDoes) {
    const QString separators = QStringLiteral(".");
    const QStringList entries = {QStringLiteral("e.e.")};
    for (const qsizetype limit : {qsizetype(1000), qsizetype(5000)}) {
        for (const qsizetype pieces : {qsizetype(1), limit / 600, 2 * limit / 600 + 2}) {
            SCOPED_TRACE(::testing::Message() << limit << " " << pieces);
            const auto counter = ByteCounter::For(separators, entries);
            ASSERT_TRUE(counter);
            counter->LimitHeld(limit);
            const QString byCounter =
                RefusalOf([&](QByteArrayView piece) { counter->Feed(piece); }, pieces);
            SentenceStream::Options options;
            options.stretchUnits = 64;
            options.heldUnitsLimit = limit;
            SentenceStream stream(separators, entries, options);
            struct : SentenceStream::Sink {
                void Sentence(QStringView, std::int64_t, std::int64_t) override {}
            } ignore;
            const QString byStream = RefusalOf(
                [&](QByteArrayView piece) { stream.Feed(QString::fromLatin1(piece), ignore); },
                pieces);
            EXPECT_EQ(byCounter, byStream);
            EXPECT_EQ(byCounter.contains(QString::number(limit)), 600 * pieces > limit);
        }
    }
}

}  // namespace
}  // namespace brintale
