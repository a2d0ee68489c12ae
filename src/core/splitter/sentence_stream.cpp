#include "core/splitter/sentence_stream.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "core/failure.h"
#include "core/splitter/splitter_units.h"

namespace brintale {

namespace {

bool IsHigh(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLow(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

// Positions of the stretch being scanned, placed in the whole text.
class SentenceStream::Placer : public detail::StepSink {
  public:
    Placer(const SentenceStream& stream, QStringView stretch, Sink& sink)
        : stream_(stream), sink_(sink) {
        if (!stream.options_.codePoints) return;
        // The second units of surrogate pairs, which count no code point of their own.
        bool high = stream.highBefore_;
        for (qsizetype i = 0; i < stretch.size(); ++i) {
            const char16_t u = stretch[i].unicode();
            if (high && IsLow(u)) seconds_.push_back(i);
            high = IsHigh(u);
        }
    }
    std::int64_t Place(qsizetype position) override {
        if (!stream_.options_.codePoints) return stream_.windowStart_ + position;
        const auto before = std::lower_bound(seconds_.begin(), seconds_.end(), position);
        return stream_.windowStartPoint_ + position - (before - seconds_.begin());
    }
    void Sentence(QString&& text, std::int64_t start, std::int64_t end) override {
        sink_.Sentence(std::move(text), start, end);
    }
    void SentencePart(QString&& text) override { sink_.SentencePart(std::move(text)); }
    qsizetype seconds() const { return qsizetype(seconds_.size()); }

  private:
    const SentenceStream& stream_;
    Sink& sink_;
    std::vector<qsizetype> seconds_;
};

SentenceStream::SentenceStream(QStringView separators, const QStringList& abbreviations,
                               Options options)
    : separators_(separators.toString()), abbreviations_(abbreviations), options_(options) {
    canEnd_ = false;
    for (QChar c : separators) canEnd_ = canEnd_ || c.unicode() != detail::kCarriageReturn;
    inAbbreviations_.Add(detail::kCarriageReturn);
    for (const QString& entry : abbreviations) {
        if (entry.contains(QChar(detail::kCarriageReturn))) continue;  // never matches
        for (QChar c : entry) {
            // Every unit that folds as this one does.
            detail::ForEachUnitFoldingTo(detail::Fold(c.unicode()),
                                         [&](char16_t u) { inAbbreviations_.Add(u); });
        }
    }
    stretchUnits_ = options_.stretchUnits = std::max<qsizetype>(options_.stretchUnits, 1);
}

void SentenceStream::Feed(QStringView units, Sink& sink) {
    // With no separator nothing ever ends: nothing needs keeping.
    if (!canEnd_) return;
    for (;;) {
        // A window grown while no cut came may hold more than a stretch already.
        const qsizetype room = std::max<qsizetype>(stretchUnits_ - window_.size(), 0);
        if (units.size() < room) {
            window_ += units;
            return;
        }
        window_ += units.first(room);
        units = units.sliced(room);
        // The last unit no abbreviation holds; the stretch ends after it.
        qsizetype cut = window_.size();
        const char16_t* d = reinterpret_cast<const char16_t*>(window_.constData());
        while (cut > 0 && inAbbreviations_.Contains(d[cut - 1])) --cut;
        if (cut > 0) {
            Step(cut, sink);
            stretchUnits_ = options_.stretchUnits;
            continue;
        }
        // No place to cut yet: gather more before looking again.
        if (options_.heldUnitsLimit > 0 && window_.size() >= options_.heldUnitsLimit)
            throw Failure(QStringLiteral("The text runs on for more than %1 characters made only "
                                         "of the abbreviations' letters, with no place to cut "
                                         "it for counting in parts.")
                              .arg(options_.heldUnitsLimit));
        stretchUnits_ *= 2;
    }
}

void SentenceStream::Finish(Sink& sink) {
    if (canEnd_ && !window_.isEmpty()) Step(window_.size(), sink);
    endedInsideParts_ = carry_.parted;
    carry_.Reset();
}

void SentenceStream::Step(qsizetype cut, Sink& sink) {
    const QStringView stretch = QStringView(window_).first(cut);
    Placer placer(*this, stretch, sink);
    const MaskedText masked = MaskAbbreviations(stretch.toString(), abbreviations_);
    detail::StepOptions step;
    step.countOnly = options_.countOnly;
    step.partUnits = options_.partUnits;
    detail::ScanStep(masked, separators_, step, carry_, placer);
    windowStart_ += cut;
    windowStartPoint_ += cut - placer.seconds();
    highBefore_ = IsHigh(stretch.back().unicode());
    window_.remove(0, cut);
}

}  // namespace brintale
