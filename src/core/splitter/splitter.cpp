#include "core/splitter/splitter.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <map>
#include <string>
#include <utility>

#include "core/splitter/splitter_detail.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brintale {
namespace {

constexpr char16_t kCarriageReturn = u'\r';
constexpr char16_t kLineFeed = u'\n';
constexpr char16_t kTab = u'\t';
constexpr char16_t kSpace = u' ';

constexpr char16_t kMarkerPrefix[] = u"Abbreviation_";
constexpr char16_t kFoldedMarkerPrefix[] = u"abbreviation_";
constexpr int kMarkerPrefixLength = 13;
constexpr int kMarkerCapacity = kMarkerPrefixLength + 24;

// Simple case folding of one UTF-16 code unit.
inline char16_t Fold(char16_t u) {
    if (u < 0x80) return (u >= u'A' && u <= u'Z') ? char16_t(u + 0x20) : u;
    const char32_t folded = QChar::toCaseFolded(char32_t(u));
    return folded <= 0xFFFF ? char16_t(folded) : u;
}

int MarkerLength(qsizetype entry) {
    int digits = 1;
    for (qsizetype v = entry; v >= 10; v /= 10) ++digits;
    return kMarkerPrefixLength + digits;
}

// Writes the marker of an entry and returns its length.
int WriteMarker(qsizetype entry, char16_t* out, const char16_t* prefix = kMarkerPrefix) {
    std::memcpy(out, prefix, kMarkerPrefixLength * sizeof(char16_t));
    const int length = MarkerLength(entry);
    qsizetype v = entry;
    for (int k = length - 1; k >= kMarkerPrefixLength; --k, v /= 10)
        out[k] = char16_t(u'0' + v % 10);
    return length;
}

inline const char16_t* Units(const QString& s) {
    return reinterpret_cast<const char16_t*>(s.constData());
}

// A set of code units with a fast search for the first member in a range.
class UnitSet {
  public:
    void Add(char16_t u) {
        if (Contains(u)) return;
        bits_[u >> 6] |= std::uint64_t{1} << (u & 63);
        if (count_ < kVectorUnits) units_[count_] = u;
        ++count_;
    }
    bool Contains(char16_t u) const { return (bits_[u >> 6] >> (u & 63)) & 1; }
    bool Empty() const { return count_ == 0; }

    // Calls visit(position) for every position in [from, to) that holds a member, in order.
    template <typename Visit>
    void ForEach(const char16_t* d, qsizetype from, qsizetype to, Visit&& visit) const {
#if defined(__SSE2__)
        switch (count_) {
            case 0:
                return;
            case 1:
                return ForEachVector<1>(d, from, to, visit);
            case 2:
                return ForEachVector<2>(d, from, to, visit);
            case 3:
                return ForEachVector<3>(d, from, to, visit);
            case 4:
                return ForEachVector<4>(d, from, to, visit);
            case 5:
                return ForEachVector<5>(d, from, to, visit);
            case 6:
                return ForEachVector<6>(d, from, to, visit);
            case 7:
                return ForEachVector<7>(d, from, to, visit);
            case 8:
                return ForEachVector<8>(d, from, to, visit);
            default:
                break;
        }
#endif
        for (qsizetype i = from; i < to; ++i)
            if (Contains(d[i])) visit(i);
    }

    // Like ForEach, and tells each visit whether a carriage return, line feed or tab lies
    // after the previous member (or from) and up to this one.
    template <typename Visit>
    void ForEachNotingBreaks(const char16_t* d, qsizetype from, qsizetype to, Visit&& visit) const {
#if defined(__SSE2__)
        switch (count_) {
            case 0:
                return;
            case 1:
                return ForEachVector<1, true>(d, from, to, visit);
            case 2:
                return ForEachVector<2, true>(d, from, to, visit);
            case 3:
                return ForEachVector<3, true>(d, from, to, visit);
            case 4:
                return ForEachVector<4, true>(d, from, to, visit);
            case 5:
                return ForEachVector<5, true>(d, from, to, visit);
            case 6:
                return ForEachVector<6, true>(d, from, to, visit);
            case 7:
                return ForEachVector<7, true>(d, from, to, visit);
            case 8:
                return ForEachVector<8, true>(d, from, to, visit);
            default:
                break;
        }
#endif
        ScalarNotingBreaks(d, from, to, false, visit);
    }

