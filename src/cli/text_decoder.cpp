#include "cli/text_decoder.h"

#include <cstring>

#include "core/splitter/byte_search.h"
#include "core/splitter/kernels.h"
#include "core/text_file.h"

#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brintale::cli {

namespace {

// Bytes from `from` on up to the first that is not ASCII.
qsizetype AsciiRun(const unsigned char* b, qsizetype from, qsizetype n) {
    qsizetype i = from;
#if defined(__SSE2__)
    for (; i + 16 <= n; i += 16) {
        const int high =
            _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i)));
        if (high != 0) return i + __builtin_ctz(unsigned(high));
    }
#endif
    while (i < n && b[i] < 0x80) ++i;
    return i;
}

#if defined(__x86_64__)
// Bytes from d on, 64 at a time, that are whole well-formed UTF-8 sequences, d starting one:
// the byte pairs and the continuations each lead needs, checked by table look-ups on their
// nibbles. Stops before the 64 bytes where it finds a fault, and before the last sequence
// when that runs past the bytes checked, for the byte-wise check to go on from there.
namespace utf8 {
constexpr unsigned char kTooShort = 1 << 0;  // a lead, then no continuation
constexpr unsigned char kTooLong = 1 << 1;   // a continuation after ASCII
constexpr unsigned char kOverlong3 = 1 << 2;
constexpr unsigned char kTooLarge = 1 << 3;
constexpr unsigned char kSurrogate = 1 << 4;
constexpr unsigned char kOverlong2 = 1 << 5;
constexpr unsigned char kTooLarge1000 = 1 << 6;
constexpr unsigned char kOverlong4 = 1 << 6;
constexpr unsigned char kTwoConts = 1 << 7;  // a continuation after a continuation
constexpr unsigned char kCarry = kTooShort | kTooLong | kTwoConts;
}  // namespace utf8

// The byte `back` places before each byte of v, prior holding the 32 bytes before v.
template <int back>
__attribute__((target("avx2"))) inline __m256i Before(__m256i v, __m256i prior) {
    return _mm256_alignr_epi8(v, _mm256_permute2x128_si256(prior, v, 0x21), 16 - back);
}

__attribute__((target("avx2"))) qsizetype Utf8WholeAvx2(const unsigned char* d, qsizetype n) {
    using namespace utf8;
    alignas(16) static const unsigned char firstHigh[16] = {
        kTooLong,
        kTooLong,
        kTooLong,
        kTooLong,
        kTooLong,
        kTooLong,
        kTooLong,
        kTooLong,
        kTwoConts,
        kTwoConts,
        kTwoConts,
        kTwoConts,
        kTooShort | kOverlong2,
        kTooShort,
        kTooShort | kOverlong3 | kSurrogate,
        kTooShort | kTooLarge | kTooLarge1000 | kOverlong4};
    constexpr unsigned char kLarge = kCarry | kTooLarge | kTooLarge1000;
    alignas(16) static const unsigned char firstLow[16] = {
        kCarry | kOverlong3 | kOverlong2 | kOverlong4,
        kCarry | kOverlong2,
        kCarry,
        kCarry,
        kCarry | kTooLarge,
        kLarge,
        kLarge,
        kLarge,
        kLarge,
        kLarge,
        kLarge,
        kLarge,
        kLarge,
        kLarge | kSurrogate,
        kLarge,
        kLarge};
    constexpr unsigned char kCont = kTooLong | kOverlong2 | kTwoConts;
    alignas(16) static const unsigned char secondHigh[16] = {
        kTooShort,
        kTooShort,
        kTooShort,
        kTooShort,
        kTooShort,
        kTooShort,
        kTooShort,
        kTooShort,
        kCont | kOverlong3 | kTooLarge1000 | kOverlong4,
        kCont | kOverlong3 | kTooLarge,
        kCont | kSurrogate | kTooLarge,
        kCont | kSurrogate | kTooLarge,
        kTooShort,
        kTooShort,
        kTooShort,
        kTooShort};
    const __m256i t1 = detail::Table16Avx2(firstHigh), t2 = detail::Table16Avx2(firstLow),
                  t3 = detail::Table16Avx2(secondHigh);
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i third = _mm256_set1_epi8(char(0xE0 - 0x80)),
                  fourth = _mm256_set1_epi8(char(0xF0 - 0x80)), top = _mm256_set1_epi8(char(0x80));
    __m256i prior = _mm256_setzero_si256();
    qsizetype done = 0;
    for (qsizetype i = 0; i + 64 <= n; i += 64) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i + 32));
        if (_mm256_movemask_epi8(_mm256_or_si256(a, b)) == 0) {
            // ASCII: whole, unless the sequence before it wanted more.
            if (done != i) break;
            done = i + 64;
            prior = b;
            continue;
        }
        __m256i error = _mm256_setzero_si256();
        for (const __m256i v : {a, b}) {
            const __m256i prev1 = Before<1>(v, prior);
            const __m256i special = _mm256_and_si256(
                _mm256_and_si256(
                    _mm256_shuffle_epi8(t1, _mm256_and_si256(_mm256_srli_epi16(prev1, 4), nibble)),
                    _mm256_shuffle_epi8(t2, _mm256_and_si256(prev1, nibble))),
                _mm256_shuffle_epi8(t3, _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble)));
            const __m256i must23 = _mm256_or_si256(_mm256_subs_epu8(Before<2>(v, prior), third),
                                                   _mm256_subs_epu8(Before<3>(v, prior), fourth));
            error =
                _mm256_or_si256(error, _mm256_xor_si256(_mm256_and_si256(must23, top), special));
            prior = v;
        }
        if (!_mm256_testz_si256(error, error)) break;
        // Whole up to the last sequence's lead, or to the end where that sequence ends here.
        const qsizetype end = i + 64;
        qsizetype last = end;
        if (d[end - 1] >= 0xC0) {
            last = end - 1;
        } else if (d[end - 2] >= 0xE0) {
            last = end - 2;
        } else if (d[end - 3] >= 0xF0) {
            last = end - 3;
        }
        // A sequence left open is checked with the next 64, or byte-wise from its lead.
        done = last;
    }
    return done;
}
#endif

}  // namespace

