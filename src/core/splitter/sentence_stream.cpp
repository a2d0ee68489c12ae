#include "core/splitter/sentence_stream.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/failure.h"
#include "core/splitter/kernels.h"
#include "core/splitter/splitter_units.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brintale {

namespace {

bool IsHigh(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLow(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Whether some unit of the text is half of a surrogate pair (most texts hold none).
bool HoldsSurrogates(QStringView text) {
    const auto* d = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype n = text.size();
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i mask = _mm_set1_epi16(static_cast<short>(0xF800)),
                  surrogate = _mm_set1_epi16(static_cast<short>(0xD800));
    const qsizetype vectorEnd = detail::ActiveKernel() == Kernel::Scalar ? 0 : n;
    for (; i + 8 <= vectorEnd; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, mask), surrogate))) return true;
    }
#endif
    for (; i < n; ++i)
        if ((d[i] & 0xF800) == 0xD800) return true;
    return false;
}

}  // namespace

// A stretch masked, where it lies in the whole text, to be scanned.
struct SentenceStream::Stretch {
    MaskedText masked;
    std::int64_t start = 0;       // in units
    std::int64_t startPoint = 0;  // in code points
    // The second units of its surrogate pairs, which count no code point of their own.
    std::vector<qsizetype> seconds;
    Sink* sink = nullptr;
};

// The second core: scans the stretches in order, a few at most waiting; hands back their
// buffers for the next, and keeps what the scan threw.
class SentenceStream::Worker {
  public:
    explicit Worker(SentenceStream& stream) : stream_(stream), thread_([this] { Run(); }) {}
    ~Worker() {
        {
            std::unique_lock lock(mutex_);
            stopping_ = true;
            waiting_.clear();
        }
        changed_.notify_all();
        thread_.join();
    }

    void Push(Stretch&& stretch) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return waiting_.size() < kWaiting || failure_; });
        if (failure_) std::rethrow_exception(failure_);
        waiting_.push_back(std::move(stretch));
        changed_.notify_all();
    }
    // Every stretch pushed is scanned.
    void Drain() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return (waiting_.empty() && !busy_) || failure_; });
        if (failure_) std::rethrow_exception(failure_);
    }
    QString Spare() {
        std::unique_lock lock(mutex_);
        if (spare_.empty()) return QString();
        QString buffer = std::move(spare_.back());
        spare_.pop_back();
        return buffer;
    }

  private:
    static constexpr std::size_t kWaiting = 2;

    void Run() {
        for (;;) {
            Stretch stretch;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return !waiting_.empty() || stopping_; });
                if (stopping_) return;
                stretch = std::move(waiting_.front());
                waiting_.pop_front();
                busy_ = true;
            }
            std::exception_ptr failure;
            try {
                stream_.Scan(stretch);
            } catch (...) {
                failure = std::current_exception();
            }
            {
                std::unique_lock lock(mutex_);
                busy_ = false;
                if (failure) failure_ = failure, waiting_.clear();
                if (spare_.size() < kWaiting) spare_.push_back(std::move(stretch.masked.text));
            }
            changed_.notify_all();
        }
    }

    SentenceStream& stream_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Stretch> waiting_;
    std::vector<QString> spare_;
    bool busy_ = false;
    bool stopping_ = false;
    std::exception_ptr failure_;
    std::thread thread_;
};

SentenceStream::SentenceStream(QStringView separators, const QStringList& abbreviations,
                               Options options)
    : separators_(separators.toString()), abbreviations_(abbreviations), options_(options) {
    canEnd_ = false;
    bool surrogates = false;
    for (QChar c : separators) {
        canEnd_ = canEnd_ || c.unicode() != detail::kCarriageReturn;
        surrogates = surrogates || c.isSurrogate();
    }
    inAbbreviations_.Add(detail::kCarriageReturn);
    // A separator of two units must find both in one stretch: no cut after a first half.
    if (surrogates)
        for (char16_t u = 0xD800; u <= 0xDBFF; ++u) inAbbreviations_.Add(u);
    keepPairs_ = surrogates;
    std::vector<std::pair<qsizetype, std::u16string>> entries;  // those that can match
    std::vector<qsizetype> indices;
    std::unordered_set<std::u16string> seen(std::size_t(abbreviations.size()));
    std::vector<bool> added(0x10000, false);
    for (qsizetype i = 0; i < abbreviations.size(); ++i) {
        const QString& entry = abbreviations[i];
        // An empty entry changes nothing; one with a carriage return never matches.
        if (entry.isEmpty() || entry.contains(QChar(detail::kCarriageReturn))) continue;
        std::u16string folded;
        for (QChar c : entry) {
            folded.push_back(detail::Fold(c.unicode()));
            // Every unit that folds as this one does.
            if (!added[folded.back()])
                detail::ForEachUnitFoldingTo(folded.back(),
                                             [&](char16_t u) { inAbbreviations_.Add(u); });
            added[folded.back()] = true;
        }
        indices.push_back(i);
        if (folded.size() > 1 && seen.insert(folded).second) folded_.push_back(folded);
        entries.emplace_back(i, std::move(folded));
    }
    quiet_ = true;
    detail::MarkerOverlaps overlaps(std::move(indices));
    for (const auto& [index, folded] : entries) {
        const qsizetype first = overlaps.First(folded);
        quiet_ = quiet_ && !(first >= 0 && first < index);
    }
    stretchUnits_ = options_.stretchUnits = std::max<qsizetype>(options_.stretchUnits, 1);
    if (options_.secondCore && canEnd_) worker_ = std::make_unique<Worker>(*this);
}