  private:
    static constexpr int kVectorUnits = 8;

    static bool IsBreak(char16_t u) { return u == u'\r' || u == u'\n' || u == u'\t'; }

    template <typename Visit>
    void ScalarNotingBreaks(const char16_t* d, qsizetype i, qsizetype to, bool broke,
                            Visit& visit) const {
        for (; i < to; ++i) {
            broke = broke || IsBreak(d[i]);
            if (Contains(d[i])) visit(i, broke), broke = false;
        }
    }

#if defined(__SSE2__)
    // Thirty-two units at a time into a mask of two bits per unit, then the set bits.
    template <int N, bool kBreaks = false, typename Visit>
    void ForEachVector(const char16_t* d, qsizetype i, qsizetype to, Visit& visit) const {
        __m128i wanted[N];
        for (int k = 0; k < N; ++k) wanted[k] = _mm_set1_epi16(static_cast<short>(units_[k]));
        const __m128i cr = _mm_set1_epi16(u'\r'), lf = _mm_set1_epi16(u'\n'),
                      tab = _mm_set1_epi16(u'\t');
        const auto load = [](const char16_t* p) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        };
        const auto hits = [&](const char16_t* p) {
            const __m128i v = load(p);
            __m128i m = _mm_cmpeq_epi16(v, wanted[0]);
            for (int k = 1; k < N; ++k) m = _mm_or_si128(m, _mm_cmpeq_epi16(v, wanted[k]));
            return std::uint64_t(static_cast<unsigned>(_mm_movemask_epi8(m)));
        };
        const auto breaks = [&](const char16_t* p) {
            const __m128i v = load(p);
            const __m128i m =
                _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(v, cr), _mm_cmpeq_epi16(v, lf)),
                             _mm_cmpeq_epi16(v, tab));
            return std::uint64_t(static_cast<unsigned>(_mm_movemask_epi8(m)));
        };
        bool broke = false;
        for (; i + 32 <= to; i += 32) {
            std::uint64_t mask = hits(d + i) | hits(d + i + 8) << 16 | hits(d + i + 16) << 32 |
                                 hits(d + i + 24) << 48;
            if constexpr (kBreaks) {
                std::uint64_t pending = breaks(d + i) | breaks(d + i + 8) << 16 |
                                        breaks(d + i + 16) << 32 | breaks(d + i + 24) << 48;
                for (; mask; mask &= mask - 1, mask &= mask - 1) {
                    const int bit = std::countr_zero(mask);
                    const std::uint64_t upTo =
                        bit >= 62 ? ~std::uint64_t{0} : (std::uint64_t{4} << bit) - 1;
                    visit(i + (bit >> 1), broke || (pending & upTo) != 0);
                    broke = false;
                    pending &= ~upTo;
                }
                broke = broke || pending != 0;
            } else {
                for (; mask; mask &= mask - 1, mask &= mask - 1)
                    visit(i + (std::countr_zero(mask) >> 1));
            }
        }
        if constexpr (kBreaks) {
            ScalarNotingBreaks(d, i, to, broke, visit);
        } else {
            for (; i < to; ++i)
                if (Contains(d[i])) visit(i);
        }
    }
#endif

    std::array<std::uint64_t, 1024> bits_{};
    std::array<char16_t, kVectorUnits> units_{};
    int count_ = 0;
};

// Separators as scanning sees them: a carriage return never reaches the scan.
UnitSet SeparatorUnits(QStringView separators) {
    UnitSet set;
    for (QChar c : separators)
        if (c.unicode() != kCarriageReturn) set.Add(c.unicode());
    return set;
}

// Every code unit whose folding differs from itself, with its folding.
const std::vector<std::pair<char16_t, char16_t>>& FoldPairs() {
    static const std::vector<std::pair<char16_t, char16_t>> pairs = [] {
        std::vector<std::pair<char16_t, char16_t>> v;
        for (char32_t u = 0; u <= 0xFFFF; ++u) {
            const char16_t f = Fold(char16_t(u));
            if (f != u) v.emplace_back(char16_t(u), f);
        }
        return v;
    }();
    return pairs;
}

// ---------------------------------------------------------------------------------------
// Masking by occurrences

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