qsizetype AsciiPrefix(QByteArrayView bytes) {
    return AsciiRun(reinterpret_cast<const unsigned char*>(bytes.data()), 0, bytes.size());
}

bool Utf8Validator::Feed(QByteArrayView bytes) {
    if (!valid_) return false;
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        if (needed_ == 0) {
#if defined(__x86_64__)
            if (n - i >= 64 && detail::ActiveKernel() == Kernel::Avx2) {
                const qsizetype whole = Utf8WholeAvx2(b + i, n - i);
                validBytes_ += whole;
                i += whole;
                if (i == n) break;
            }
#endif
            const qsizetype end = AsciiRun(b, i, n);
            validBytes_ += end - i;
            i = end;
            if (i == n) break;
            const unsigned char lead = b[i];
            // Whole sequences of two bytes, and of three that allow any continuation bytes,
            // checked at once: the letters of most texts beyond ASCII.
            const auto continues = [](unsigned char c) { return (c & 0xC0) == 0x80; };
            if (lead >= 0xC2 && lead <= 0xDF && i + 1 < n && continues(b[i + 1])) {
                validBytes_ += 2, i += 2;
                continue;
            }
            if (lead >= 0xE1 && lead <= 0xEF && lead != 0xED && i + 2 < n && continues(b[i + 1]) &&
                continues(b[i + 2])) {
                validBytes_ += 3, i += 3;
                continue;
            }
            // Well-formed sequences as the Unicode standard's table 3-7 gives them.
            low_ = 0x80, high_ = 0xBF;
            if (lead >= 0xC2 && lead <= 0xDF) {
                needed_ = 1;
            } else if (lead >= 0xE0 && lead <= 0xEF) {
                needed_ = 2;
                if (lead == 0xE0) low_ = 0xA0;
                if (lead == 0xED) high_ = 0x9F;
            } else if (lead >= 0xF0 && lead <= 0xF4) {
                needed_ = 3;
                if (lead == 0xF0) low_ = 0x90;
                if (lead == 0xF4) high_ = 0x8F;
            } else {
                valid_ = false;
                return false;
            }
            open_ = 1;
            ++i;
            continue;
        }
        const unsigned char c = b[i];
        if (c < low_ || c > high_) {
            valid_ = false;
            return false;
        }
        low_ = 0x80, high_ = 0xBF;
        ++open_, ++i;
        if (--needed_ == 0) validBytes_ += open_, open_ = 0;
    }
    return true;
}

StreamDecoder::StreamDecoder(TextEncoding encoding)
    : encoding_(encoding),
      // The caller drops the mark at the start; one further on is text.
      utf8_(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom) {}

qsizetype Windows1252Into(QByteArrayView bytes, QChar* out) {
    auto* d = reinterpret_cast<char16_t*>(out);
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
        if (_mm_movemask_epi8(v) != 0) {
            for (qsizetype k = i; k < i + 16; ++k) d[k] = Windows1252ToUnicode(b[k]);
            continue;
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm_unpacklo_epi8(v, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i + 8), _mm_unpackhi_epi8(v, zero));
    }
#endif
    for (; i < n; ++i) d[i] = Windows1252ToUnicode(b[i]);
    return n;
}

void AppendWindows1252(QByteArrayView bytes, QString& out) {
    const qsizetype start = out.size();
    out.resize(start + bytes.size());
    Windows1252Into(bytes, out.data() + start);
}

qsizetype StreamDecoder::DecodeInto(QByteArrayView bytes, QChar* out) {
    switch (encoding_) {
        case TextEncoding::Windows1252:
            return Windows1252Into(bytes, out);
        case TextEncoding::Utf8:
            return utf8_.appendToBuffer(out, bytes) - out;
        case TextEncoding::Utf16LittleEndian:
        case TextEncoding::Utf16BigEndian: {
            const bool big = encoding_ == TextEncoding::Utf16BigEndian;
            const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
            auto* d = reinterpret_cast<char16_t*>(out);
            qsizetype i = 0, k = 0;
            const qsizetype n = bytes.size();
            if (pendingByte_ >= 0 && n > 0) {
                const unsigned first = unsigned(pendingByte_), second = b[0];
                d[k++] = char16_t(big ? first << 8 | second : second << 8 | first);
                pendingByte_ = -1;
                i = 1;
            }
            for (; i + 1 < n; i += 2)
                d[k++] = char16_t(big ? b[i] << 8 | b[i + 1] : b[i + 1] << 8 | b[i]);
            if (i < n) pendingByte_ = b[i];
            return k;
        }
    }
    return 0;
}

void StreamDecoder::Decode(QByteArrayView bytes, QString& out) {
    const qsizetype start = out.size();
    out.resize(start + RoomFor(bytes.size()));
    out.truncate(start + DecodeInto(bytes, out.data() + start));
}

void StreamDecoder::Finish(QString& out) {
    if (pendingByte_ >= 0) out += QChar(char16_t(0xFFFD));
    pendingByte_ = -1;
}

}  // namespace brintale::cli
