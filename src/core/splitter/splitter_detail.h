#pragma once

// What the steps' files share beyond the public interface, and the two ways of masking
// apart, so that each can be checked on its own.

#include <QString>
#include <QStringList>
#include <QStringView>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/splitter/splitter.h"

namespace brintale::detail {

// Lists of more entries than this (after repeated ones) look them up by hash at each place
// where one may be; shorter ones keep small buckets, quicker for a few entries.
inline constexpr std::size_t kHashedEntries = 512;

// A list's entries made ready for searching, once for many texts.
class PreparedList;
std::shared_ptr<const PreparedList> PrepareList(const QStringList& abbreviations,
                                                std::size_t hashedAbove = kHashedEntries);

// One pass over the text for all entries at once. Gives up (nullopt) when an entry could
// match across a marker that an earlier entry inserted, where only the pass-by-pass method
// is exact. `prepared`, when given, is PrepareList(abbreviations).
std::optional<MaskedText> MaskByOccurrences(const QString& text, const QStringList& abbreviations,
                                            const PreparedList* prepared = nullptr);

// MaskAbbreviations with the list made ready before.
MaskedText MaskAbbreviations(QString text, const QStringList& abbreviations,
                             const PreparedList& prepared);

// One pass over the whole text per entry, as the rules tell it; linear per entry.
MaskedText MaskByPasses(QString text, const QStringList& abbreviations);

// The masked text spelled out, carriage returns removed; wholeMarkers (optional) receives
// the start and length of every marker that is still whole.
QString SpellMasked(const MaskedText& masked,
                    std::vector<std::pair<qsizetype, qsizetype>>* wholeMarkers);

// "Abbreviation_" and the index.
QString MarkerText(qsizetype entry);

// Whether some placement of the folded units overlaps the folded marker of an entry by at
// least one unit, all equal: whether an entry could match across that marker.
bool CanOverlapMarker(std::u16string_view folded, qsizetype entry);

// Which of a set of markers an entry could match across, for lists of any size: the answer
// of CanOverlapMarker for the least marker of the set it holds for, without trying each.
class MarkerOverlaps {
  public:
    // The entries whose markers may stand in the text, in any order.
    explicit MarkerOverlaps(std::vector<qsizetype> entries);
    // The least of the entries whose marker CanOverlapMarker(folded, ...) holds for; -1: none.
    qsizetype First(std::u16string_view folded);

  private:
    // The least entry whose index has `length` digits, of which those at [from, to) are the
    // digits of `fixed`; -1: none.
    qsizetype FirstMatching(int length, int from, int to, std::uint64_t fixed);

    std::vector<qsizetype> entries_;  // ascending
    std::unordered_map<std::uint64_t, qsizetype> known_;
    std::unordered_map<std::u16string, qsizetype> firsts_;
};

// Calls visit(u) for every code unit u whose folding is `folded`.
void ForEachUnitFoldingTo(char16_t folded, const std::function<void(char16_t)>& visit);

// The sentences of a masked text as one list, without and with their stretches.
QStringList ScanSentenceList(const MaskedText& masked, QStringView separators);
std::vector<LocatedSentence> ScanLocatedSentenceList(const MaskedText& masked,
                                                     QStringView separators);

// What one stretch of a longer text leaves to the next: the buffer still open at its end
// and the number of sentences so far.
struct ScanCarry {
    // The open buffer, spaces trimmed: nothing yet, one line feed or tab alone, or more.
    enum class Lone { Blank, OneBreak, Other };

    // The lone-break rule a unit (or byte) at a time: a line feed or a tab takes a buffer
    // from blank to one break, anything else but spaces and carriage returns makes it other.
    template <typename Unit>
    static Lone After(Lone state, Unit u) {
        if (u == Unit(' ') || u == Unit('\r')) return state;
        if ((u == Unit('\n') || u == Unit('\t')) && state == Lone::Blank) return Lone::OneBreak;
        return Lone::Other;
    }
    // The same after d[0, n).
    template <typename Unit>
    static Lone After(Lone state, const Unit* d, qsizetype n) {
        for (qsizetype i = 0; i < n && state != Lone::Other; ++i) state = After(state, d[i]);
        return state;
    }

