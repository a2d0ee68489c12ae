#pragma once

// Searches for a few byte values at once, with the kernel in use, for the splitters that
// work on bytes.

#include <QtGlobal>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/splitter/kernels.h"

#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brintale::detail {

// A byte that a sentence cannot copy as it is.
inline bool NeedsWork(unsigned char b, bool high) {
    return b == '\r' || b == '\n' || b == '\t' || (high && b >= 0x80);
}

// ForEachMarked's vector of 32 bytes where AVX2 is not to be had or its classes do not fit.
#if defined(__SSE2__)
template <typename Visit>
qsizetype ForEachMarkedSse2(const unsigned char* d, qsizetype n, const unsigned char* wanted, int k,
                            bool high, bool& pending, Visit& visit) {
    __m128i w[8];
    for (int j = 0; j < k; ++j) w[j] = _mm_set1_epi8(static_cast<char>(wanted[j]));
    const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n'), tab = _mm_set1_epi8('\t');
    const __m128i sign = _mm_set1_epi8(high ? char(0x80) : 0);
    const auto work = [&](__m128i v) {
        return _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)),
                            _mm_or_si128(_mm_cmpeq_epi8(v, tab), _mm_and_si128(v, sign)));
    };
    qsizetype i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i + 16));
        __m128i ma = _mm_cmpeq_epi8(a, w[0]), mb = _mm_cmpeq_epi8(b, w[0]);
        for (int j = 1; j < k; ++j) {
            ma = _mm_or_si128(ma, _mm_cmpeq_epi8(a, w[j]));
            mb = _mm_or_si128(mb, _mm_cmpeq_epi8(b, w[j]));
        }
        const std::uint64_t worked = std::uint64_t(std::uint32_t(_mm_movemask_epi8(work(a)))) |
                                     std::uint64_t(std::uint32_t(_mm_movemask_epi8(work(b)))) << 16;
        std::uint64_t seen = 0;  // the bits up to the byte visited last
        for (std::uint32_t mask =
                 std::uint32_t(_mm_movemask_epi8(ma)) | std::uint32_t(_mm_movemask_epi8(mb)) << 16;
             mask; mask &= mask - 1) {
            const std::uint64_t upTo = (std::uint64_t(2) << __builtin_ctz(mask)) - 1;
            const bool any = pending || (worked & upTo & ~seen) != 0;
            pending = false;
            seen = upTo;
            visit(i + __builtin_ctz(mask), any);
        }
        pending = pending || (worked & ~seen) != 0;
    }
    return i;
}
#endif

// Classes of bytes told apart by the two nibbles of a byte: each class a few bits, a byte in
// it where the bits of its low and its high nibble meet. High nibbles with the same low ones
// share a bit.
struct NibbleClasses {
    alignas(16) unsigned char low[16] = {}, high[16] = {};
    int bits = 0;
    bool ok = true;  // false: more kinds of high nibbles than bits

    template <typename In>
    unsigned char Add(In in) {
        std::uint16_t lows[16] = {};
        unsigned char bitOf[16] = {}, all = 0;
        for (int h = 0; h < 16; ++h)
            for (int l = 0; l < 16; ++l)
                if (in(h << 4 | l)) lows[h] = static_cast<std::uint16_t>(lows[h] | 1u << l);
        for (int h = 0; h < 16; ++h) {
            if (lows[h] == 0) continue;
            for (int g = 0; g < h && !bitOf[h]; ++g)
                if (lows[g] == lows[h]) bitOf[h] = bitOf[g];
            if (!bitOf[h]) {
                if (bits == 8) {
                    ok = false;
                    return 0;
                }
                bitOf[h] = static_cast<unsigned char>(1u << bits++);
                for (int l = 0; l < 16; ++l)
                    if (lows[h] >> l & 1) low[l] |= bitOf[h];
            }
            high[h] |= bitOf[h];
            all |= bitOf[h];
        }
        return all;
    }
};

// What ForEachMarked looks for besides: the anchors of abbreviations, and the bytes that may
// stand before one.
struct AnchorSearch {
    const std::array<bool, 256>& anchor;
    const std::array<bool, 256>& prior;
};

#if defined(__x86_64__)
__attribute__((target("avx2"))) inline __m256i NibbleClassesAvx2(const unsigned char* p,
                                                                 __m256i low, __m256i high,
                                                                 __m256i nibble) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    return _mm256_and_si256(
        _mm256_shuffle_epi8(low, _mm256_and_si256(v, nibble)),
        _mm256_shuffle_epi8(high, _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble)));
}

