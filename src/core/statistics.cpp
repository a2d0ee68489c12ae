#include "core/statistics.h"

#include <QTextBoundaryFinder>
#include <algorithm>
#include <limits>

namespace brintale {

namespace {

bool HoldsLetterOrDigit(QStringView segment) {
    for (qsizetype i = 0; i < segment.size(); ++i) {
        char32_t c = segment[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < segment.size() &&
            segment[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(segment[i].unicode(), segment[i + 1].unicode());
            ++i;
        }
        if (QChar::isLetterOrNumber(c)) return true;
    }
    return false;
}

}  // namespace

qsizetype CountWords(QStringView text) {
    if (text.isEmpty()) return 0;
    // The finder's attribute buffer is reused: a fresh one per sentence costs more than the
    // segmentation of a short sentence.
    thread_local std::vector<unsigned char> buffer;
    if (buffer.size() < static_cast<std::size_t>(text.size()) + 1)
        buffer.resize(static_cast<std::size_t>(text.size()) + 1);
    QTextBoundaryFinder finder(
        QTextBoundaryFinder::Word, text.data(),
        static_cast<int>(std::min<qsizetype>(text.size(), std::numeric_limits<int>::max())),
        buffer.data(), static_cast<int>(buffer.size()));
    qsizetype words = 0;
    qsizetype start = 0;
    for (qsizetype end = finder.toNextBoundary(); end > 0; end = finder.toNextBoundary()) {
        if (HoldsLetterOrDigit(text.sliced(start, end - start))) ++words;
        start = end;
    }
    return words;
}

qsizetype CountCharacters(QStringView text) {
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\r' || c == u'\n') continue;
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ++i;
        ++count;
    }
    return count;
}

void StatisticsCollector::Add(QStringView sentence) {
    const qsizetype words = CountWords(sentence);
    characters_ += CountCharacters(sentence);
    const auto clamped = static_cast<std::int32_t>(
        std::min<qsizetype>(words, std::numeric_limits<std::int32_t>::max()));
    if (longestIndex_ < 0 || clamped > words_[static_cast<std::size_t>(longestIndex_)]) {
        longestIndex_ = static_cast<qsizetype>(words_.size());
        // Code points, so that a surrogate pair is never cut in half.
        qsizetype end = 0;
        for (qsizetype points = 0; end < sentence.size() && points < kLongestSentencePreview;
             ++points)
            end += (sentence[end].isHighSurrogate() && end + 1 < sentence.size() &&
                    sentence[end + 1].isLowSurrogate())
                       ? 2
                       : 1;
        longestPreview_ = sentence.first(end).toString();
    }
    words_.push_back(clamped);
}

void StatisticsCollector::Merge(const StatisticsCollector& other) {
    if (other.longestIndex_ >= 0 &&
        (longestIndex_ < 0 || other.words_[static_cast<std::size_t>(other.longestIndex_)] >
                                  words_[static_cast<std::size_t>(longestIndex_)])) {
        longestIndex_ = static_cast<qsizetype>(words_.size()) + other.longestIndex_;
        longestPreview_ = other.longestPreview_;
    }
    words_.insert(words_.end(), other.words_.begin(), other.words_.end());
    characters_ += other.characters_;
}

SentenceStatistics StatisticsCollector::Result(int longThreshold) const {
    SentenceStatistics s;
    s.sentences = static_cast<qsizetype>(words_.size());
    s.characters = characters_;
    s.longThreshold = longThreshold;
    s.longestIndex = longestIndex_;
    s.longestPreview = longestPreview_;
    if (words_.empty()) return s;
    for (const std::int32_t w : words_) {
        s.words += w;
        if (w > longThreshold) ++s.longerThanThreshold;
    }
    s.meanWords = static_cast<double>(s.words) / static_cast<double>(s.sentences);
    std::vector<std::int32_t> sorted = words_;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t n = sorted.size();
    s.medianWords = n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2.0;
    // Nearest rank: the ceil(0.9 n)-th smallest.
    const std::size_t rank = (9 * n + 9) / 10;
    s.percentile90Words = sorted[rank - 1];
    s.maxWords = sorted.back();
    return s;
}

std::vector<qsizetype> WordHistogram(const std::vector<std::int32_t>& wordsPerSentence,
                                     int binWidth) {
    std::vector<qsizetype> bins;
    if (binWidth <= 0) return bins;
    for (const std::int32_t w : wordsPerSentence) {
        const auto bin = static_cast<std::size_t>(w / binWidth);
        if (bins.size() <= bin) bins.resize(bin + 1, 0);
        ++bins[bin];
    }
    return bins;
}

}  // namespace brintale
