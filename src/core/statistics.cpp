#include "core/statistics.h"

#include <QTextBoundaryFinder>
#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <thread>
#include <vector>

#include "core/results_model.h"
#include "core/work_queue.h"

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

constexpr bool IsAsciiAlnum(char16_t c) {
    return (static_cast<char16_t>((c | 0x20) - u'a') < 26) | (static_cast<char16_t>(c - u'0') < 10);
}

// The characters through which the rules may join a letter or digit to the one before.
constexpr bool MayJoin(char16_t c) {
    return c == u'\'' || c == u'.' || c == u',' || c == u';' || c == u'_';
}

// The same count for text of ASCII alone, without the boundary finder's cost (most
// sentences); -1 when the text holds anything else. A word starts at every letter or digit
// that does not follow another; one pass that the compiler turns into vector instructions
// counts those. Only a start right after a mid character or an underscore can be joined to
// the word before (WB6, WB7, WB11 to WB13b); the few sentences with a start after anything
// but a space are looked at again, character by character.
qsizetype CountAsciiWords(QStringView text) {
    const char16_t* d = text.utf16();
    const qsizetype n = text.size();
    if (n == 0) return 0;
    char16_t all = d[0];
    qsizetype starts = IsAsciiAlnum(d[0]) ? 1 : 0;
    qsizetype doubtful = 0;
    // Counters as wide as the characters, so that one vector holds both.
    constexpr qsizetype kBlock = 0x7fff;
    for (qsizetype from = 1; from < n; from += kBlock) {
        const qsizetype to = std::min(n, from + kBlock);
        char16_t blockStarts = 0, blockDoubtful = 0;
        for (qsizetype i = from; i < to; ++i) {
            all |= d[i];
            const char16_t start = char16_t(IsAsciiAlnum(d[i])) & char16_t(!IsAsciiAlnum(d[i - 1]));
            blockStarts += start;
            blockDoubtful += start & (d[i - 1] != u' ');
        }
        starts += blockStarts;
        doubtful += blockDoubtful;
    }
    if (all >= 0x80) return -1;
    if (doubtful == 0) return starts;
    using C = AsciiClass;
    const auto classAt = [d](qsizetype i) { return i >= 0 ? kAsciiClasses[d[i]] : C::Other; };
    for (qsizetype i = 1; i < n; ++i) {
        const C here = classAt(i), before = classAt(i - 1);
        if (!IsAlnum(here) || IsAlnum(before) || !MayJoin(d[i - 1])) continue;
        bool joined = false;
        if (before == C::Joiner) {
            qsizetype j = i - 1;
            while (j >= 0 && d[j] == u'_') --j;
            joined = IsAlnum(classAt(j));
        } else {
            joined = classAt(i - 2) == here && (here == C::Digit || before == C::MidNumLet);
        }
        starts -= joined ? 1 : 0;
    }
    return starts;
}

// The classes of the characters beyond ASCII that Latin-script prose mostly holds, as the
// boundary finder applies them (checked against it): the letters of Latin-1, dashes, quotes,
// the ellipsis, and the curly apostrophe, which joins like the straight one. nullopt for any
// other character.
std::optional<AsciiClass> LatinClass(char16_t c) {
    using C = AsciiClass;
    if (c < 0x80) return kAsciiClasses[c];
    if ((c >= 0xC0 && c <= 0xFF && c != 0xD7 && c != 0xF7) || c == 0xAA || c == 0xB5 || c == 0xBA)
        return C::Letter;
    switch (c) {
        case 0xA0:
        case 0xA1:
        case 0xA7:
        case 0xA9:
        case 0xAB:
        case 0xB0:
        case 0xBB:
        case 0xBF:
        case 0xD7:
        case 0xF7:
        case 0x2013:
        case 0x2014:
        case 0x201C:
        case 0x201D:
        case 0x2026:
            return C::Other;
        case 0x2018:
        case 0x2019:
        case 0x2024:
            return C::MidNumLet;
        default:
            return std::nullopt;
    }
}