// A bit for each of the 64 bytes with some of the classes `bits`.
__attribute__((target("avx2"))) inline std::uint64_t InClassesAvx2(__m256i c0, __m256i c1,
                                                                   __m256i bits, __m256i zero) {
    const auto a =
        std::uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_and_si256(c0, bits), zero)));
    const auto b =
        std::uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_and_si256(c1, bits), zero)));
    return ~(std::uint64_t(a) | std::uint64_t(b) << 32);
}

__attribute__((target("avx2"))) inline __m256i Table16Avx2(const unsigned char (&t)[16]) {
    return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(t)));
}

// `marks`: the wanted bytes and those that NeedsWork; `looks` (where ok): anchors and the
// bytes before them, so that a separator no abbreviation can end at is told so.
template <typename Visit>
__attribute__((target("avx2"))) qsizetype ForEachMarkedAvx2(
    const unsigned char* d, qsizetype n, const NibbleClasses& marks, unsigned char wanted,
    unsigned char work, const NibbleClasses& looks, unsigned char anchors, unsigned char priors,
    bool& pendingOut, Visit& visit) {
    const __m256i low = Table16Avx2(marks.low), high = Table16Avx2(marks.high);
    const __m256i lookLow = Table16Avx2(looks.low), lookHigh = Table16Avx2(looks.high);
    const __m256i nibble = _mm256_set1_epi8(0x0F), zero = _mm256_setzero_si256();
    const __m256i wantedBits = _mm256_set1_epi8(static_cast<char>(wanted));
    const __m256i workBits = _mm256_set1_epi8(static_cast<char>(work));
    const __m256i anchorBits = _mm256_set1_epi8(static_cast<char>(anchors));
    const __m256i priorBits = _mm256_set1_epi8(static_cast<char>(priors));
    const bool lookAll = !looks.ok;
    bool pending = pendingOut;
    std::uint64_t priorTop = 1;  // the byte before the 64 may stand before an anchor
    qsizetype i = 0;
    for (; i + 64 <= n; i += 64) {
        const __m256i c0 = NibbleClassesAvx2(d + i, low, high, nibble);
        const __m256i c1 = NibbleClassesAvx2(d + i + 32, low, high, nibble);
        std::uint64_t mask = InClassesAvx2(c0, c1, wantedBits, zero);
        const std::uint64_t worked = InClassesAvx2(c0, c1, workBits, zero);
        std::uint64_t look = ~std::uint64_t(0);
        if (!lookAll && mask) {
            const __m256i l0 = NibbleClassesAvx2(d + i, lookLow, lookHigh, nibble);
            const __m256i l1 = NibbleClassesAvx2(d + i + 32, lookLow, lookHigh, nibble);
            const std::uint64_t prior = InClassesAvx2(l0, l1, priorBits, zero);
            look = InClassesAvx2(l0, l1, anchorBits, zero) & (prior << 1 | priorTop);
            priorTop = prior >> 63;
        } else {
            priorTop = 1;  // not looked at: taken for one
        }
        std::uint64_t seen = 0;  // the bits up to the byte visited last
        for (; mask; mask &= mask - 1) {
            const int at = __builtin_ctzll(mask);
            const std::uint64_t upTo = (std::uint64_t(2) << at) - 1;
            const bool any = pending || (worked & upTo & ~seen) != 0;
            pending = false;
            seen = upTo;
            visit(i + at, any, (look >> at & 1) != 0);
        }
        pending = pending || (worked & ~seen) != 0;
    }
    pendingOut = pending;
    return i;
}
#endif

