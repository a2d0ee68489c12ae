#include "core/statistics.h"

#include <QTextBoundaryFinder>
#include <algorithm>
#include <array>
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

// The word rules' classes of ASCII as the boundary finder applies them: the full stop joins
// digits ("3.5") but not letters, the apostrophe both, the colon neither.
enum class AsciiClass : unsigned char { Other, Letter, Digit, MidNumLet, MidNum, Joiner };

constexpr AsciiClass ClassOf(char16_t c) {
    if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) return AsciiClass::Letter;
    if (c >= u'0' && c <= u'9') return AsciiClass::Digit;
    switch (c) {
        case u'\'':
            return AsciiClass::MidNumLet;
        case u'.':
        case u',':
        case u';':
            return AsciiClass::MidNum;
        case u'_':
            return AsciiClass::Joiner;
        default:
            return AsciiClass::Other;
    }
}

constexpr std::array<AsciiClass, 128> kAsciiClasses = [] {
    std::array<AsciiClass, 128> classes{};
    for (char16_t c = 0; c < 128; ++c) classes[c] = ClassOf(c);
    return classes;
}();

constexpr bool IsAlnum(AsciiClass c) { return c == AsciiClass::Letter || c == AsciiClass::Digit; }

constexpr int kClassCount = 6;

// Whether a letter or digit `here` starts no word after `twoBefore`, `before` by the rules
// that join directly (WB5, WB8 to WB10) or through one mid character between two letters or
// two digits (WB6, WB7, WB11, WB12).
constexpr auto kJoinedToBefore = [] {
    using C = AsciiClass;
    std::array<bool, kClassCount * kClassCount * kClassCount> joined{};
    for (int t = 0; t < kClassCount; ++t)
        for (int b = 0; b < kClassCount; ++b)
            for (int h = 0; h < kClassCount; ++h) {
                const C twoBefore = C(t), before = C(b), here = C(h);
                joined[(t * kClassCount + b) * kClassCount + h] =
                    IsAlnum(before) ||
                    (twoBefore == here &&
                     ((here == C::Letter && before == C::MidNumLet) ||
                      (here == C::Digit && (before == C::MidNum || before == C::MidNumLet))));
            }
    return joined;
}();

// The same count for text of ASCII alone, without the boundary finder's cost (most
// sentences); -1 when the text holds anything else. A word starts at every letter or digit
// that the rules do not join to the one before it, directly, through one mid character or
// through a run of underscores (WB13a, WB13b). Branch-free: letters and spaces alternate too
// often for a branch to be guessed.
qsizetype CountAsciiWords(QStringView text) {
    using C = AsciiClass;
    const char16_t* d = text.utf16();
    const qsizetype n = text.size();
    char16_t all = 0;
    for (qsizetype i = 0; i < n; ++i) all |= d[i];
    if (all >= 0x80) return -1;
    qsizetype words = 0;
    int twoBefore = 0, before = 0;  // Other
    bool alnumBeforeUnderscores = false;
    constexpr int kJoiner = static_cast<int>(C::Joiner);
    for (qsizetype i = 0; i < n; ++i) {
        const int here = static_cast<int>(kAsciiClasses[d[i]]);
        const bool joined =
            kJoinedToBefore[(twoBefore * kClassCount + before) * kClassCount + here] |
            ((before == kJoiner) & alnumBeforeUnderscores);
        words += IsAlnum(C(here)) & !joined;
        // The class before a run of underscores, kept through the run.
        alnumBeforeUnderscores =
            (here == kJoiner) & ((before == kJoiner) ? alnumBeforeUnderscores : IsAlnum(C(before)));
        twoBefore = before;
        before = here;
    }
    return words;
}

}  // namespace

qsizetype CountWords(QStringView text) {
    if (text.isEmpty()) return 0;
    if (const qsizetype ascii = CountAsciiWords(text); ascii >= 0) return ascii;
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
