#pragma once

#include <QString>
#include <QStringView>
#include <atomic>
#include <cstdint>
#include <vector>

#include "core/readability.h"

namespace brintale {

class ResultsModel;

// Words as Unicode's word rules segment them (QTextBoundaryFinder), counting only the
// segments that hold a letter or a digit: "don't" and "3.5" are one word each.
qsizetype CountWords(QStringView text);

// Characters as code points, carriage returns and line feeds left out.
qsizetype CountCharacters(QStringView text);

inline constexpr int kDefaultLongSentenceWords = 25;
inline constexpr qsizetype kLongestSentencePreview = 80;

// The figures of a list of sentences, shared by the window and brintale-count.
struct SentenceStatistics {
    qsizetype sentences = 0;
    qsizetype words = 0;
    qsizetype characters = 0;
    double meanWords = 0;
    double medianWords = 0;           // the mean of the two middle ones for an even count
    qsizetype percentile90Words = 0;  // nearest rank: the smallest count that 90 % reach
    qsizetype maxWords = 0;
    // The first sentence with the most words (0-based; -1 without sentences) and its first
    // kLongestSentencePreview characters (code points).
    qsizetype longestIndex = -1;
    QString longestPreview;
    int longThreshold = kDefaultLongSentenceWords;
    qsizetype longerThanThreshold = 0;  // sentences of more than longThreshold words
};

// Takes the sentences one by one, keeping only a word count each.
class StatisticsCollector {
  public:
    void Add(QStringView sentence);
    // Add, and the readability counts of the sentence as well, which take longer.
    void AddWithReadability(QStringView sentence);
    // Adds the figures of another collector's sentences after this one's.
    void Merge(const StatisticsCollector& other);
    SentenceStatistics Result(int longThreshold = kDefaultLongSentenceWords) const;
    // Words of each sentence, in order.
    const std::vector<std::int32_t>& wordsPerSentence() const { return words_; }
    // The readability counts of the sentences given to AddWithReadability.
    const ReadabilityCounts& readability() const { return readability_; }

  private:
    std::vector<std::int32_t> words_;
    qsizetype characters_ = 0;
    qsizetype longestIndex_ = -1;
    QString longestPreview_;
    ReadabilityCounts readability_;
};

// How many sentences have a word count in each bin [i * width, (i + 1) * width), up to the
// largest count.
std::vector<qsizetype> WordHistogram(const std::vector<std::int32_t>& wordsPerSentence,
                                     int binWidth);

// The collector over every row of the list, the rows shared out among the processor's
// cores. With `texts`, the rows' texts are kept there too (shared, not copied), in order.
StatisticsCollector CollectRows(const ResultsModel& rows, std::vector<QString>* texts = nullptr);

// The readability counts of a list of sentences, shared out among the cores. Stops early,
// with the counts so far, once `stop` is set.
ReadabilityCounts MeasureSentences(const std::vector<QString>& sentences,
                                   const std::atomic<bool>* stop = nullptr);

// Words per bar of the histogram: five, or more when that would give more than kMaxBins bars.
inline constexpr int kMaxHistogramBins = 30;
int HistogramBinWidth(qsizetype maxWords);

// The count axis of the histogram: from 0 to `top` in steps of `step` sentences, whole
// numbers both, so that every gridline has a label that is true; at most kMaxCountSteps
// steps.
inline constexpr int kMaxCountSteps = 5;
struct CountAxisScale {
    qsizetype top = 1;
    qsizetype step = 1;
};
CountAxisScale CountAxis(qsizetype highest);

// The histogram of sentence lengths, each bar split into the sentences of up to `longerThan`
// words and the longer ones; both lists as long as the bars.
struct LengthHistogram {
    int binWidth = 5;
    std::vector<qsizetype> shortBins;
    std::vector<qsizetype> longBins;
};
LengthHistogram SplitHistogram(const std::vector<std::int32_t>& wordsPerSentence,
                               qsizetype maxWords, int longerThan);

// The sentences (0-based, ascending) whose word count falls in bar `bin`.
std::vector<int> SentencesInBin(const std::vector<std::int32_t>& wordsPerSentence, int binWidth,
                                int bin);

}  // namespace brintale