// Calls visit(q, worked, look) for every q in [0, n) whose byte is one of `wanted`, in
// order: worked tells whether some byte of d(p, q], p the
// byte visited before (or the start), needs more than a copy (NeedsWork), so that a sentence
// of bytes that need none is copied without looking at them again; look is false only where
// `anchors` is given and d[q] is none of its anchors or follows a byte none stands after.
template <typename Visit>
inline void ForEachMarked(const unsigned char* d, qsizetype n, const std::string& wanted,
                          const std::array<bool, 256>& member, bool high,
                          const AnchorSearch* anchors, Visit&& visit) {
    qsizetype i = 0;
    bool pending = false;
#if defined(__SSE2__)
    const Kernel kernel = detail::ActiveKernel();
    if (wanted.size() <= 8 && !wanted.empty() && kernel != Kernel::Scalar) {
        const auto* w = reinterpret_cast<const unsigned char*>(wanted.data());
        const int k = int(wanted.size());
        const auto visitLooking = [&visit](qsizetype q, bool worked) { visit(q, worked, true); };
#if defined(__x86_64__)
        NibbleClasses marks;
        const unsigned char wantedBits = marks.Add([&](int b) { return member[std::size_t(b)]; });
        const unsigned char workBits =
            marks.Add([&](int b) { return NeedsWork(static_cast<unsigned char>(b), high); });
        NibbleClasses looks;
        unsigned char anchorBits = 0, priorBits = 0;
        if (anchors) {
            anchorBits = looks.Add([&](int b) { return anchors->anchor[std::size_t(b)]; });
            priorBits = looks.Add([&](int b) { return anchors->prior[std::size_t(b)]; });
        } else {
            looks.ok = false;
        }
        if (kernel == Kernel::Avx2 && marks.ok) {
            i = ForEachMarkedAvx2(d, n, marks, wantedBits, workBits, looks, anchorBits, priorBits,
                                  pending, visit);
        } else {
            i = ForEachMarkedSse2(d, n, w, k, high, pending, visitLooking);
        }
#else
        i = ForEachMarkedSse2(d, n, w, k, high, pending, visitLooking);
#endif
    }
#endif
    for (; i < n; ++i) {
        pending = pending || NeedsWork(d[i], high);
        if (member[d[i]]) {
            visit(i, pending, true);
            pending = false;
        }
    }
}

// Calls visit(q) for every q in [0, n) whose byte is one of `wanted`, in order.
template <typename Visit>
inline void ForEachByte(const unsigned char* d, qsizetype n, const std::string& wanted,
                        const std::array<bool, 256>& member, Visit&& visit) {
    ForEachMarked(d, n, wanted, member, false, nullptr,
                  [&visit](qsizetype q, bool, bool) { visit(q); });
}

// How many bytes from d on need no more than a copy into a sentence: no carriage return,
// line feed or tab, and with `high` none beyond ASCII either.
#if defined(__SSE2__)
inline qsizetype PlainPrefixSse2(const unsigned char* d, qsizetype n, bool high) {
    const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n'), tab = _mm_set1_epi8('\t');
    const __m128i sign = _mm_set1_epi8(high ? char(0x80) : 0);
    qsizetype i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        const __m128i m =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)),
                         _mm_or_si128(_mm_cmpeq_epi8(v, tab), _mm_and_si128(v, sign)));
        if (const int bits = _mm_movemask_epi8(m)) return i + __builtin_ctz(unsigned(bits));
    }
    if (i < n && n >= 16) {
        // The last bytes in a vector that ends at n, those looked at already shifted out.
        const qsizetype at = n - 16;
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + at));
        const __m128i m =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)),
                         _mm_or_si128(_mm_cmpeq_epi8(v, tab), _mm_and_si128(v, sign)));
        const unsigned bits = unsigned(_mm_movemask_epi8(m)) >> (i - at);
        return bits ? i + __builtin_ctz(bits) : n;
    }
    return i;
}
#endif

#if defined(__x86_64__)
__attribute__((target("avx2"))) inline qsizetype PlainPrefixAvx2(const unsigned char* d,
                                                                 qsizetype n, bool high) {
    const __m256i cr = _mm256_set1_epi8('\r'), lf = _mm256_set1_epi8('\n'),
                  tab = _mm256_set1_epi8('\t');
    const __m256i sign = _mm256_set1_epi8(high ? char(0x80) : 0);
    qsizetype i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i));
        const __m256i m =
            _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(v, cr), _mm256_cmpeq_epi8(v, lf)),
                            _mm256_or_si256(_mm256_cmpeq_epi8(v, tab), _mm256_and_si256(v, sign)));
        if (const auto bits = std::uint32_t(_mm256_movemask_epi8(m)))
            return i + __builtin_ctz(bits);
    }
    if (i < n && n >= 32) {
        const qsizetype at = n - 32;
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + at));
        const __m256i m =
            _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(v, cr), _mm256_cmpeq_epi8(v, lf)),
                            _mm256_or_si256(_mm256_cmpeq_epi8(v, tab), _mm256_and_si256(v, sign)));
        const std::uint32_t bits = std::uint32_t(_mm256_movemask_epi8(m)) >> (i - at);
        return bits ? i + __builtin_ctz(bits) : n;
    }
    return i;
}
#endif

inline qsizetype PlainPrefix(const unsigned char* d, qsizetype n, bool high) {
    qsizetype i = 0;
#if defined(__SSE2__)
    switch (ActiveKernel()) {
        case Kernel::Scalar:
            break;
#if defined(__x86_64__)
        case Kernel::Avx2:
            i = n >= 32 ? PlainPrefixAvx2(d, n, high) : PlainPrefixSse2(d, n, high);
            break;
#endif
        default:
            i = PlainPrefixSse2(d, n, high);
    }
    if (i < n && NeedsWork(d[i], high)) return i;
#endif
    while (i < n && !NeedsWork(d[i], high)) ++i;
    return i;
}