std::vector<Entry> PrepareEntries(const QStringList& abbreviations) {
    std::vector<Entry> entries;
    std::vector<char16_t> anchors;
    int anchorUnits = 0;  // beyond eight the search for anchors is no longer vectorised
    const std::u16string_view prefix(kFoldedMarkerPrefix, kMarkerPrefixLength);
    for (qsizetype i = 0; i < abbreviations.size(); ++i) {
        const QString& a = abbreviations[i];
        // An empty entry changes nothing; one with a carriage return never matches the text.
        if (a.isEmpty() || a.contains(QChar(kCarriageReturn))) continue;
        Entry e;
        e.index = i;
        e.folded.reserve(a.size());
        for (QChar c : a) e.folded.push_back(Fold(c.unicode()));
        // The rarest unit, preferring one that is searched for already.
        int best = -1, bestCost = 0, bestUnits = 0;
        for (int pass = 0; pass < 2 && best < 0; ++pass) {
            for (int x = 0; x < int(e.folded.size()); ++x) {
                const char16_t f = e.folded[x];
                const bool known = std::find(anchors.begin(), anchors.end(), f) != anchors.end();
                const int units = known ? 0 : Preimages(f);
                if (pass == 0 && anchorUnits + units > 8) continue;
                // A unit searched for already costs only its visits; a new one also slows
                // the search for every other anchor.
                const int cost = Frequency(f) * (known ? 1 : 16);
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

// Every occurrence of every entry in the text (carriage returns skipped), overlapping ones
// included, found from each entry's anchor unit.
std::vector<Occurrence> FindOccurrences(const QString& text, const std::vector<Entry>& entries) {
    // Anchor values get slots; each slot has buckets keyed by the two units before the
    // anchor (entries anchored two or more units past their start), the one unit before it
    // (anchored one unit past), the unit after it (anchored at the start), or none.
    constexpr int kKeys = 64;
    constexpr int kPairKeys = 256;
    constexpr int kBefore = kPairKeys, kAfter = kPairKeys + kKeys, kNone = kPairKeys + 2 * kKeys;
    constexpr int kBuckets = kNone + 1;
    const auto pairKey = [](char16_t before, char16_t twoBefore) {
        return int((before ^ (unsigned(twoBefore) * 37u)) % kPairKeys);
    };
    std::vector<char16_t> slotValue;
    std::array<int, 128> lowSlot;
    lowSlot.fill(-1);
    const auto slotOf = [&](char16_t value) {
        if (value < 0x80) return lowSlot[value];
        const auto it = std::find(slotValue.begin(), slotValue.end(), value);
        return it == slotValue.end() ? -1 : int(it - slotValue.begin());
    };
    std::vector<int> bucketOf(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        const char16_t value = e.folded[e.anchor];
        int slot = slotOf(value);
        if (slot < 0) {
            slot = int(slotValue.size());
            slotValue.push_back(value);
            if (value < 0x80) lowSlot[value] = slot;
        }
        int bucket = kNone;
        if (e.anchor > 1)
            bucket = pairKey(e.folded[e.anchor - 1], e.folded[e.anchor - 2]);
        else if (e.anchor == 1)
            bucket = kBefore + e.folded[0] % kKeys;
        else if (e.folded.size() > 1)
            bucket = kAfter + e.folded[1] % kKeys;
        bucketOf[i] = slot * kBuckets + bucket;
    }
    std::vector<std::uint32_t> offsets(slotValue.size() * kBuckets + 1, 0);
    for (int b : bucketOf) ++offsets[b + 1];
    for (std::size_t b = 1; b < offsets.size(); ++b) offsets[b] += offsets[b - 1];
    std::vector<std::uint32_t> items(entries.size());
    {
        std::vector<std::uint32_t> fill(offsets.begin(), offsets.end() - 1);
        for (std::size_t i = 0; i < entries.size(); ++i) items[fill[bucketOf[i]]++] = i;
    }

    UnitSet anchorUnits;
    for (char16_t value : slotValue) {
        if (Fold(value) == value) anchorUnits.Add(value);
        for (auto [unit, folded] : FoldPairs())
            if (folded == value) anchorUnits.Add(unit);
    }

    const char16_t* d = Units(text);
    const qsizetype n = text.size();
    std::vector<Occurrence> found;
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
        found.push_back({start, r + 1, qsizetype(item)});
    };
    const auto visit = [&](int bucket, qsizetype q) {
        for (std::uint32_t k = offsets[bucket]; k < offsets[bucket + 1]; ++k) verify(items[k], q);
    };
    anchorUnits.ForEach(d, 0, n, [&](qsizetype q) {
        const int slot = slotOf(Fold(d[q]));
        const int base = slot * kBuckets;
        qsizetype before = q - 1;
        while (before >= 0 && d[before] == kCarriageReturn) --before;
        if (before >= 0) {
            const char16_t b = Fold(d[before]);
            visit(base + kBefore + b % kKeys, q);
            qsizetype twoBefore = before - 1;
            while (twoBefore >= 0 && d[twoBefore] == kCarriageReturn) --twoBefore;
            if (twoBefore >= 0) visit(base + pairKey(b, Fold(d[twoBefore])), q);
        }
        qsizetype after = q + 1;
        while (after < n && d[after] == kCarriageReturn) ++after;
        if (after < n) visit(base + kAfter + Fold(d[after]) % kKeys, q);
        visit(base + kNone, q);
    });
    return found;
}

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

// ---------------------------------------------------------------------------------------
// Scanning

struct Cursor {
    qsizetype slot;  // even: the text before marker slot / 2; odd: marker slot / 2
    qsizetype pos;   // position in the text, or in the marker's text
};

// A stretch of a closed buffer, spelled as the sentence will have it.
struct Piece {
    const char16_t* data;
    qsizetype size;
    qsizetype scratch;  // where in the scratch units data lies, or -1
    bool raw;
};

inline bool IsSpaceOrCarriageReturn(char16_t u) { return u == kSpace || u == kCarriageReturn; }

inline bool IsBreak(char16_t u) { return u == kCarriageReturn || u == kLineFeed || u == kTab; }

// Copies n units to w without carriage returns, line feeds and tabs; returns the end written.
// Stores whole blocks, so it may write anywhere in [w, w + n) even when fewer units are kept.
inline char16_t* CopyWithoutBreaks(const char16_t* s, qsizetype n, char16_t* w) {
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi16(kCarriageReturn), lf = _mm_set1_epi16(kLineFeed),
                  tab = _mm_set1_epi16(kTab);
    for (; i + 8 <= n; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i breaks = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi16(v, cr), _mm_cmpeq_epi16(v, lf)), _mm_cmpeq_epi16(v, tab));
        if (_mm_movemask_epi8(breaks) == 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(w), v);
            w += 8;
            continue;
        }
        for (qsizetype k = i; k < i + 8; ++k) *w = s[k], w += !IsBreak(s[k]);
    }
#endif
    for (; i < n; ++i) *w = s[i], w += !IsBreak(s[i]);
    return w;
}

