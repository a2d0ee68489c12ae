#pragma once

// A set of UTF-16 code units with a vectorised search for its members, shared by the
// abbreviation search and the sentence scan.

#include <QtGlobal>
#include <array>
#include <bit>
#include <cstdint>
#include <utility>

#include "core/splitter/kernels.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brintale::detail {

// One SSE2 register holds this many code units.
inline constexpr int kUnitsPerVector = 16 / sizeof(char16_t);

class UnitSet {
  public:
    // Up to one register's worth of members are searched for with a vector compare each;
    // a larger set takes the plain lookup.
    static constexpr int kVectorMembers = kUnitsPerVector;

    void Add(char16_t u) {
        if (Contains(u)) return;
        bits_[u >> 6] |= std::uint64_t{1} << (u & 63);
        if (count_ < kVectorMembers) units_[count_] = u;
        ++count_;
    }
    bool Contains(char16_t u) const { return (bits_[u >> 6] >> (u & 63)) & 1; }
    bool Empty() const { return count_ == 0; }

    // Calls visit(position) for every position in [from, to) that holds a member, in order.
    template <typename Visit>
    void ForEach(const char16_t* d, qsizetype from, qsizetype to, Visit&& visit) const {
        if (count_ == 0 || Vectorised<false>(d, from, to, visit)) return;
        for (qsizetype i = from; i < to; ++i)
            if (Contains(d[i])) visit(i);
    }

    // Like ForEach, and tells each visit whether a carriage return, line feed or tab lies
    // after the previous member (or from) and up to this one.
    template <typename Visit>
    void ForEachNotingBreaks(const char16_t* d, qsizetype from, qsizetype to, Visit&& visit) const {
        if (count_ == 0 || Vectorised<true>(d, from, to, visit)) return;
        ScalarNotingBreaks(d, from, to, false, visit);
    }

  private:
    static bool IsBreak(char16_t u) { return u == u'\r' || u == u'\n' || u == u'\t'; }

    template <typename Visit>
    void ScalarNotingBreaks(const char16_t* d, qsizetype i, qsizetype to, bool broke,
                            Visit& visit) const {
        for (; i < to; ++i) {
            broke = broke || IsBreak(d[i]);
            if (Contains(d[i])) visit(i, broke), broke = false;
        }
    }

    // Runs the vector search made for the member count; false when there are too many.
    template <bool kBreaks, typename Visit>
    bool Vectorised([[maybe_unused]] const char16_t* d, [[maybe_unused]] qsizetype from,
                    [[maybe_unused]] qsizetype to, [[maybe_unused]] Visit& visit) const {
#if defined(__SSE2__)
        if (ActiveKernel() == Kernel::Scalar) return false;
        return VectorisedFor<kBreaks>(d, from, to, visit,
                                      std::make_integer_sequence<int, kVectorMembers>{});
#else
        return false;
#endif
    }

#if defined(__SSE2__)
    // One search made for each member count from 1 to kVectorMembers.
    template <bool kBreaks, typename Visit, int... K>
    bool VectorisedFor(const char16_t* d, qsizetype from, qsizetype to, Visit& visit,
                       std::integer_sequence<int, K...>) const {
        return ((count_ == K + 1 && (ForEachVector<K + 1, kBreaks>(d, from, to, visit), true)) ||
                ...);
    }

    // Four registers at a time into a mask of two bits per unit, then the set bits.
    static constexpr int kBlockUnits = 4 * kUnitsPerVector;
    static_assert(2 * kBlockUnits == 64, "a block's mask fills one 64-bit word");

    template <int N, bool kBreaks, typename Visit>
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
        const auto block = [&](const auto& of, const char16_t* p) {
            constexpr int v = kUnitsPerVector, bits = 2 * kUnitsPerVector;
            return of(p) | of(p + v) << bits | of(p + 2 * v) << 2 * bits |
                   of(p + 3 * v) << 3 * bits;
        };
        bool broke = false;
        for (; i + kBlockUnits <= to; i += kBlockUnits) {
            std::uint64_t mask = block(hits, d + i);
            if constexpr (kBreaks) {
                std::uint64_t pending = block(breaks, d + i);
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
    std::array<char16_t, kVectorMembers> units_{};
    int count_ = 0;
};

}  // namespace brintale::detail