// The code points that begin in d[0, n) of UTF-8: the bytes that are no continuation byte.
#if defined(__SSE2__)
inline qsizetype LeadBytesSse2(const unsigned char* d, qsizetype n, qsizetype& i) {
    const __m128i below = _mm_set1_epi8(char(0xBF));  // signed: 0x80..0xBF lie at or below
    qsizetype leads = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        leads += __builtin_popcount(unsigned(_mm_movemask_epi8(_mm_cmpgt_epi8(v, below))));
    }
    return leads;
}
#endif

#if defined(__x86_64__)
__attribute__((target("avx2,popcnt"))) inline qsizetype LeadBytesAvx2(const unsigned char* d,
                                                                      qsizetype n, qsizetype& i) {
    const __m256i below = _mm256_set1_epi8(char(0xBF));
    qsizetype leads = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i));
        leads +=
            __builtin_popcount(std::uint32_t(_mm256_movemask_epi8(_mm256_cmpgt_epi8(v, below))));
    }
    return leads;
}
#endif

// Eight bytes at a time in a word: a continuation byte has its top bit set and the next
// one clear. For the short stretches between two sentences, where vectors cost more to set up.
inline qsizetype LeadBytesShort(const unsigned char* d, qsizetype n) {
    qsizetype i = 0, continuations = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t x;
        std::memcpy(&x, d + i, sizeof x);
        // One bit a byte, summed by a multiplication: no popcount instruction needed.
        const std::uint64_t marks = (x & ~(x << 1) & 0x8080808080808080ull) >> 7;
        continuations += qsizetype((marks * 0x0101010101010101ull) >> 56);
    }
    for (; i < n; ++i) continuations += (d[i] & 0xC0) == 0x80;
    return n - continuations;
}

inline qsizetype LeadBytes(const unsigned char* d, qsizetype n) {
    if (n < 128) return LeadBytesShort(d, n);
    qsizetype i = 0, leads = 0;
#if defined(__SSE2__)
    switch (ActiveKernel()) {
        case Kernel::Scalar:
            break;
#if defined(__x86_64__)
        case Kernel::Avx2:
            leads = LeadBytesAvx2(d, n, i);
            break;
#endif
        default:
            leads = LeadBytesSse2(d, n, i);
    }
#endif
    for (; i < n; ++i) leads += (d[i] & 0xC0) != 0x80;
    return leads;
}

// Where the first U+017F (C5 BF) or U+212A (E2 84 AA) of UTF-8 starts in d[0, n), or the
// first start of one that the end cuts off; n for none. The pairs of lead and next byte
// are sought together, so that the many other characters after E2 cost nothing.
inline bool FoldingLeadAt(const unsigned char* d, qsizetype n, qsizetype p) {
    if (d[p] == 0xC5) return p + 1 == n || d[p + 1] == 0xBF;
    if (d[p] != 0xE2) return false;
    return p + 1 == n || (d[p + 1] == 0x84 && (p + 2 == n || d[p + 2] == 0xAA));
}

#if defined(__SSE2__)
inline qsizetype FoldingLeadSse2(const unsigned char* d, qsizetype n) {
    const __m128i c5 = _mm_set1_epi8(char(0xC5)), bf = _mm_set1_epi8(char(0xBF)),
                  e2 = _mm_set1_epi8(char(0xE2)), x84 = _mm_set1_epi8(char(0x84));
    qsizetype i = 0;
    for (; i + 17 <= n; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i + 1));
        const __m128i m =
            _mm_or_si128(_mm_and_si128(_mm_cmpeq_epi8(a, c5), _mm_cmpeq_epi8(b, bf)),
                         _mm_and_si128(_mm_cmpeq_epi8(a, e2), _mm_cmpeq_epi8(b, x84)));
        for (auto bits = unsigned(_mm_movemask_epi8(m)); bits; bits &= bits - 1)
            if (const qsizetype p = i + __builtin_ctz(bits); FoldingLeadAt(d, n, p)) return p;
    }
    return i;
}
#endif

