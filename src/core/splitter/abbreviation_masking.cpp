// Step 2: every listed abbreviation replaced by its marker, entry after entry.

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <utility>

#include "core/failure.h"
#include "core/splitter/splitter.h"
#include "core/splitter/splitter_detail.h"
#include "core/splitter/splitter_units.h"
#include "core/splitter/unit_set.h"

namespace brintale {
namespace detail {
namespace {

[[noreturn]] void RefuseTooLarge() {
    throw Failure(
        QStringLiteral("The abbreviation list makes the text too large to count: its entries "
                       "match inside each other's markers, or too often."));
}

// ---------------------------------------------------------------------------------------
// Masking by occurrences

// Weight of a unit not yet searched for when choosing an entry's anchor: every new unit
// slows the search for all the others.
constexpr int kNewAnchorCostFactor = 16;

// The candidate index: each anchor value has buckets keyed by the one or two units next to
// the anchor, hashed into these many keys. Few enough that the index stays small, enough
// that unrelated entries rarely share a bucket.
constexpr int kUnitKeys = 64;
constexpr int kPairKeys = 256;
// Odd, so that no bit of the unit two before the anchor is lost; not 1, so that a swapped
// pair gets another key.
constexpr unsigned kPairKeyMultiplier = 37;

// Rough frequency of a folded unit in running prose, to anchor each entry on its rarest unit.
int Frequency(char16_t f) {
    static const std::array<std::uint16_t, 128> table = [] {
        std::array<std::uint16_t, 128> t{};
        t.fill(10);
        const std::pair<char, std::uint16_t> known[] = {
            {' ', 1800}, {'e', 1000}, {'t', 720}, {'a', 650}, {'o', 600}, {'i', 560}, {'n', 560},
            {'s', 520},  {'h', 480},  {'r', 480}, {'d', 340}, {'l', 320}, {'c', 220}, {'u', 220},
            {'m', 200},  {'w', 190},  {'f', 180}, {'g', 160}, {'y', 160}, {'p', 150}, {'b', 120},
            {',', 100},  {'.', 90},   {'v', 80},  {'k', 60},  {'\n', 50}, {'x', 15},  {'j', 10},
            {'q', 10},   {'z', 8},    {'\t', 20}};
        for (auto [c, n] : known) t[static_cast<unsigned char>(c)] = n;
        for (char c = '0'; c <= '9'; ++c) t[static_cast<unsigned char>(c)] = 20;
        return t;
    }();
    return f < 0x80 ? table[f] : 20;
}

struct Entry {
    qsizetype index = 0;  // in the list
    std::u16string folded;
    int anchor = 0;  // offset of the unit the search looks for first
    bool hasDigit = false;
    bool mayCutMarkerLetters = false;  // could overlap "Abbreviation_" without any digit
};

struct Occurrence {
    qsizetype start;
    qsizetype end;
    qsizetype entry;  // in the prepared entries
};

// Whether some placement of text e overlaps marker m by at least one unit, all equal.
bool CanOverlap(std::u16string_view e, std::u16string_view m) {
    const auto el = qsizetype(e.size()), ml = qsizetype(m.size());
    for (qsizetype d = -(ml - 1); d < el; ++d) {
        const qsizetype lo = std::max<qsizetype>(0, d), hi = std::min(el, d + ml);
        bool equal = lo < hi;
        for (qsizetype x = lo; equal && x < hi; ++x) equal = e[x] == m[x - d];
        if (equal) return true;
    }
    return false;
}

std::u16string FoldedMarker(qsizetype entry) {
    char16_t buffer[kMarkerCapacity];
    return std::u16string(buffer, WriteMarker(entry, buffer, kFoldedMarkerPrefix));
}

// How many code units fold to a value.
int Preimages(char16_t value) {
    static const std::vector<std::uint8_t> counts = [] {
        std::vector<std::uint8_t> c(0x10000, 0);
        for (char32_t u = 0; u <= 0xFFFF; ++u) ++c[Fold(char16_t(u))];
        return c;
    }();
    return counts[value];
}

// The entries to search for. An entry folded as one before it finds nothing that one left,
// unless it matches across a marker (which `repeated` is kept to tell).
std::vector<Entry> PrepareEntries(const QStringList& abbreviations,
                                  std::vector<std::pair<qsizetype, std::u16string>>& repeated) {
    std::vector<Entry> entries;
    entries.reserve(std::size_t(abbreviations.size()));
    std::unordered_set<std::u16string> seen(std::size_t(abbreviations.size()));
    std::vector<char16_t> anchors;
    // The units the search for anchors looks for; kept within what a UnitSet searches for
    // with vector compares, where an entry allows.
    int anchorUnits = 0;
    const std::u16string_view prefix(kFoldedMarkerPrefix, kMarkerPrefixLength);
    for (qsizetype i = 0; i < abbreviations.size(); ++i) {
        const QString& a = abbreviations[i];
        // An empty entry changes nothing; one with a carriage return never matches the text.
        if (a.isEmpty() || a.contains(QChar(kCarriageReturn))) continue;
        Entry e;
        e.index = i;
        e.folded.reserve(a.size());
        for (QChar c : a) e.folded.push_back(Fold(c.unicode()));
        if (!seen.insert(e.folded).second) {
            repeated.emplace_back(i, std::move(e.folded));
            continue;
        }
        // The rarest unit, preferring one that is searched for already.
        int best = -1, bestCost = 0, bestUnits = 0;
        for (int pass = 0; pass < 2 && best < 0; ++pass) {
            for (int x = 0; x < int(e.folded.size()); ++x) {
                const char16_t f = e.folded[x];
                const bool known = std::find(anchors.begin(), anchors.end(), f) != anchors.end();
                const int units = known ? 0 : Preimages(f);
                if (pass == 0 && anchorUnits + units > UnitSet::kVectorMembers) continue;
                const int cost = Frequency(f) * (known ? 1 : kNewAnchorCostFactor);
                if (best < 0 || cost < bestCost) best = x, bestCost = cost, bestUnits = units;
            }
        }
        for (char16_t f : e.folded) e.hasDigit = e.hasDigit || (f >= u'0' && f <= u'9');
        e.anchor = best;
        if (bestUnits > 0) anchors.push_back(e.folded[best]), anchorUnits += bestUnits;
        const std::u16string_view f(e.folded);
        for (std::size_t l = 1; l <= std::min(f.size(), prefix.size()); ++l)
            if (f.substr(f.size() - l) == prefix.substr(0, l)) e.mayCutMarkerLetters = true;
        if (prefix.find(f) != std::u16string_view::npos) e.mayCutMarkerLetters = true;
        entries.push_back(std::move(e));
    }
    return entries;
}

using detail::FlatIndex;

std::uint64_t Key(std::uint64_t a, std::uint64_t b) {
    std::uint64_t x = a * 0x9E3779B97F4A7C15ull ^ (b + 0x632BE59BD9B4E019ull);
    x = (x ^ (x >> 31)) * 0xBF58476D1CE4E5B9ull;
    x ^= x >> 29;
    return x | 1;
}

}  // namespace

// The entries of a list made ready for the search, once for every text.
class PreparedList {
  public:
    PreparedList(const QStringList& abbreviations, std::size_t hashedAbove);
    // nullopt when there are more than `most`.
    std::optional<std::vector<Occurrence>> FindOccurrences(const QString& text,
                                                           std::size_t most) const;