// The count of CountAsciiWords for text of ASCII and the characters of LatinClass; -1 for
// text that holds any other.
qsizetype CountLatinWords(QStringView text) {
    using C = AsciiClass;
    const char16_t* d = text.utf16();
    const qsizetype n = text.size();
    std::vector<C>& classes = []() -> std::vector<C>& {
        thread_local std::vector<C> v;
        return v;
    }();
    classes.resize(static_cast<std::size_t>(n));
    for (qsizetype i = 0; i < n; ++i) {
        const auto c = LatinClass(d[i]);
        if (!c) return -1;
        classes[static_cast<std::size_t>(i)] = *c;
    }
    const auto classAt = [&](qsizetype i) {
        return i >= 0 ? classes[static_cast<std::size_t>(i)] : C::Other;
    };
    qsizetype starts = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const C here = classAt(i), before = classAt(i - 1);
        if (!IsAlnum(here) || IsAlnum(before)) continue;
        bool joined = false;
        if (before == C::Joiner) {
            qsizetype j = i - 1;
            while (j >= 0 && classAt(j) == C::Joiner) --j;
            joined = IsAlnum(classAt(j));
        } else if (before == C::MidNum || before == C::MidNumLet) {
            joined = classAt(i - 2) == here && (here == C::Digit || before == C::MidNumLet);
        }
        starts += joined ? 0 : 1;
    }
    return starts;
}

}  // namespace