#if defined(__x86_64__)
__attribute__((target("avx2"))) inline qsizetype FoldingLeadAvx2(const unsigned char* d,
                                                                 qsizetype n) {
    const __m256i c5 = _mm256_set1_epi8(char(0xC5)), bf = _mm256_set1_epi8(char(0xBF)),
                  e2 = _mm256_set1_epi8(char(0xE2)), x84 = _mm256_set1_epi8(char(0x84));
    qsizetype i = 0;
    for (; i + 33 <= n; i += 32) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i + 1));
        const __m256i m =
            _mm256_or_si256(_mm256_and_si256(_mm256_cmpeq_epi8(a, c5), _mm256_cmpeq_epi8(b, bf)),
                            _mm256_and_si256(_mm256_cmpeq_epi8(a, e2), _mm256_cmpeq_epi8(b, x84)));
        for (auto bits = std::uint32_t(_mm256_movemask_epi8(m)); bits; bits &= bits - 1)
            if (const qsizetype p = i + __builtin_ctz(bits); FoldingLeadAt(d, n, p)) return p;
    }
    return i;
}
#endif

inline qsizetype FindFoldingLead(const unsigned char* d, qsizetype n) {
    qsizetype i = 0;
#if defined(__SSE2__)
    switch (ActiveKernel()) {
        case Kernel::Scalar:
            break;
#if defined(__x86_64__)
        case Kernel::Avx2:
            i = FoldingLeadAvx2(d, n);
            break;
#endif
        default:
            i = FoldingLeadSse2(d, n);
    }
#endif
    // From where the vectors stopped, or at what they found.
    for (; i < n; ++i)
        if (FoldingLeadAt(d, n, i)) return i;
    return n;
}

// Without the instruction, which the baseline processor may lack.
inline int Popcount(std::uint64_t x) {
    x = x - ((x >> 1) & 0x5555555555555555ull);
    x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return int((x * 0x0101010101010101ull) >> 56);
}

// The continuation bytes of UTF-8 (80 to BF) among the 64 bytes of a word as bits, and how
// many came before the word in its piece: a place's code point is then a look-up and a count.
struct ContinuationWord {
    std::uint64_t bits = 0;
    std::int64_t before = 0;
};

inline std::uint64_t ContinuationBitsScalar(const unsigned char* d, qsizetype n) {
    std::uint64_t bits = 0;
    for (qsizetype i = 0; i < n; ++i) bits |= std::uint64_t((d[i] & 0xC0) == 0x80) << i;
    return bits;
}

#if defined(__SSE2__)
inline std::uint64_t ContinuationBitsSse2(const unsigned char* d) {
    const __m128i above = _mm_set1_epi8(char(0xC0));  // signed: 80..BF lie below C0
    std::uint64_t bits = 0;
    for (int part = 0; part < 4; ++part) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + 16 * part));
        bits |= std::uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpgt_epi8(above, v)))) << 16 * part;
    }
    return bits;
}
#endif

#if defined(__x86_64__)
// Returns the continuation bytes of the words.
__attribute__((target("avx2,popcnt"))) inline std::int64_t ContinuationWordsAvx2(
    const unsigned char* d, qsizetype words, ContinuationWord* out) {
    const __m256i above = _mm256_set1_epi8(char(0xC0));
    std::int64_t before = 0;
    for (qsizetype w = 0; w < words; ++w, d += 64) {
        const __m256i lo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d));
        const __m256i hi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + 32));
        const std::uint64_t bits =
            std::uint64_t(std::uint32_t(_mm256_movemask_epi8(_mm256_cmpgt_epi8(above, lo)))) |
            std::uint64_t(std::uint32_t(_mm256_movemask_epi8(_mm256_cmpgt_epi8(above, hi)))) << 32;
        out[w] = {bits, before};
        before += __builtin_popcountll(bits);
    }
    return before;
}
#endif

// The words of d[0, n), the last one those bytes left over (none: no bits), n / 64 + 1 in
// all, without a branch on the text.
inline void ContinuationWords(const unsigned char* d, qsizetype n, ContinuationWord* out) {
    const qsizetype words = n / 64;
    qsizetype w = 0;
    std::int64_t before = 0;
#if defined(__SSE2__)
    switch (ActiveKernel()) {
        case Kernel::Scalar:
            break;
#if defined(__x86_64__)
        case Kernel::Avx2:
            before = ContinuationWordsAvx2(d, words, out);
            w = words;
            break;
#endif
        default:
            for (; w < words; ++w) {
                out[w] = {ContinuationBitsSse2(d + 64 * w), before};
                before += Popcount(out[w].bits);
            }
    }
#endif
    for (; w <= words; ++w) {
        out[w] = {ContinuationBitsScalar(d + 64 * w, std::min<qsizetype>(64, n - 64 * w)), before};
        before += Popcount(out[w].bits);
    }
}

