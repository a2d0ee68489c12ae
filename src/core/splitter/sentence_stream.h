#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/splitter/splitter.h"
#include "core/splitter/splitter_detail.h"
#include "core/splitter/unit_set.h"

namespace brintale {

// The splitter over a text that comes a piece at a time, in memory that does not grow with
// the text: the sentences, their stretches and the count are those of the whole text given
// at once to SplitLocatedSentences, wherever the pieces are cut (inside a CR LF pair, an
// abbreviation or a surrogate pair included).
//
// It masks and scans the text a stretch at a time, each stretch ending after a unit that
// no abbreviation holds, where no abbreviation can straddle the cut; the buffer open at a
// stretch's end is carried into the next. A text in which no such unit comes for a long
// while (only abbreviations' letters) is held until one does.
class SentenceStream {
  public:
    struct Options {
        bool countOnly = false;
        // Positions in code points (a surrogate pair one) instead of UTF-16 units.
        bool codePoints = false;
        // A sentence that grows to this many units before its end goes out in parts, so
        // that it need not be held whole; 0 holds every sentence whole.
        qsizetype partUnits = 0;
        // The stretch masked and scanned at once, in units; the text gathers to this.
        qsizetype stretchUnits = qsizetype(1) << 20;
        // The most units held while no place to cut comes; beyond it Feed throws Failure.
        // 0: no limit.
        qsizetype heldUnitsLimit = 0;
        // On a second core: the stretches are masked by the caller's thread and scanned by
        // one of the stream's own, which then calls the sink (never two calls at once).
        bool secondCore = false;
        // Lists of more entries than this are looked up by hash.
        std::size_t hashedAbove = detail::kHashedEntries;
    };

    // Where the sentences go: the text lent until the call returns, the stretch placed in
    // the whole text; parts only with partUnits, and AbandonSentence from Finish when the text
    // ended inside a sentence that went out in parts.
    using Sink = SentenceReceiver;

    SentenceStream(QStringView separators, const QStringList& abbreviations, Options options);
    ~SentenceStream();
    SentenceStream(const SentenceStream&) = delete;
    SentenceStream& operator=(const SentenceStream&) = delete;

    // Throws Failure when the abbreviation list is refused (see MaskAbbreviations) or more
    // than heldUnitsLimit units come without a place to cut; and what the sink threw.
    void Feed(QStringView units, Sink& sink);
    // The same for units written straight into the text held: Room gives space for up to
    // `units` units, Wrote says how many were written there.
    QChar* Room(qsizetype units);
    void Wrote(qsizetype units, Sink& sink);
    // The end of the text: the buffer still open is no sentence. Every sentence has reached
    // the sink when it returns.
    void Finish(Sink& sink);

    std::int64_t count() const { return carry_.sentences; }
    // Whether the text ended inside a sentence that had gone out in parts (after Finish).
    bool endedInsideParts() const { return endedInsideParts_; }

  private:
    struct Stretch;
    class Worker;
    void Advance(Sink& sink);
    bool PairAt(const char16_t* d, qsizetype at) const;
    // Places looked at, from the end, for a cut where no unit outside the abbreviations is.
    static constexpr qsizetype kStraddleLooks = 256;
    void Step(qsizetype cut, Sink& sink);
    void Scan(Stretch& stretch);

    qsizetype stretchUnits_;

    QString separators_;
    QStringList abbreviations_;
    std::shared_ptr<const detail::PreparedList> prepared_;
    Options options_;
    bool canEnd_;
    detail::UnitSet inAbbreviations_;     // units some entry may match, and the carriage return
    std::vector<std::u16string> folded_;  // the entries of two units or more, folded
    bool quiet_ = true;                   // no entry can match across another's marker
    bool keepPairs_ = false;              // a separator is a surrogate pair or half of one
    QString window_;                      // units not masked and scanned yet
    qsizetype written_ = 0;               // the window's size when Room was asked
    std::int64_t windowStart_ = 0;        // their place in the whole text, in units
    std::int64_t windowStartPoint_ = 0;   // and in code points
    bool highBefore_ = false;             // the unit before the window is a high surrogate
    detail::ScanCarry carry_;             // the scanning thread's
    bool endedInsideParts_ = false;
    std::unique_ptr<Worker> worker_;
};

}  // namespace brintale