SentenceStream::~SentenceStream() = default;

void SentenceStream::Feed(QStringView units, Sink& sink) {
    // With no separator nothing ever ends: nothing needs keeping.
    if (!canEnd_) return;
    window_ += units;
    Advance(sink);
}

QChar* SentenceStream::Room(qsizetype units) {
    written_ = window_.size();
    window_.resize(written_ + units);
    return window_.data() + written_;
}

void SentenceStream::Wrote(qsizetype units, Sink& sink) {
    window_.truncate(written_ + units);
    if (!canEnd_) {
        window_.truncate(0);
        return;
    }
    Advance(sink);
}

// Whether a cut at `at` would part a surrogate pair that a separator may be.
bool SentenceStream::PairAt(const char16_t* d, qsizetype at) const {
    if (!keepPairs_) return false;
    qsizetype before = at - 1;
    while (before >= 0 && d[before] == detail::kCarriageReturn) --before;
    return before >= 0 && IsHigh(d[before]);
}

void SentenceStream::Advance(Sink& sink) {
    while (window_.size() >= stretchUnits_) {
        // The last unit no abbreviation holds; the stretch ends after it.
        qsizetype cut = window_.size();
        const char16_t* d = reinterpret_cast<const char16_t*>(window_.constData());
        while (cut > 0 && inAbbreviations_.Contains(d[cut - 1])) --cut;
        // A text of nothing but the abbreviations' letters ("aaa...") can still be cut where
        // no abbreviation can straddle the cut, as long as none can match across another's
        // marker.
        if (cut == 0 && quiet_) {
            const qsizetype least = std::max<qsizetype>(window_.size() - kStraddleLooks, 1);
            for (qsizetype at = window_.size() - 1; at >= least && cut == 0; --at)
                if (!PairAt(d, at) && detail::NoneStraddles(d, window_.size(), at, folded_,
                                                            std::identity{}, detail::Fold))
                    cut = at;
        }
        if (cut > 0) {
            Step(cut, sink);
            stretchUnits_ = options_.stretchUnits;
            continue;
        }
        // No place to cut yet: gather more before looking again.
        detail::CheckHeld(window_.size(), options_.heldUnitsLimit);
        stretchUnits_ = 2 * window_.size();
    }
}

void SentenceStream::Finish(Sink& sink) {
    if (canEnd_ && !window_.isEmpty()) Step(window_.size(), sink);
    if (worker_) {
        worker_->Drain();
        worker_.reset();
    }
    endedInsideParts_ = carry_.parted;
    carry_.Reset();
    if (endedInsideParts_) sink.AbandonSentence();
}

void SentenceStream::Step(qsizetype cut, Sink& sink) {
    // The stretch goes to the masking as it is; the units after the cut wait in a buffer
    // used before, so that none is made afresh for every stretch.
    QString rest;
    if (cut < window_.size()) {
        rest = QStringView(window_).sliced(cut).toString();
        window_.truncate(cut);
    }
    Stretch stretch;
    stretch.start = windowStart_;
    stretch.startPoint = windowStartPoint_;
    stretch.sink = &sink;
    if (options_.codePoints && HoldsSurrogates(window_)) {
        bool high = highBefore_;
        for (qsizetype i = 0; i < window_.size(); ++i) {
            const char16_t u = window_[i].unicode();
            if (high && IsLow(u)) stretch.seconds.push_back(i);
            high = IsHigh(u);
        }
    }
    highBefore_ = IsHigh(window_.back().unicode());
    windowStart_ += cut;
    windowStartPoint_ += cut - qsizetype(stretch.seconds.size());
    if (!prepared_) prepared_ = detail::PrepareList(abbreviations_, options_.hashedAbove);
    stretch.masked = detail::MaskAbbreviations(std::move(window_), abbreviations_, *prepared_);
    if (worker_) {
        worker_->Push(std::move(stretch));
        window_ = worker_->Spare();
    } else {
        Scan(stretch);
        window_ = std::move(stretch.masked.text);
    }
    window_.resize(0);
    window_ += rest;
}

void SentenceStream::Scan(Stretch& stretch) {
    detail::StretchPlace place;
    place.start = stretch.start;
    place.startPoint = stretch.startPoint;
    if (options_.codePoints) place.seconds = &stretch.seconds;
    detail::StepOptions step;
    step.countOnly = options_.countOnly;
    step.partUnits = options_.partUnits;
    detail::ScanStep(stretch.masked, separators_, step, carry_, place, *stretch.sink);
}

}  // namespace brintale