    std::vector<Entry> entries;
    std::vector<std::pair<qsizetype, std::u16string>> repeated;

  private:
    // Anchor values get slots; each slot has buckets keyed by the two units before the
    // anchor (entries anchored two or more units past their start), the one unit before it
    // (anchored one unit past), the unit after it (anchored at the start), or none.
    static constexpr int kBefore = kPairKeys, kAfter = kBefore + kUnitKeys,
                         kNone = kAfter + kUnitKeys;
    static constexpr int kBuckets = kNone + 1;
    static int PairKey(char16_t before, char16_t twoBefore) {
        return int((before ^ (unsigned(twoBefore) * kPairKeyMultiplier)) % kPairKeys);
    }
    int SlotOf(char16_t value) const {
        if (value < 0x80) return lowSlot_[value];
        const auto it = std::find(slotValue_.begin(), slotValue_.end(), value);
        return it == slotValue_.end() ? -1 : int(it - slotValue_.begin());
    }

    std::vector<char16_t> slotValue_;
    std::array<int, 128> lowSlot_;
    std::vector<std::uint32_t> offsets_, items_;
    UnitSet anchorUnits_;
    // Long lists: by slot, the anchors' offsets ascending; the entries by their units before
    // the anchor (a group), then by those after it.
    bool hashed_ = false;
    std::vector<std::vector<int>> anchorOffsets_;
    FlatIndex prefixes_, tails_;
    std::vector<std::vector<int>> tailLengths_, lists_;
};

PreparedList::PreparedList(const QStringList& abbreviations, std::size_t hashedAbove) {
    entries = PrepareEntries(abbreviations, repeated);
    lowSlot_.fill(-1);
    std::vector<int> slotOfEntry(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        const char16_t value = e.folded[e.anchor];
        int slot = SlotOf(value);
        if (slot < 0) {
            slot = int(slotValue_.size());
            slotValue_.push_back(value);
            if (value < 0x80) lowSlot_[value] = slot;
        }
        slotOfEntry[i] = slot;
    }
    for (char16_t value : slotValue_)
        ForEachUnitFoldingTo(value, [&](char16_t u) { anchorUnits_.Add(u); });
    hashed_ = entries.size() > hashedAbove;
    if (hashed_) {
        anchorOffsets_.resize(slotValue_.size());
        prefixes_.Reserve(entries.size());
        tails_.Reserve(entries.size());
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const Entry& e = entries[i];
            std::uint64_t before = std::uint64_t(slotOfEntry[i]);
            for (int j = e.anchor - 1; j >= 0; --j) before = Key(before, e.folded[j]);
            const int group =
                prefixes_.Insert(Key(before, std::uint64_t(e.anchor)), int(tailLengths_.size()));
            if (group == int(tailLengths_.size())) tailLengths_.emplace_back();
            std::uint64_t after = std::uint64_t(group);
            for (std::size_t j = std::size_t(e.anchor) + 1; j < e.folded.size(); ++j)
                after = Key(after, e.folded[j]);
            const int tail = int(e.folded.size()) - e.anchor - 1;
            const int list =
                tails_.Insert(Key(after, std::uint64_t(tail) << 32), int(lists_.size()));
            if (list == int(lists_.size())) lists_.emplace_back();
            lists_[std::size_t(list)].push_back(int(i));
            for (const auto& [v, value] :
                 {std::pair(&anchorOffsets_[std::size_t(slotOfEntry[i])], e.anchor),
                  std::pair(&tailLengths_[std::size_t(group)], tail)}) {
                const auto at = std::lower_bound(v->begin(), v->end(), value);
                if (at == v->end() || *at != value) v->insert(at, value);
            }
        }
        return;
    }
    std::vector<int> bucketOf(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        int bucket = kNone;
        if (e.anchor > 1)
            bucket = PairKey(e.folded[e.anchor - 1], e.folded[e.anchor - 2]);
        else if (e.anchor == 1)
            bucket = kBefore + e.folded[0] % kUnitKeys;
        else if (e.folded.size() > 1)
            bucket = kAfter + e.folded[1] % kUnitKeys;
        bucketOf[i] = slotOfEntry[i] * kBuckets + bucket;
    }
    offsets_.assign(slotValue_.size() * kBuckets + 1, 0);
    for (int b : bucketOf) ++offsets_[b + 1];
    for (std::size_t b = 1; b < offsets_.size(); ++b) offsets_[b] += offsets_[b - 1];
    items_.resize(entries.size());
    std::vector<std::uint32_t> fill(offsets_.begin(), offsets_.end() - 1);
    for (std::size_t i = 0; i < entries.size(); ++i) items_[fill[bucketOf[i]]++] = i;
}

// Every occurrence of every entry in the text (carriage returns skipped), overlapping ones
// included, found from each entry's anchor unit.
std::optional<std::vector<Occurrence>> PreparedList::FindOccurrences(const QString& text,
                                                                     std::size_t most) const {
    const char16_t* d = Units(text);
    const qsizetype n = text.size();
    std::vector<Occurrence> found;
    bool over = false;
    const auto verify = [&](std::uint32_t item, qsizetype q) {
        const Entry& e = entries[item];
        const std::u16string& f = e.folded;
        qsizetype r = q;
        for (int j = e.anchor - 1; j >= 0; --j) {
            do --r;
            while (r >= 0 && d[r] == kCarriageReturn);
            if (r < 0 || Fold(d[r]) != f[j]) return;
        }
        const qsizetype start = r;
        r = q;
        for (int j = e.anchor + 1; j < int(f.size()); ++j) {
            do ++r;
            while (r < n && d[r] == kCarriageReturn);
            if (r >= n || Fold(d[r]) != f[j]) return;
        }
        if (found.size() < most)
            found.push_back({start, r + 1, qsizetype(item)});
        else
            over = true;
    };
    if (hashed_) {
        anchorUnits_.ForEach(d, 0, n, [&](qsizetype q) {
            if (over) return;
            const int slot = SlotOf(Fold(d[q]));
            std::uint64_t before = std::uint64_t(slot);
            int read = 0;
            qsizetype back = q;
            for (const int offset : anchorOffsets_[std::size_t(slot)]) {
                for (; read < offset; ++read) {
                    do --back;
                    while (back >= 0 && d[back] == kCarriageReturn);
                    if (back < 0) return;
                    before = Key(before, Fold(d[back]));
                }
                const int group = prefixes_.Find(Key(before, std::uint64_t(offset)));
                if (group < 0) continue;
                std::uint64_t after = std::uint64_t(group);
                int length = 0;
                qsizetype ahead = q;
                for (const int wanted : tailLengths_[std::size_t(group)]) {
                    for (; length < wanted; ++length) {
                        do ++ahead;
                        while (ahead < n && d[ahead] == kCarriageReturn);
                        if (ahead >= n) break;
                        after = Key(after, Fold(d[ahead]));
                    }
                    if (length < wanted) break;
                    const int list = tails_.Find(Key(after, std::uint64_t(wanted) << 32));
                    if (list < 0) continue;
                    for (const int k : lists_[std::size_t(list)]) verify(std::uint32_t(k), q);
                }
            }
        });
        if (over) return std::nullopt;
        return found;
    }
    const auto visit = [&](int bucket, qsizetype q) {
        for (std::uint32_t k = offsets_[bucket]; k < offsets_[bucket + 1]; ++k)
            verify(items_[k], q);
    };
    anchorUnits_.ForEach(d, 0, n, [&](qsizetype q) {
        if (over) return;
        const int slot = SlotOf(Fold(d[q]));
        const int base = slot * kBuckets;
        qsizetype before = q - 1;
        while (before >= 0 && d[before] == kCarriageReturn) --before;
        if (before >= 0) {
            const char16_t b = Fold(d[before]);
            visit(base + kBefore + b % kUnitKeys, q);
            qsizetype twoBefore = before - 1;
            while (twoBefore >= 0 && d[twoBefore] == kCarriageReturn) --twoBefore;
            if (twoBefore >= 0) visit(base + PairKey(b, Fold(d[twoBefore])), q);
        }
        qsizetype after = q + 1;
        while (after < n && d[after] == kCarriageReturn) ++after;
        if (after < n) visit(base + kAfter + Fold(d[after]) % kUnitKeys, q);
        visit(base + kNone, q);
    });
    if (over) return std::nullopt;
    return found;
}

namespace {

// Occurrences that overlap each other, resolved as the passes in list order would: each
// entry takes its leftmost occurrences that overlap neither its own earlier pick nor any
// pick of an earlier entry.
void ResolveCluster(std::vector<Occurrence> cluster, std::vector<Occurrence>& accepted) {
    std::stable_sort(cluster.begin(), cluster.end(),
                     [](const Occurrence& a, const Occurrence& b) { return a.entry < b.entry; });
    std::map<qsizetype, qsizetype> taken;  // start -> end, disjoint
    std::vector<Occurrence> picked;
    for (const Occurrence& o : cluster) {
        // Its own earlier picks are among the taken ones too.
        auto it = taken.lower_bound(o.end);
        if (it != taken.begin() && std::prev(it)->second > o.start) continue;
        taken.emplace(o.start, o.end);
        picked.push_back(o);
    }
    std::sort(picked.begin(), picked.end(),
              [](const Occurrence& a, const Occurrence& b) { return a.start < b.start; });
    accepted.insert(accepted.end(), picked.begin(), picked.end());
}

}  // namespace

void ForEachUnitFoldingTo(char16_t folded, const std::function<void(char16_t)>& visit) {
    if (folded < 0x80) {
        // The common case, without folding every unit: of those beyond ASCII only U+017F
        // and U+212A fold into it, in the same order as below.
        if (Fold(folded) == folded) visit(folded);
        for (char16_t u = 0; u < 0x80; ++u)
            if (u != folded && Fold(u) == folded) visit(u);
        for (const char16_t u : {char16_t(0x017F), char16_t(0x212A)})
            if (Fold(u) == folded) visit(u);
        return;
    }
    // Every code unit whose folding differs from itself, by its folding.
    static const std::vector<std::pair<char16_t, char16_t>> unfoldings = [] {
        std::vector<std::pair<char16_t, char16_t>> v;
        for (char32_t u = 0; u <= 0xFFFF; ++u)
            if (const char16_t f = Fold(char16_t(u)); f != u) v.emplace_back(f, char16_t(u));
        std::sort(v.begin(), v.end());
        return v;
    }();
    if (Fold(folded) == folded) visit(folded);
    for (auto it =
             std::lower_bound(unfoldings.begin(), unfoldings.end(), std::pair(folded, char16_t(0)));
         it != unfoldings.end() && it->first == folded; ++it)
        visit(it->second);
}

bool CanOverlapMarker(std::u16string_view folded, qsizetype entry) {
    return CanOverlap(folded, FoldedMarker(entry));
}

MarkerOverlaps::MarkerOverlaps(std::vector<qsizetype> entries) : entries_(std::move(entries)) {
    std::sort(entries_.begin(), entries_.end());
    entries_.erase(std::unique(entries_.begin(), entries_.end()), entries_.end());
}

qsizetype MarkerOverlaps::FirstMatching(int length, int from, int to, std::uint64_t fixed) {
    const std::uint64_t key =
        fixed | std::uint64_t(to) << 40 | std::uint64_t(from) << 48 | std::uint64_t(length) << 56;
    if (const auto known = known_.find(key); known != known_.end()) return known->second;
    const auto power = [](int n) {
        qsizetype p = 1;
        while (n-- > 0) p *= 10;
        return p;
    };
    // Ascending digits before the fixed ones give ascending indices: the first hit is least.
    qsizetype first = -1;
    const qsizetype low = length > 1 ? power(length - 1) : 0;
    const qsizetype span = power(length - to);
    for (qsizetype head = from > 0 ? power(from - 1) : 0;
         head < std::max<qsizetype>(power(from), 1); ++head) {
        const qsizetype lo = std::max(low, (head * power(to - from) + qsizetype(fixed)) * span);
        const qsizetype hi =
            std::min(power(length), (head * power(to - from) + qsizetype(fixed) + 1) * span);
        if (entries_.empty() || lo > entries_.back()) break;
        if (lo >= hi) continue;
        const auto it = std::lower_bound(entries_.begin(), entries_.end(), lo);
        if (it != entries_.end() && *it < hi) {
            first = *it;
            break;
        }
    }
    known_.emplace(key, first);
    return first;
}

qsizetype MarkerOverlaps::First(std::u16string_view folded) {
    if (entries_.empty() || folded.empty()) return -1;
    const std::u16string_view prefix(kFoldedMarkerPrefix, kMarkerPrefixLength);
    const auto inMarker = [&](char16_t u) {
        return (u >= u'0' && u <= u'9') || prefix.find(u) != std::u16string_view::npos;
    };
    const auto el = qsizetype(folded.size());
    // An overlap takes in the entry's first unit, its last, or the whole marker: most entries
    // can be let go at a glance.
    bool may = folded.find(prefix) != std::u16string_view::npos;
    for (qsizetype x = 0; !may && x < el && inMarker(folded[x]); ++x)
        may = x == el - 1 || (folded[x] >= u'0' && folded[x] <= u'9');
    for (qsizetype x = el - 1; !may && x >= 0 && inMarker(folded[x]); --x)
        may = folded[x] == u'a' &&
              prefix.starts_with(folded.substr(x, std::min<qsizetype>(el - x, prefix.size())));
    if (!may) return -1;
    const std::u16string key(folded);
    if (const auto known = firsts_.find(key); known != firsts_.end()) return known->second;
    qsizetype first = -1;
    int maxLength = 1;
    for (qsizetype v = entries_.back(); v >= 10; v /= 10) ++maxLength;
    for (int length = 1; length <= maxLength; ++length) {
        const qsizetype ml = kMarkerPrefixLength + length;
        for (qsizetype d = -(ml - 1); d < el; ++d) {
            const qsizetype lo = std::max<qsizetype>(0, d), hi = std::min(el, d + ml);
            bool equal = lo < hi;
            std::uint64_t fixed = 0;
            for (qsizetype x = lo; equal && x < hi; ++x) {
                const qsizetype p = x - d;
                const char16_t u = folded[x];
                if (p < kMarkerPrefixLength) {
                    equal = u == prefix[p];
                } else {
                    // No index has a leading zero but 0 itself.
                    equal = u >= u'0' && u <= u'9' &&
                            !(u == u'0' && p == kMarkerPrefixLength && length > 1);
                    fixed = fixed * 10 + (u - u'0');
                }
            }
            if (!equal) continue;
            const int from =
                int(std::max<qsizetype>(lo - d, kMarkerPrefixLength) - kMarkerPrefixLength);
            const int to =
                int(std::max<qsizetype>(hi - d, kMarkerPrefixLength) - kMarkerPrefixLength);
            const qsizetype found = FirstMatching(length, std::min(from, to), to, fixed);
            if (found >= 0 && (first < 0 || found < first)) first = found;
        }
    }
    firsts_.emplace(key, first);
    return first;
}

QString MarkerText(qsizetype entry) {
    char16_t text[kMarkerCapacity];
    return QString(reinterpret_cast<const QChar*>(text), WriteMarker(entry, text));
}

std::shared_ptr<const PreparedList> PrepareList(const QStringList& abbreviations,
                                                std::size_t hashedAbove) {
    return std::make_shared<const PreparedList>(abbreviations, hashedAbove);
}

std::optional<MaskedText> MaskByOccurrences(const QString& text, const QStringList& abbreviations,
                                            const PreparedList* prepared) {
    MaskedText masked{text, {}, abbreviations, {}};
    std::optional<PreparedList> own;
    if (!prepared) prepared = &own.emplace(abbreviations, kHashedEntries);
    const std::vector<Entry>& entries = prepared->entries;
    const auto& repeated = prepared->repeated;
    if (entries.empty()) return masked;

    // Entries nested in each other can match many times at each place; beyond a match a
    // unit the passes, whose memory does not grow with the list, take over.
    std::optional<std::vector<Occurrence>> occurrences =
        prepared->FindOccurrences(text, std::size_t(text.size() + 4096));
    if (!occurrences) return std::nullopt;
    std::vector<Occurrence> found = std::move(*occurrences);
    std::sort(found.begin(), found.end(), [](const Occurrence& a, const Occurrence& b) {
        return a.start != b.start ? a.start < b.start : a.entry < b.entry;
    });
    std::vector<Occurrence> accepted;
    accepted.reserve(found.size());
    for (std::size_t i = 0; i < found.size();) {
        std::size_t j = i + 1;
        qsizetype end = found[i].end;
        for (; j < found.size() && found[j].start < end; ++j) end = std::max(end, found[j].end);
        if (j == i + 1)
            accepted.push_back(found[i]);
        else
            ResolveCluster(std::vector<Occurrence>(found.begin() + i, found.begin() + j), accepted);
        i = j;
    }
    std::vector<Occurrence>().swap(found);

    // The picks above are those of the passes as long as no entry can match across a marker
    // that an earlier entry put into the text (a repeated entry included).
    std::vector<qsizetype> used;
    for (const Occurrence& o : accepted)
        if (used.empty() || used.back() != entries[o.entry].index)
            used.push_back(entries[o.entry].index);
    if (!used.empty()) {
        MarkerOverlaps overlaps(std::move(used));
        for (const auto& [index, folded] : repeated)
            if (const qsizetype first = overlaps.First(folded); first >= 0 && first < index)
                return std::nullopt;
        for (const Entry& e : entries)
            if (e.mayCutMarkerLetters || e.hasDigit)
                if (const qsizetype first = overlaps.First(e.folded); first >= 0 && first < e.index)
                    return std::nullopt;
    }

    // No entry matches inside a marker here, so after each entry the masked text is the
    // text with the picks of that entry and the earlier ones masked.
    std::vector<qsizetype> growth(entries.size(), 0);
    for (const Occurrence& o : accepted) {
        const Entry& e = entries[o.entry];
        growth[o.entry] += MarkerLength(e.index) - qsizetype(e.folded.size());
    }
    qsizetype most = 0;
    for (qsizetype sum = 0; qsizetype g : growth) most = std::max(most, sum += g);
    // Carriage returns are not part of the masked text; counting them is rarely needed.
    const qsizetype limit = MaskedTextLimit(text.size());
    if (text.size() + most > limit &&
        text.size() - text.count(QChar(kCarriageReturn)) + most > limit)
        RefuseTooLarge();

    masked.markers.reserve(accepted.size());
    for (const Occurrence& o : accepted) {
        const qsizetype index = entries[o.entry].index;
        masked.markers.push_back({o.start, o.end - o.start, index, 0, MarkerLength(index)});
    }
    return masked;
}

MaskedText MaskByPasses(QString text, const QStringList& abbreviations) {
    const qsizetype limit = MaskedTextLimit(text.size());
    // The passes run on the text without carriage returns; where each of its units stood in
    // the text as given (none: the same place).
    std::vector<qsizetype> placeOf;
    const QString original = text;
    if (text.contains(QChar(kCarriageReturn))) {
        const char16_t* o = Units(original);
        for (qsizetype k = 0; k < original.size(); ++k)
            if (o[k] != kCarriageReturn) placeOf.push_back(k);
        placeOf.push_back(original.size());
        text = RemoveCarriageReturns(std::move(text));
    }
    const auto place = [&](qsizetype k) { return placeOf.empty() ? k : placeOf[k]; };

    // The masked text as stretches: [a, b) of the text (entry < 0) or of an entry's marker;
    // a marker's stretch of the text is [from, to), matched in text alone or not.
    struct Segment {
        qsizetype a, b, entry;
        qsizetype from = 0, to = 0;
        bool textAlone = true;
    };
    std::vector<Segment> segments;
    if (!text.isEmpty()) segments.push_back({0, text.size(), -1});
    const char16_t* d = Units(text);

    // The masked text spelled out, made again only after an entry has changed it.
    std::u16string current;
    bool changed = true;
    for (qsizetype i = 0; i < abbreviations.size(); ++i) {
        const QString& entry = abbreviations[i];
        if (entry.isEmpty() || segments.empty()) continue;
        std::u16string e;
        for (QChar c : entry) e.push_back(Fold(c.unicode()));
        const auto m = qsizetype(e.size());

        if (changed) {
            current.clear();
            for (const Segment& s : segments) {
                if (s.entry < 0) {
                    current.append(d + s.a, d + s.b);
                } else {
                    char16_t marker[kMarkerCapacity];
                    WriteMarker(s.entry, marker);
                    current.append(marker + s.a, marker + s.b);
                }
            }
            changed = false;
        }
        // Leftmost, non-overlapping occurrences (Knuth-Morris-Pratt over folded units).
        std::vector<qsizetype> fail(m, 0);
        for (qsizetype k = 1, j = 0; k < m; ++k) {
            while (j > 0 && e[k] != e[j]) j = fail[j - 1];
            if (e[k] == e[j]) ++j;
            fail[k] = j;
        }
        // Refused at the first match that takes the text past the limit, so that neither
        // the matches nor the next text are ever held beyond it.
        const qsizetype growth = MarkerLength(i) - m;
        std::vector<qsizetype> starts;
        for (qsizetype k = 0, j = 0; k < qsizetype(current.size()); ++k) {
            const char16_t c = Fold(current[k]);
            while (j > 0 && c != e[j]) j = fail[j - 1];
            if (c == e[j]) ++j;
            if (j < m) continue;
            starts.push_back(k - m + 1), j = 0;
            if (growth > 0 && qsizetype(current.size()) + qsizetype(starts.size()) * growth > limit)
                RefuseTooLarge();
        }
        if (starts.empty()) continue;

        std::vector<Segment> next;
        std::size_t si = 0;
        qsizetype segmentStart = 0, cursor = 0;
        const auto keepUpTo = [&](qsizetype to) {
            while (cursor < to) {
                const Segment& s = segments[si];
                const qsizetype segmentEnd = segmentStart + (s.b - s.a);
                if (segmentEnd <= cursor) {
                    segmentStart = segmentEnd;
                    ++si;
                    continue;
                }
                const qsizetype hi = std::min(to, segmentEnd);
                Segment kept = s;
                kept.a = s.a + (cursor - segmentStart);
                kept.b = s.a + (hi - segmentStart);
                next.push_back(kept);
                cursor = hi;
            }
        };
        // Where the units of a match came from, read off the segments they lie in.
        std::size_t oi = 0;
        qsizetype originStart = 0;
        const auto originOf = [&](qsizetype start) {
            Segment marker{0, MarkerLength(i), i};
            for (qsizetype k = start; k < start + m;) {
                while (originStart + (segments[oi].b - segments[oi].a) <= k)
                    originStart += segments[oi].b - segments[oi].a, ++oi;
                const Segment& s = segments[oi];
                const qsizetype offset = k - originStart;
                const qsizetype from = s.entry < 0 ? s.a + offset : s.from;
                const qsizetype to = s.entry < 0 ? s.a + offset + 1 : s.to;
                if (k == start) marker.from = from;
                marker.to = to;
                marker.textAlone = marker.textAlone && s.entry < 0;
                k = std::min(start + m, originStart + (s.b - s.a));
                if (s.entry < 0) marker.to = s.a + (k - originStart);
            }
            return marker;
        };
        for (qsizetype start : starts) {
            keepUpTo(start);
            next.push_back(originOf(start));
            cursor = start + m;
        }
        keepUpTo(qsizetype(current.size()));
        segments = std::move(next);
        changed = true;
    }

    MaskedText masked{original, {}, abbreviations, {}};
    qsizetype rawNext = 0;
    for (const Segment& s : segments) {
        if (s.entry >= 0) {
            masked.markers.push_back(
                {place(rawNext), 0, s.entry, std::int32_t(s.a), std::int32_t(s.b)});
            masked.origins.push_back({place(s.from), place(s.to - 1) + 1, s.textAlone});
            continue;
        }
        // The text between two kept stretches went into the markers between them.
        if (s.a > rawNext && !masked.markers.empty())
            masked.markers.back().length = place(s.a) - masked.markers.back().position;
        rawNext = s.b;
    }
    if (text.size() > rawNext && !masked.markers.empty())
        masked.markers.back().length = original.size() - masked.markers.back().position;
    return masked;
}

QString SpellMasked(const MaskedText& masked,
                    std::vector<std::pair<qsizetype, qsizetype>>* wholeMarkers) {
    QString out;
    const char16_t* d = Units(masked.text);
    qsizetype gapBegin = 0;
    const auto appendText = [&](qsizetype from, qsizetype to) {
        for (qsizetype i = from; i < to; ++i)
            if (d[i] != kCarriageReturn) out += QChar(d[i]);
    };
    for (const MaskedText::Marker& marker : masked.markers) {
        appendText(gapBegin, marker.position);
        char16_t text[kMarkerCapacity];
        const int length = WriteMarker(marker.entry, text);
        if (wholeMarkers && marker.from == 0 && marker.to == length)
            wholeMarkers->emplace_back(out.size(), length);
        out += QStringView(text + marker.from, text + marker.to);
        gapBegin = marker.position + marker.length;
    }
    appendText(gapBegin, masked.text.size());
    return out;
}

}  // namespace detail

MaskedText MaskAbbreviations(QString text, const QStringList& abbreviations) {
    if (auto masked = detail::MaskByOccurrences(text, abbreviations)) return std::move(*masked);
    return detail::MaskByPasses(std::move(text), abbreviations);
}

namespace detail {

MaskedText MaskAbbreviations(QString text, const QStringList& abbreviations,
                             const PreparedList& prepared) {
    if (auto masked = MaskByOccurrences(text, abbreviations, &prepared)) return std::move(*masked);
    return MaskByPasses(std::move(text), abbreviations);
}

}  // namespace detail

}  // namespace brintale