class Scanner {
  public:
    Scanner(const MaskedText& masked, QStringView separators)
        : m_(masked),
          d_(Units(masked.text)),
          n_(masked.text.size()),
          separators_(SeparatorUnits(separators)) {
        for (char16_t u : std::u16string_view(kMarkerPrefix))
            cutsMarkers_ = cutsMarkers_ || separators_.Contains(u);
        for (char16_t u = u'0'; u <= u'9'; ++u)
            cutsMarkers_ = cutsMarkers_ || separators_.Contains(u);
    }

    // Calls close(start, end, broke) for every buffer, end being its separator; broke is
    // false only when no carriage return, line feed or tab lies in a buffer within one
    // stretch of text.
    template <typename Close>
    void Run(Close&& close) const {
        if (separators_.Empty()) return;
        const auto& markers = m_.markers;
        const auto count = qsizetype(markers.size());
        Cursor start{0, 0};
        qsizetype gapBegin = 0;
        for (qsizetype g = 0;; ++g) {
            const qsizetype gapEnd = g < count ? markers[g].position : n_;
            separators_.ForEachNotingBreaks(d_, gapBegin, gapEnd, [&](qsizetype q, bool broke) {
                close(start, Cursor{2 * g, q}, broke);
                start = Cursor{2 * g, q + 1};
            });
            if (g == count) break;
            const MaskedText::Marker& marker = markers[g];
            if (cutsMarkers_) {
                char16_t text[kMarkerCapacity];
                WriteMarker(marker.entry, text);
                for (qsizetype o = marker.from; o < marker.to; ++o) {
                    if (!separators_.Contains(text[o])) continue;
                    close(start, Cursor{2 * g + 1, o}, true);
                    start = Cursor{2 * g + 1, o + 1};
                }
            }
            gapBegin = marker.position + marker.length;
        }
    }

