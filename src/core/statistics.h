#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <vector>

namespace brintale {

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
    // Adds the figures of another collector's sentences after this one's.
    void Merge(const StatisticsCollector& other);
    SentenceStatistics Result(int longThreshold = kDefaultLongSentenceWords) const;
    // Words of each sentence, in order.
    const std::vector<std::int32_t>& wordsPerSentence() const { return words_; }

  private:
    std::vector<std::int32_t> words_;
    qsizetype characters_ = 0;
    qsizetype longestIndex_ = -1;
    QString longestPreview_;
};

// How many sentences have a word count in each bin [i * width, (i + 1) * width), up to the
// largest count.
std::vector<qsizetype> WordHistogram(const std::vector<std::int32_t>& wordsPerSentence,
                                     int binWidth);

}  // namespace brintale