    Lone lone = Lone::Blank;
    // Its sentence so far (unless counting): markers restored, leading spaces trimmed,
    // breaks removed; spaces after its last other unit wait in pendingSpaces, since only
    // what follows tells whether they are trailing.
    QString text;
    qsizetype pendingSpaces = 0;
    bool started = false;               // a unit other than a space has come
    std::int64_t start = -1, end = -1;  // its stretch so far, placed in the whole text
    bool parted = false;                // some of its text went out already
    std::int64_t sentences = 0;

    void Reset() {
        const std::int64_t kept = sentences;
        *this = ScanCarry();
        sentences = kept;
    }
};

// Whether no occurrence of an entry (folded, carriage returns skipped) can take in the units
// on both sides of `at` in d[0, n), so that the text can be cut there; past n the rest of a
// match may still come. foldedOf gives an entry's folded units, fold a unit's folding.
template <typename Unit, typename Entries, typename FoldedOf, typename FoldUnit>
bool NoneStraddles(const Unit* d, qsizetype n, qsizetype at, const Entries& entries,
                   FoldedOf foldedOf, FoldUnit fold) {
    for (const auto& entry : entries) {
        const auto& e = foldedOf(entry);
        for (std::size_t k = 1; k < e.size(); ++k) {
            // e[0, k) ends before `at`, e[k, end) starts there.
            bool match = true;
            qsizetype r = at;
            for (std::size_t j = k; match && j-- > 0;) {
                do --r;
                while (r >= 0 && d[r] == Unit('\r'));
                match = r >= 0 && fold(d[r]) == static_cast<Unit>(e[j]);
            }
            r = at - 1;
            for (std::size_t j = k; match && j < e.size(); ++j) {
                do ++r;
                while (r < n && d[r] == Unit('\r'));
                if (r >= n) return false;
                match = fold(d[r]) == static_cast<Unit>(e[j]);
            }
            if (match) return false;
        }
    }
    return true;
}

// The most units (bytes, for the byte counter) held with no place to cut them, unless told
// otherwise.
inline constexpr qsizetype kHeldLimit = qsizetype(4) << 20;

// Throws Failure when more than `limit` units are held with no place to cut; 0: no limit.
void CheckHeld(qsizetype held, qsizetype limit);

struct StepOptions {
    bool countOnly = false;
    // An open buffer whose sentence grows to this many units hands it out in parts;
    // 0 keeps it whole.
    qsizetype partUnits = 0;
};

// Where a stretch of a longer text lies in the whole, to place its positions there.
struct StretchPlace {
    std::int64_t start = 0;       // in units
    std::int64_t startPoint = 0;  // in code points
    // Null: positions in units. Else positions in code points, and the second units of the
    // stretch's surrogate pairs, which count no code point of their own, in order.
    const std::vector<qsizetype>* seconds = nullptr;

    // A position of the stretch (UTF-16 units from its start) in the whole text.
    std::int64_t At(qsizetype position) const {
        if (!seconds) return start + position;
        const auto before = std::lower_bound(seconds->begin(), seconds->end(), position);
        return startPoint + position - (before - seconds->begin());
    }
};

// Steps 3 and 4 over one stretch of a longer text, cut where no abbreviation can straddle
// it: the buffer left open before it is carried in, the one open at its end left in carry.
// Sentences go to receiver, placed by place.
void ScanStep(const MaskedText& masked, QStringView separators, const StepOptions& options,
              ScanCarry& carry, const StretchPlace& place, SentenceReceiver& receiver);

// Open addressing over 64-bit keys (never 0) to small numbers.
class FlatIndex {
  public:
    void Reserve(std::size_t items) {
        std::size_t size = 16;
        while (size < 2 * items) size *= 2;
        keys_.assign(size, 0);
        values_.assign(size, -1);
    }
    int Find(std::uint64_t key) const {
        for (std::size_t i = key & (keys_.size() - 1);; i = (i + 1) & (keys_.size() - 1)) {
            if (keys_[i] == key) return values_[i];
            if (keys_[i] == 0) return -1;
        }
    }
    // The value of key, given `fresh` when it is new.
    int Insert(std::uint64_t key, int fresh) {
        for (std::size_t i = key & (keys_.size() - 1);; i = (i + 1) & (keys_.size() - 1)) {
            if (keys_[i] == key) return values_[i];
            if (keys_[i] == 0) {
                keys_[i] = key;
                values_[i] = fresh;
                return fresh;
            }
        }
    }

  private:
    std::vector<std::uint64_t> keys_;
    std::vector<int> values_;
};

}  // namespace brintale::detail