// What a count looks for a word of 64 bytes at a time: the separators (at most eight bytes),
// those of them an entry may be anchored on (at most eight) and the bytes that may stand
// before an anchor (ASCII ones in `priorRows`, a row of bits by high nibble for each low
// one; every byte beyond ASCII is one).
struct WordSearch {
    std::string separators, anchors;
    std::array<bool, 256> separator{}, anchor{}, prior{};
    std::array<unsigned char, 16> priorRows{};
    bool leads = false;  // whether the masks mark the lead bytes C5 and E2
    // Where set, the bytes entries allow two before an anchor, one before it and one after it,
    // by group (entry k in group k % 8): rows by low nibble and by high nibble of the groups
    // each nibble rules out. Bytes beyond ASCII and CR rule out none, as they may stand for
    // any letter; a separator some group allows at all three needs a look.
    bool groups = false;
    std::array<std::array<unsigned char, 16>, 3> outLo{}, outHi{};
};

// Bits of a word: its separators, anchors, line feeds and tabs, bytes that may stand before
// an anchor, bytes that are neither a space nor a carriage return, and where asked the bytes
// that may start U+017F or U+212A (so that a count need not look for them in a pass of its own).
struct WordMasks {
    std::uint64_t wanted = 0, anchors = 0, breaks = 0, priors = 0, other = 0, leads = 0;
};

inline void WordMasksScalar(const unsigned char* d, qsizetype words, const WordSearch& search,
                            WordMasks* out) {
    for (qsizetype w = 0; w < words; ++w, d += 64) {
        WordMasks m;
        for (int j = 0; j < 64; ++j) {
            const unsigned char b = d[j];
            m.wanted |= std::uint64_t(search.separator[b]) << j;
            m.anchors |= std::uint64_t(search.anchor[b]) << j;
            m.breaks |= std::uint64_t(b == '\n' || b == '\t') << j;
            m.priors |= std::uint64_t(search.prior[b]) << j;
            m.other |= std::uint64_t(b != ' ' && b != '\r') << j;
            m.leads |= std::uint64_t(search.leads && (b == 0xC5 || b == 0xE2)) << j;
        }
        out[w] = m;
    }
}

#if defined(__SSE2__)
inline void WordMasksSse2(const unsigned char* d, qsizetype words, const WordSearch& search,
                          WordMasks* out) {
    // Membership of a small set by compares; the bytes before an anchor by the table.
    const int k = int(search.separators.size()), a = int(search.anchors.size());
    __m128i w[8], an[8];
    for (int j = 0; j < k; ++j) w[j] = _mm_set1_epi8(search.separators[std::size_t(j)]);
    for (int j = 0; j < a; ++j) an[j] = _mm_set1_epi8(search.anchors[std::size_t(j)]);
    const __m128i lf = _mm_set1_epi8('\n'), tab = _mm_set1_epi8('\t'), space = _mm_set1_epi8(' '),
                  cr = _mm_set1_epi8('\r');
    const __m128i c5 = _mm_set1_epi8(char(0xC5)), e2 = _mm_set1_epi8(char(0xE2));
    for (qsizetype i = 0; i < words; ++i, d += 64) {
        WordMasks m;
        for (int part = 0; part < 4; ++part) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + 16 * part));
            __m128i hit = _mm_setzero_si128(), anchor = _mm_setzero_si128();
            for (int j = 0; j < k; ++j) hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, w[j]));
            for (int j = 0; j < a; ++j) anchor = _mm_or_si128(anchor, _mm_cmpeq_epi8(v, an[j]));
            const __m128i brk = _mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, tab));
            const __m128i blank = _mm_or_si128(_mm_cmpeq_epi8(v, space), _mm_cmpeq_epi8(v, cr));
            const int shift = 16 * part;
            m.wanted |= std::uint64_t(unsigned(_mm_movemask_epi8(hit))) << shift;
            m.anchors |= std::uint64_t(unsigned(_mm_movemask_epi8(anchor))) << shift;
            m.breaks |= std::uint64_t(unsigned(_mm_movemask_epi8(brk))) << shift;
            m.other |= std::uint64_t(~unsigned(_mm_movemask_epi8(blank)) & 0xFFFFu) << shift;
            if (search.leads) {
                const __m128i lead = _mm_or_si128(_mm_cmpeq_epi8(v, c5), _mm_cmpeq_epi8(v, e2));
                m.leads |= std::uint64_t(unsigned(_mm_movemask_epi8(lead))) << shift;
            }
        }
        // SSE2 has no byte shuffle: the bytes before anchors one by one, and the last, which
        // may stand before one in the next word.
        for (std::uint64_t at = m.anchors >> 1 | std::uint64_t(1) << 63; at; at &= at - 1) {
            const int j = __builtin_ctzll(at);
            m.priors |= std::uint64_t(search.prior[d[j]]) << j;
        }
        out[i] = m;
    }
}
#endif