    // Fills the pieces of a buffer's sentence (markers restored, untrimmed) and tells whether
    // the buffer yields one: not when, spaces trimmed, it is one line feed or one tab.
    bool Collect(Cursor start, Cursor end, std::vector<Piece>* pieces,
                 std::u16string* scratch) const {
        pieces->clear();
        scratch->clear();
        bool onlyText = true;
        for (qsizetype s = start.slot; s <= end.slot; ++s) {
            const qsizetype g = s / 2;
            if (s % 2 == 0) {
                const qsizetype lo = s == start.slot ? start.pos : GapBegin(g);
                const qsizetype hi = s == end.slot ? end.pos + 1 : GapEnd(g);
                if (lo < hi) pieces->push_back({d_ + lo, hi - lo, -1, true});
                continue;
            }
            const MaskedText::Marker& marker = m_.markers[g];
            const qsizetype lo = s == start.slot ? start.pos : marker.from;
            const qsizetype hi = s == end.slot ? end.pos + 1 : marker.to;
            if (lo >= hi) continue;
            onlyText = false;
            if (lo == 0 && hi == MarkerLength(marker.entry)) {
                const QString& entry = m_.entries[marker.entry];
                pieces->push_back({Units(entry), entry.size(), -1, false});
            } else {
                char16_t text[kMarkerCapacity];
                WriteMarker(marker.entry, text);
                pieces->push_back({nullptr, hi - lo, qsizetype(scratch->size()), false});
                scratch->append(text + lo, text + hi);
            }
        }
        for (Piece& p : *pieces)
            if (p.scratch >= 0) p.data = scratch->data() + p.scratch;
        if (!onlyText) return true;
        // Only text: one unit other than spaces, and that a line feed or a tab, yields nothing.
        int others = 0;
        bool lineBreak = false;
        for (const Piece& p : *pieces)
            for (qsizetype i = 0; i < p.size && others < 2; ++i) {
                if (IsSpaceOrCarriageReturn(p.data[i])) continue;
                ++others;
                lineBreak = p.data[i] == kLineFeed || p.data[i] == kTab;
            }
        return !(others == 1 && lineBreak);
    }

    // The sentence of a buffer that lies in one stretch of text, or nothing.
    template <typename Emit>
    void EmitText(qsizetype from, qsizetype to, bool broke, Emit&& hand) const {
        const char16_t* b = d_ + from;
        qsizetype last = to - from - 1;
        while (last >= 0 && IsSpaceOrCarriageReturn(b[last])) --last;
        if (last < 0) {
            hand(QString());
            return;
        }
        qsizetype first = 0;
        while (IsSpaceOrCarriageReturn(b[first])) ++first;
        if (first == last && (b[first] == kLineFeed || b[first] == kTab)) return;
        const qsizetype size = last - first + 1;
        if (!broke) {
            hand(QString(reinterpret_cast<const QChar*>(b + first), size));
            return;
        }
        QString sentence(size, Qt::Uninitialized);
        auto* w = reinterpret_cast<char16_t*>(sentence.data());
        for (qsizetype i = first; i <= last; ++i) {
            const char16_t u = b[i];
            *w = u;
            w += !IsBreak(u);
        }
        sentence.resize(w - reinterpret_cast<char16_t*>(sentence.data()));
        hand(std::move(sentence));
    }

    // Whether a buffer in one stretch of text yields a sentence.
    bool YieldsText(qsizetype from, qsizetype to) const {
        qsizetype last = to - 1;
        while (last >= from && IsSpaceOrCarriageReturn(d_[last])) --last;
        if (last < from || (d_[last] != kLineFeed && d_[last] != kTab)) return true;
        qsizetype first = from;
        while (IsSpaceOrCarriageReturn(d_[first])) ++first;
        return first != last;
    }

    qsizetype GapBegin(qsizetype g) const {
        return g == 0 ? 0 : m_.markers[g - 1].position + m_.markers[g - 1].length;
    }
    qsizetype GapEnd(qsizetype g) const {
        return g < qsizetype(m_.markers.size()) ? m_.markers[g].position : n_;
    }
    const char16_t* data() const { return d_; }

  private:
    const MaskedText& m_;
    const char16_t* d_;
    qsizetype n_;
    UnitSet separators_;
    bool cutsMarkers_ = false;
};

