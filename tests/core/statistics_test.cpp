#include "core/statistics.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QStringList>
#include <QTextBoundaryFinder>
#include <tuple>

#include "core/results_model.h"

namespace brintale {
namespace {

TEST(Words, FollowUnicodesWordRulesAndCountOnlyLettersAndDigits) {
    const std::pair<QString, qsizetype> cases[] = {
        {"", 0},
        {"  ...  !? ", 0},
        {"Hello, world!", 2},
        {"don't stop", 2},            // an apostrophe inside a word keeps it whole
        {"It costs 3.5 dollars", 4},  // so does a decimal point
        {"well-known", 2},            // a hyphen separates
        {"Grüße aus Köln", 3},
        {QStringLiteral("\U0001D400bc def"), 2},  // a letter outside the basic plane
        {"tab\tand\nline", 3},
        {"2026 12 08", 3},
        {"_ _", 0},
    };
    for (const auto& [text, words] : cases)
        EXPECT_EQ(CountWords(text), words) << text.toStdString();
}

// The boundary finder itself, for ASCII text, which CountWords counts by a short cut.
qsizetype WordsByTheFinder(const QString& text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, text);
    qsizetype words = 0, start = 0;
    for (qsizetype end = finder.toNextBoundary(); end > 0; end = finder.toNextBoundary()) {
        const QStringView segment = QStringView(text).sliced(start, end - start);
        if (std::any_of(segment.begin(), segment.end(),
                        [](QChar c) { return c.isLetterOrNumber(); }))
            ++words;
        start = end;
    }
    return words;
}

TEST(Words, OfAsciiTextAsTheBoundaryFinderCountsThem) {
    // Every string of up to five characters over one of each class the rules tell apart,
    // then longer random ones over more punctuation.
    const QString classes = QStringLiteral("a1 .:',;_-\n\"");
    int mismatches = 0;
    const auto check = [&](const QString& text) {
        const qsizetype expected = WordsByTheFinder(text);
        if (CountWords(text) != expected && ++mismatches <= 5)
            ADD_FAILURE() << "\"" << text.toStdString() << "\": " << CountWords(text) << " words, "
                          << expected << " by the finder";
    };
    for (int length = 1, combinations = classes.size(); length <= 5;
         ++length, combinations *= classes.size()) {
        for (int n = 0; n < combinations; ++n) {
            QString text;
            for (int i = 0, rest = n; i < length; ++i, rest /= classes.size())
                text += classes[rest % classes.size()];
            check(text);
        }
    }
    const QString more = QStringLiteral("aZ09 .:',;_-\n\"!?@#$%&*()/\\\t\r+=<>[]{}|~`^");
    QRandomGenerator random(7);
    for (int n = 0; n < 100000; ++n) {
        QString text;
        for (int i = 0, length = 1 + random.bounded(16); i < length; ++i)
            text += more[random.bounded(more.size())];
        check(text);
    }
}

// The same for Latin-script text beyond ASCII, also counted by a short cut: letters with
// accents, dashes, curly quotes and apostrophes, no-break spaces, and characters the short
// cut leaves to the finder (a middle dot, a soft hyphen, a superscript, Greek).
TEST(Words, OfLatinTextAsTheBoundaryFinderCountsThem) {
    const QString alphabet = QStringLiteral(
        "aZ1 .,'_\u00e9\u00c9\u00ff\u00aa\u00b5\u2019\u2018\u2024\u2014\u2013\u201c\u201d"
        "\u2026\u00a0\u00ab\u00bb\u00bf\u00d7\u00b7\u00ad\u00b2\u03b1\u00a2");
    QRandomGenerator random(11);
    int mismatches = 0;
    for (int n = 0; n < 200000 && mismatches < 5; ++n) {
        QString text;
        for (int i = 0, length = 1 + random.bounded(12); i < length; ++i)
            text += alphabet[random.bounded(alphabet.size())];
        const qsizetype expected = WordsByTheFinder(text);
        if (CountWords(text) != expected && ++mismatches)
            ADD_FAILURE() << "\"" << text.toStdString() << "\": " << CountWords(text) << " words, "
                          << expected << " by the finder";
    }
}

TEST(Characters, AreCodePointsWithoutLineBreaks) {
    const std::pair<QString, qsizetype> cases[] = {
        {"", 0},
        {"abc", 3},
        {"a\r\nb\n", 2},
        {QStringLiteral("\U0001F600!"), 2},  // a surrogate pair is one
        {QString(QChar(0xD800)) + "x", 2},   // a lone surrogate counts as itself
        {"\t ", 2},
    };
    for (const auto& [text, count] : cases)
        EXPECT_EQ(CountCharacters(text), count) << text.toStdString();
}

TEST(Statistics, OfKnownSentences) {
    // Words: 1, 3, 2, 5, 3, 8, 2, 4, 6, 3 (sorted 1 2 2 3 3 3 4 5 6 8).
    const QStringList sentences = {"One.",
                                   "Two more words.",
                                   "Three four.",
                                   "A b c d e.",
                                   "x y z",
                                   "The longest of them all has eight words.",
                                   "Two words.",
                                   "Four words are here.",
                                   "Six words make this one longer.",
                                   "Three words here."};
    StatisticsCollector collector;
    for (const QString& s : sentences) collector.Add(s);
    const SentenceStatistics stats = collector.Result(4);
    EXPECT_EQ(stats.sentences, 10);
    EXPECT_EQ(stats.words, 37);
    EXPECT_EQ(stats.characters, sentences.join(QString()).size());
    EXPECT_DOUBLE_EQ(stats.meanWords, 3.7);
    EXPECT_DOUBLE_EQ(stats.medianWords, 3.0);
    EXPECT_EQ(stats.percentile90Words, 6);  // the 9th of 10
    EXPECT_EQ(stats.maxWords, 8);
    EXPECT_EQ(stats.longestIndex, 5);
    EXPECT_EQ(stats.longestPreview, sentences[5]);
    EXPECT_EQ(stats.longerThanThreshold, 3);  // 5, 8 and 6 words
    EXPECT_EQ(collector.Result().longerThanThreshold, 0);

    // Split in two and merged, the same figures.
    StatisticsCollector first, second;
    for (qsizetype i = 0; i < sentences.size(); ++i) (i < 4 ? first : second).Add(sentences[i]);
    first.Merge(second);
    const SentenceStatistics merged = first.Result(4);
    EXPECT_EQ(std::tuple(merged.words, merged.characters, merged.longestIndex, merged.maxWords,
                         merged.longestPreview),
              std::tuple(stats.words, stats.characters, stats.longestIndex, stats.maxWords,
                         stats.longestPreview));
}

TEST(Statistics, EdgesOfTheFigures) {
    EXPECT_EQ(StatisticsCollector().Result().longestIndex, -1);
    StatisticsCollector odd;  // an odd count: the middle one; the first of equals is longest
    for (const char* s : {"a b", "c d", "e"}) odd.Add(QString::fromLatin1(s));
    EXPECT_DOUBLE_EQ(odd.Result().medianWords, 2.0);
    EXPECT_EQ(odd.Result().longestIndex, 0);
    EXPECT_EQ(odd.Result().percentile90Words, 2);
    // The preview stops after 80 code points and never splits a pair.
    StatisticsCollector wide;
    const QString smile = QStringLiteral("\U0001F600");
    wide.Add(smile.repeated(100));
    EXPECT_EQ(wide.Result().longestPreview, smile.repeated(80));
}

TEST(Statistics, MedianAndPercentileInAnyOrder) {
    // Words per sentence, as added; the median and the 90th percentile (nearest rank).
    const struct {
        std::vector<int> words;
        double median;
        qsizetype percentile90;
    } cases[] = {
        {{1, 2, 4, 7}, 3.0, 7},
        {{5, 1, 3, 2, 4, 6}, 3.5, 6},
        {{10, 1}, 5.5, 10},
        {{9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 0}, 4.0, 8},
    };
    for (const auto& c : cases) {
        StatisticsCollector collector;
        for (const int w : c.words) collector.Add(QStringLiteral("w ").repeated(w));
        const SentenceStatistics stats = collector.Result();
        EXPECT_DOUBLE_EQ(stats.medianWords, c.median) << c.words.size();
        EXPECT_EQ(stats.percentile90Words, c.percentile90) << c.words.size();
        EXPECT_EQ(stats.maxWords, *std::max_element(c.words.begin(), c.words.end()));
    }
}

TEST(Statistics, HistogramBins) {
    const std::vector<std::int32_t> words = {0, 1, 4, 5, 9, 10, 24};
    EXPECT_EQ(WordHistogram(words, 5), (std::vector<qsizetype>{3, 2, 1, 0, 1}));
    EXPECT_EQ(WordHistogram(words, 1).size(), 25u);
    EXPECT_TRUE(WordHistogram({}, 5).empty());
    EXPECT_TRUE(WordHistogram(words, 0).empty());
}

TEST(Histogram, SplitsEachBarAtTheLongThresholdAndFindsItsSentences) {
    const std::vector<std::int32_t> words = {3, 25, 26, 9, 50, 51, 0};
    const LengthHistogram h = SplitHistogram(words, 51, 25);
    EXPECT_EQ(h.binWidth, 5);
    ASSERT_EQ(h.shortBins.size(), 11u);
    ASSERT_EQ(h.longBins.size(), 11u);
    EXPECT_EQ(h.shortBins[0], 2);  // 3 and 0
    EXPECT_EQ(h.shortBins[1], 1);  // 9
    EXPECT_EQ(h.shortBins[5], 1);  // 25 is not longer than 25
    EXPECT_EQ(h.longBins[5], 1);   // 26 is
    EXPECT_EQ(h.longBins[10], 2);  // 50 and 51
    EXPECT_EQ(SentencesInBin(words, h.binWidth, 5), (std::vector<int>{1, 2}));
    EXPECT_EQ(SentencesInBin(words, h.binWidth, 0), (std::vector<int>{0, 6}));
    EXPECT_TRUE(SentencesInBin(words, h.binWidth, 7).empty());
    EXPECT_TRUE(SentencesInBin(words, 0, 0).empty());
    EXPECT_TRUE(SplitHistogram({}, 0, 25).shortBins.empty());
}

TEST(Statistics, RowsSharedOutAmongThreadsKeepTheirOrder) {
    // Enough rows for several threads; each row's words tell its place.
    ResultsModel rows;
    StatisticsCollector alone;
    for (int r = 0; r < 90000; ++r) {
        const QString text = QStringLiteral("word ").repeated(r % 37 + (r == 61234 ? 80 : 0));
        rows.Append(text);
        alone.Add(text);
    }
    std::vector<QString> texts;
    const StatisticsCollector shared = CollectRows(rows, &texts);
    EXPECT_EQ(shared.wordsPerSentence(), alone.wordsPerSentence());
    EXPECT_EQ(shared.Result().longestIndex, 61234);
    EXPECT_EQ(shared.Result().characters, alone.Result().characters);
    ASSERT_EQ(texts.size(), 90000u);
    EXPECT_EQ(texts[61234], rows.TextAt(61234));
    EXPECT_EQ(texts.back(), rows.TextAt(89999));
}

TEST(Histogram, MeasureSentencesSumsEveryPart) {
    // Enough sentences to be shared out among threads.
    std::vector<QString> sentences(50000, QStringLiteral("The cat sat on the mat."));
    sentences.back() = QStringLiteral("Beautiful!");
    const ReadabilityCounts counts = MeasureSentences(sentences);
    EXPECT_EQ(counts.sentences, 50000);
    EXPECT_EQ(counts.words, 49999 * 6 + 1);
    EXPECT_EQ(counts.syllables, 49999 * 6 + 3);
    EXPECT_EQ(counts.polysyllables, 1);
    // Stopped: the figures no longer wanted are not all worked out.
    const std::atomic<bool> stop{true};
    EXPECT_LT(MeasureSentences(sentences, &stop).sentences, 10000);
}

}  // namespace
}  // namespace brintale