#if defined(__x86_64__)
__attribute__((target("avx2"), always_inline)) inline __m256i BroadcastRows(
    const std::array<unsigned char, 16>& rows) {
    return _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows.data())));
}

// Bits set where the bytes are not in the set of rows, given their low nibbles and the bit
// of their high one.
__attribute__((target("avx2"), always_inline)) inline std::uint32_t Outside(__m256i rows,
                                                                            __m256i lo,
                                                                            __m256i bit) {
    return std::uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi8(
        _mm256_and_si256(_mm256_shuffle_epi8(rows, lo), bit), _mm256_setzero_si256())));
}

// What WordMaskAvx2 looks bytes up in, made once for a search: for each set of ASCII bytes a
// row of bits by high nibble for each low one, so that any set costs the same.
struct WordConstsAvx2 {
    __m256i separatorRows, anchorRows, priorRows, bitTable, low;
    __m256i plainRows, breakRows;  // separators but line feeds and tabs; those two
    __m256i outLo[3], outHi[3];
};

__attribute__((target("avx2"))) inline WordConstsAvx2 MakeWordConstsAvx2(const WordSearch& search) {
    std::array<unsigned char, 16> separatorRows{}, anchorRows{}, plainRows{}, breakRows{};
    for (unsigned b = 0; b < 0x80; ++b) {
        const auto bit = static_cast<unsigned char>(1u << (b >> 4));
        if (search.separator[b]) separatorRows[b & 15] |= bit;
        if (search.separator[b]) (b == '\n' || b == '\t' ? breakRows : plainRows)[b & 15] |= bit;
        if (search.anchor[b]) anchorRows[b & 15] |= bit;
    }
    WordConstsAvx2 c;
    c.plainRows = BroadcastRows(plainRows);
    c.breakRows = BroadcastRows(breakRows);
    c.separatorRows = BroadcastRows(separatorRows);
    c.anchorRows = BroadcastRows(anchorRows);
    c.priorRows = BroadcastRows(search.priorRows);
    // 1 << high nibble for the bytes of ASCII; none for those beyond.
    c.bitTable = _mm256_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 4, 8,
                                  16, 32, 64, -128, 0, 0, 0, 0, 0, 0, 0, 0);
    c.low = _mm256_set1_epi8(0x0F);
    for (std::size_t k = 0; k < 3; ++k) {
        c.outLo[k] = BroadcastRows(search.outLo[k]);
        c.outHi[k] = BroadcastRows(search.outHi[k]);
    }
    return c;
}

// 32 bytes, their low nibbles and the bit of their high ones, for Outside.
struct BytesAvx2 {
    __m256i v, lo, bit;
};

__attribute__((target("avx2"), always_inline)) inline BytesAvx2 LoadBytesAvx2(
    const unsigned char* d, const WordConstsAvx2& c) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d));
    return {v, _mm256_and_si256(v, c.low),
            _mm256_shuffle_epi8(c.bitTable, _mm256_and_si256(_mm256_srli_epi16(v, 4), c.low))};
}

// Bits set where the bytes may stand before an anchor: every byte beyond ASCII may.
__attribute__((target("avx2"), always_inline)) inline std::uint32_t PriorsAvx2(
    const BytesAvx2& b, const WordConstsAvx2& c) {
    return ~Outside(c.priorRows, b.lo, b.bit) | std::uint32_t(_mm256_movemask_epi8(b.v));
}

// Bits set where the bytes are C5 or E2, which may start U+017F or U+212A.
__attribute__((target("avx2"), always_inline)) inline std::uint32_t LeadsAvx2(__m256i v) {
    return std::uint32_t(
        _mm256_movemask_epi8(_mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8(char(0xC5))),
                                             _mm256_cmpeq_epi8(v, _mm256_set1_epi8(char(0xE2))))));
}