// Trims, removes line feeds and tabs, and hands out the sentence made of the pieces.
template <typename Emit>
void EmitPieces(const std::vector<Piece>& pieces, Emit&& hand) {
    qsizetype firstPiece = -1, firstPos = 0, lastPiece = -1, lastPos = 0;
    for (qsizetype p = 0; p < qsizetype(pieces.size()) && firstPiece < 0; ++p)
        for (qsizetype i = 0; i < pieces[p].size; ++i)
            if (!IsSpaceOrCarriageReturn(pieces[p].data[i])) {
                firstPiece = p, firstPos = i;
                break;
            }
    if (firstPiece < 0) {
        hand(QString());
        return;
    }
    for (qsizetype p = qsizetype(pieces.size()) - 1; p >= 0 && lastPiece < 0; --p)
        for (qsizetype i = pieces[p].size - 1; i >= 0; --i)
            if (!IsSpaceOrCarriageReturn(pieces[p].data[i])) {
                lastPiece = p, lastPos = i;
                break;
            }
    qsizetype size = 0;
    for (qsizetype p = firstPiece; p <= lastPiece; ++p)
        size += (p == lastPiece ? lastPos + 1 : pieces[p].size) - (p == firstPiece ? firstPos : 0);
    QString sentence(size, Qt::Uninitialized);
    auto* begin = reinterpret_cast<char16_t*>(sentence.data());
    char16_t* w = begin;
    for (qsizetype p = firstPiece; p <= lastPiece; ++p) {
        const qsizetype from = p == firstPiece ? firstPos : 0;
        const qsizetype to = p == lastPiece ? lastPos + 1 : pieces[p].size;
        w = CopyWithoutBreaks(pieces[p].data + from, to - from, w);
    }
    sentence.resize(w - begin);
    hand(std::move(sentence));
}

template <typename Emit>
void Scan(const MaskedText& masked, QStringView separators, Emit&& hand) {
    const Scanner scanner(masked, separators);
    std::vector<Piece> pieces;
    std::u16string scratch;
    scanner.Run([&](Cursor start, Cursor end, bool broke) {
        if (start.slot == end.slot && start.slot % 2 == 0)
            scanner.EmitText(start.pos, end.pos + 1, broke, hand);
        else if (scanner.Collect(start, end, &pieces, &scratch))
            EmitPieces(pieces, hand);
    });
}

std::size_t Count(const MaskedText& masked, QStringView separators) {
    const Scanner scanner(masked, separators);
    std::vector<Piece> pieces;
    std::u16string scratch;
    std::size_t count = 0;
    scanner.Run([&](Cursor start, Cursor end, bool) {
        if (start.slot == end.slot && start.slot % 2 == 0)
            count += scanner.YieldsText(start.pos, end.pos + 1);
        else
            count += scanner.Collect(start, end, &pieces, &scratch);
    });
    return count;
}

}  // namespace

// ---------------------------------------------------------------------------------------

namespace detail {

QString MarkerText(qsizetype entry) {
    char16_t text[kMarkerCapacity];
    return QString(reinterpret_cast<const QChar*>(text), WriteMarker(entry, text));
}

std::optional<MaskedText> MaskByOccurrences(const QString& text, const QStringList& abbreviations) {
    MaskedText masked{text, {}, abbreviations};
    const std::vector<Entry> entries = PrepareEntries(abbreviations);
    if (entries.empty()) return masked;

    std::vector<Occurrence> found = FindOccurrences(text, entries);
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
    // that an earlier entry put into the text.
    std::vector<bool> used(entries.size(), false);
    for (const Occurrence& o : accepted) used[o.entry] = true;
    bool anyUsed = false;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        if (anyUsed && e.mayCutMarkerLetters) return std::nullopt;
        if (anyUsed && e.hasDigit)
            for (std::size_t j = 0; j < i; ++j)
                if (used[j] && CanOverlap(e.folded, FoldedMarker(entries[j].index)))
                    return std::nullopt;
        anyUsed = anyUsed || used[i];
    }

    masked.markers.reserve(accepted.size());
    for (const Occurrence& o : accepted) {
        const qsizetype index = entries[o.entry].index;
        masked.markers.push_back({o.start, o.end - o.start, index, 0, MarkerLength(index)});
    }
    return masked;
}