qsizetype CountWords(QStringView text) {
    if (text.isEmpty()) return 0;
    if (const qsizetype ascii = CountAsciiWords(text); ascii >= 0) return ascii;
    if (const qsizetype latin = CountLatinWords(text); latin >= 0) return latin;
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
    // Without branches, so that the compiler can use vector instructions: a surrogate pair is
    // taken off once, at its high half.
    const char16_t* d = text.utf16();
    const qsizetype n = text.size();
    qsizetype count = n;
    for (qsizetype i = 0; i < n; ++i) count -= (d[i] == u'\r') | (d[i] == u'\n');
    for (qsizetype i = 0; i + 1 < n; ++i)
        count -= ((d[i] & 0xfc00) == 0xd800) & ((d[i + 1] & 0xfc00) == 0xdc00);
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

void StatisticsCollector::AddWithReadability(QStringView sentence) {
    Add(sentence);
    ReadabilityCounts counts = MeasureSentence(sentence);
    // The words as the statistics count them.
    counts.words = words_.back();
    readability_.Add(counts);
}

void StatisticsCollector::Merge(const StatisticsCollector& other) {
    readability_.Add(other.readability_);
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
    // Selection instead of a full sort: a million sentences take a few milliseconds.
    std::vector<std::int32_t> order = words_;
    const auto smallest = [&order](std::size_t k) {
        std::nth_element(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(k),
                         order.end());
        return order[k];
    };
    const std::size_t n = order.size();
    if (n % 2 == 1) {
        s.medianWords = smallest(n / 2);
    } else {
        const std::int32_t lower = smallest(n / 2 - 1);
        // Every one after the lower middle is at least as large; the least of them is next.
        const std::int32_t upper =
            *std::min_element(order.begin() + static_cast<std::ptrdiff_t>(n / 2), order.end());
        s.medianWords = (lower + upper) / 2.0;
    }
    // Nearest rank: the ceil(0.9 n)-th smallest.
    s.percentile90Words = smallest((9 * n + 9) / 10 - 1);
    s.maxWords = *std::max_element(order.begin(), order.end());
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

namespace {

// Below this many rows one thread is quicker than starting others.
constexpr int kRowsPerThread = 20000;

// Runs work(part, from, to) over [0, count) shared out among the cores, this thread taking
// its share too; returns the number of parts. A part's failure is thrown here. Where the
// system starts fewer threads, those started and this one do every part.
template <typename Work>
int SharedOut(qsizetype count, Work&& work) {
    const int parts = static_cast<int>(std::clamp<qsizetype>(
        std::min<qsizetype>(std::thread::hardware_concurrency(), count / kRowsPerThread), 1, 8));
    OrderedWorkQueue<int> queue(parts - 1, static_cast<std::size_t>(parts), [&](int& part) {
        work(part, count * part / parts, count * (part + 1) / parts);
    });
    const auto drop = [](int&) {};
    for (int part = 0; part < parts; ++part) queue.Push(int(part), drop);
    queue.WorkHere();
    queue.TakeFinished(true, drop);
    return parts;
}

}  // namespace

StatisticsCollector CollectRows(const ResultsModel& rows, std::vector<QString>* texts) {
    const int count = rows.rowCount();
    if (texts != nullptr) texts->assign(static_cast<std::size_t>(count), QString());
    std::vector<StatisticsCollector> parts(8);
    const int used = SharedOut(count, [&](int part, qsizetype from, qsizetype to) {
        StatisticsCollector& collector = parts[static_cast<std::size_t>(part)];
        for (auto row = static_cast<int>(from); row < to; ++row) {
            QString text = rows.TextAt(row);
            collector.Add(text);
            if (texts != nullptr) (*texts)[static_cast<std::size_t>(row)] = std::move(text);
        }
    });
    for (int part = 1; part < used; ++part) parts[0].Merge(parts[static_cast<std::size_t>(part)]);
    return std::move(parts[0]);
}

ReadabilityCounts MeasureSentences(const std::vector<QString>& sentences,
                                   const std::atomic<bool>* stop) {
    std::vector<ReadabilityCounts> parts(8);
    const int used = SharedOut(
        static_cast<qsizetype>(sentences.size()), [&](int part, qsizetype from, qsizetype to) {
            ReadabilityCounts& counts = parts[static_cast<std::size_t>(part)];
            for (qsizetype i = from; i < to; ++i) {
                if ((i & 0xfff) == 0 && stop != nullptr && stop->load(std::memory_order_relaxed))
                    return;
                counts.Add(MeasureSentence(sentences[static_cast<std::size_t>(i)]));
            }
        });
    for (int part = 1; part < used; ++part) parts[0].Add(parts[static_cast<std::size_t>(part)]);
    return parts[0];
}

int HistogramBinWidth(qsizetype maxWords) {
    constexpr int kStep = 5;
    const qsizetype bins = maxWords / kStep + 1;
    if (bins <= kMaxHistogramBins) return kStep;
    // The smallest multiple of five that fits the largest count into the bars.
    const qsizetype width = (maxWords + kMaxHistogramBins) / kMaxHistogramBins;
    return static_cast<int>((width + kStep - 1) / kStep * kStep);
}

CountAxisScale CountAxis(qsizetype highest) {
    highest = std::max<qsizetype>(highest, 1);
    for (qsizetype magnitude = 1;; magnitude *= 10) {
        for (const qsizetype factor : {1, 2, 5}) {
            const qsizetype step = factor * magnitude;
            const qsizetype steps = (highest + step - 1) / step;
            if (steps <= kMaxCountSteps) return {steps * step, step};
        }
    }
}

LengthHistogram SplitHistogram(const std::vector<std::int32_t>& wordsPerSentence,
                               qsizetype maxWords, int longerThan) {
    LengthHistogram h;
    h.binWidth = HistogramBinWidth(maxWords);
    std::vector<std::int32_t> shortWords, longWords;
    for (const std::int32_t w : wordsPerSentence)
        (w > longerThan ? longWords : shortWords).push_back(w);
    h.shortBins = WordHistogram(shortWords, h.binWidth);
    h.longBins = WordHistogram(longWords, h.binWidth);
    const std::size_t bins = std::max(h.shortBins.size(), h.longBins.size());
    h.shortBins.resize(bins, 0);
    h.longBins.resize(bins, 0);
    return h;
}

std::vector<int> SentencesInBin(const std::vector<std::int32_t>& wordsPerSentence, int binWidth,
                                int bin) {
    std::vector<int> rows;
    if (binWidth <= 0) return rows;
    for (std::size_t i = 0; i < wordsPerSentence.size(); ++i)
        if (wordsPerSentence[i] / binWidth == bin) rows.push_back(static_cast<int>(i));
    return rows;
}

}  // namespace brintale