// The masks of the 64 bytes at d.
__attribute__((target("avx2"))) inline WordMasks WordMaskAvx2(const unsigned char* d,
                                                              const WordConstsAvx2& c, bool leads) {
    WordMasks m;
    for (int part = 0; part < 2; ++part) {
        const BytesAvx2 b = LoadBytesAvx2(d + 32 * part, c);
        const __m256i brk = _mm256_or_si256(_mm256_cmpeq_epi8(b.v, _mm256_set1_epi8('\n')),
                                            _mm256_cmpeq_epi8(b.v, _mm256_set1_epi8('\t')));
        const __m256i blank = _mm256_or_si256(_mm256_cmpeq_epi8(b.v, _mm256_set1_epi8(' ')),
                                              _mm256_cmpeq_epi8(b.v, _mm256_set1_epi8('\r')));
        const int shift = 32 * part;
        m.wanted |= std::uint64_t(~Outside(c.separatorRows, b.lo, b.bit)) << shift;
        m.anchors |= std::uint64_t(~Outside(c.anchorRows, b.lo, b.bit)) << shift;
        m.priors |= std::uint64_t(PriorsAvx2(b, c)) << shift;
        m.breaks |= std::uint64_t(std::uint32_t(_mm256_movemask_epi8(brk))) << shift;
        m.other |= std::uint64_t(~std::uint32_t(_mm256_movemask_epi8(blank))) << shift;
        if (leads) m.leads |= std::uint64_t(LeadsAvx2(b.v)) << shift;
    }
    return m;
}

// What a count looks at one by one among 64 bytes: the separators that are line feeds or
// tabs (`breaks`), anchors, the bytes that may stand before one, and where asked the bytes
// that may start U+017F or U+212A; the other separators (`plain`) are only counted.
// With groups, the bytes whose neighbours some group allows (`allowed`) instead of `priors`.
struct SparseMasks {
    std::uint64_t plain = 0, breaks = 0, anchors = 0, priors = 0, leads = 0, allowed = 0;
};

// The groups the 32 bytes at d rule out by rows lo and hi: none for a byte beyond ASCII.
__attribute__((target("avx2"), always_inline)) inline __m256i RuledOutAvx2(const unsigned char* d,
                                                                           __m256i lo, __m256i hi,
                                                                           __m256i low) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d));
    return _mm256_or_si256(_mm256_shuffle_epi8(lo, v),
                           _mm256_shuffle_epi8(hi, _mm256_and_si256(_mm256_srli_epi16(v, 4), low)));
}

// groups: d[-2] and d[64] may be read.
__attribute__((target("avx2"), always_inline)) inline SparseMasks SparseMaskAvx2(
    const unsigned char* d, const WordConstsAvx2& c, bool leads, bool groups) {
    SparseMasks m;
    for (int part = 0; part < 2; ++part) {
        const unsigned char* p = d + 32 * part;
        const BytesAvx2 b = LoadBytesAvx2(p, c);
        const int shift = 32 * part;
        m.plain |= std::uint64_t(~Outside(c.plainRows, b.lo, b.bit)) << shift;
        m.breaks |= std::uint64_t(~Outside(c.breakRows, b.lo, b.bit)) << shift;
        m.anchors |= std::uint64_t(~Outside(c.anchorRows, b.lo, b.bit)) << shift;
        if (groups) {
            const __m256i out =
                _mm256_or_si256(_mm256_or_si256(RuledOutAvx2(p - 2, c.outLo[0], c.outHi[0], c.low),
                                                RuledOutAvx2(p - 1, c.outLo[1], c.outHi[1], c.low)),
                                RuledOutAvx2(p + 1, c.outLo[2], c.outHi[2], c.low));
            m.allowed |= std::uint64_t(std::uint32_t(~_mm256_movemask_epi8(
                             _mm256_cmpeq_epi8(out, _mm256_set1_epi8(char(0xFF))))))
                         << shift;
        } else {
            m.priors |= std::uint64_t(PriorsAvx2(b, c)) << shift;
        }
        if (leads) m.leads |= std::uint64_t(LeadsAvx2(b.v)) << shift;
    }
    return m;
}

__attribute__((target("avx2"))) inline void WordMasksAvx2(const unsigned char* d, qsizetype words,
                                                          const WordSearch& search,
                                                          WordMasks* out) {
    const WordConstsAvx2 c = MakeWordConstsAvx2(search);
    for (qsizetype i = 0; i < words; ++i, d += 64) out[i] = WordMaskAvx2(d, c, search.leads);
}
#endif

inline void FillWordMasks(const unsigned char* d, qsizetype words, const WordSearch& search,
                          WordMasks* out) {
#if defined(__SSE2__)
    switch (ActiveKernel()) {
        case Kernel::Scalar:
            break;
#if defined(__x86_64__)
        case Kernel::Avx2:
            return WordMasksAvx2(d, words, search, out);
#endif
        default:
            return WordMasksSse2(d, words, search, out);
    }
#endif
    WordMasksScalar(d, words, search, out);
}

}  // namespace brintale::detail