MaskedText MaskByPasses(QString text, const QStringList& abbreviations) {
    text = RemoveCarriageReturns(std::move(text));
    // The masked text as stretches: [a, b) of the text (entry < 0) or of an entry's marker.
    struct Segment {
        qsizetype a, b, entry;
    };
    std::vector<Segment> segments;
    if (!text.isEmpty()) segments.push_back({0, text.size(), -1});
    const char16_t* d = Units(text);

    for (qsizetype i = 0; i < abbreviations.size(); ++i) {
        const QString& entry = abbreviations[i];
        if (entry.isEmpty() || segments.empty()) continue;
        std::u16string e;
        for (QChar c : entry) e.push_back(Fold(c.unicode()));
        const auto m = qsizetype(e.size());

        std::u16string current;
        for (const Segment& s : segments) {
            if (s.entry < 0) {
                current.append(d + s.a, d + s.b);
            } else {
                char16_t marker[kMarkerCapacity];
                WriteMarker(s.entry, marker);
                current.append(marker + s.a, marker + s.b);
            }
        }
        // Leftmost, non-overlapping occurrences (Knuth-Morris-Pratt over folded units).
        std::vector<qsizetype> fail(m, 0);
        for (qsizetype k = 1, j = 0; k < m; ++k) {
            while (j > 0 && e[k] != e[j]) j = fail[j - 1];
            if (e[k] == e[j]) ++j;
            fail[k] = j;
        }
        std::vector<qsizetype> starts;
        for (qsizetype k = 0, j = 0; k < qsizetype(current.size()); ++k) {
            const char16_t c = Fold(current[k]);
            while (j > 0 && c != e[j]) j = fail[j - 1];
            if (c == e[j]) ++j;
            if (j == m) starts.push_back(k - m + 1), j = 0;
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
                next.push_back({s.a + (cursor - segmentStart), s.a + (hi - segmentStart), s.entry});
                cursor = hi;
            }
        };
        for (qsizetype start : starts) {
            keepUpTo(start);
            next.push_back({0, MarkerLength(i), i});
            cursor = start + m;
        }
        keepUpTo(qsizetype(current.size()));
        segments = std::move(next);
    }

    MaskedText masked{std::move(text), {}, abbreviations};
    qsizetype rawNext = 0;
    for (const Segment& s : segments) {
        if (s.entry >= 0) {
            masked.markers.push_back({rawNext, 0, s.entry, std::int32_t(s.a), std::int32_t(s.b)});
            continue;
        }
        // The text between two kept stretches went into the markers between them.
        if (s.a > rawNext && !masked.markers.empty()) masked.markers.back().length = s.a - rawNext;
        rawNext = s.b;
    }
    if (masked.text.size() > rawNext && !masked.markers.empty())
        masked.markers.back().length = masked.text.size() - rawNext;
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

QString ComposeSeparatorSet(const QString& separatorText, bool lineFeed, bool tab) {
    QString set = separatorText;
    if (lineFeed) set += QChar(kLineFeed);
    if (tab) set += QChar(kTab);
    return set;
}

QString RemoveCarriageReturns(QString text) {
    if (text.contains(QChar(kCarriageReturn))) text.remove(QChar(kCarriageReturn));
    return text;
}

MaskedText MaskAbbreviations(QString text, const QStringList& abbreviations) {
    if (auto masked = detail::MaskByOccurrences(text, abbreviations)) return std::move(*masked);
    return detail::MaskByPasses(std::move(text), abbreviations);
}

void ScanSentences(const MaskedText& masked, QStringView separators, const SentenceSink& sink) {
    Scan(masked, separators, [&](QString&& sentence) { sink(std::move(sentence)); });
}

std::size_t CountSentences(const MaskedText& masked, QStringView separators) {
    return Count(masked, separators);
}

void SplitSentences(QString text, QStringView separators, const QStringList& abbreviations,
                    const SentenceSink& sink) {
    ScanSentences(MaskAbbreviations(std::move(text), abbreviations), separators, sink);
}

QStringList SplitSentences(QString text, QStringView separators, const QStringList& abbreviations) {
    const MaskedText masked = MaskAbbreviations(std::move(text), abbreviations);
    QStringList sentences;
    // Counting first costs one more scan and saves the slack of a growing list.
    sentences.reserve(qsizetype(Count(masked, separators)));
    Scan(masked, separators, [&](QString&& sentence) { sentences.push_back(std::move(sentence)); });
    return sentences;
}

std::size_t CountSentences(QString text, QStringView separators, const QStringList& abbreviations) {
    return Count(MaskAbbreviations(std::move(text), abbreviations), separators);
}

}  // namespace brintale
