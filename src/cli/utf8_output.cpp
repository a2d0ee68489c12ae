#include "cli/utf8_output.h"

#include <QString>
#include <cstring>

#include "core/splitter/kernels.h"

#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brintale::cli {

namespace {

inline void PutCodePoint(char32_t c, char*& w) {
    if (c < 0x80) {
        *w++ = char(c);
    } else if (c < 0x800) {
        *w++ = char(0xC0 | c >> 6);
        *w++ = char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *w++ = char(0xE0 | c >> 12);
        *w++ = char(0x80 | (c >> 6 & 0x3F));
        *w++ = char(0x80 | (c & 0x3F));
    } else {
        *w++ = char(0xF0 | c >> 18);
        *w++ = char(0x80 | (c >> 12 & 0x3F));
        *w++ = char(0x80 | (c >> 6 & 0x3F));
        *w++ = char(0x80 | (c & 0x3F));
    }
}

// The code point at i (a pair taken whole, a lone half as U+FFFD); advances i.
inline char32_t Next(const char16_t* d, qsizetype n, qsizetype& i) {
    const char16_t u = d[i++];
    if (u < 0xD800 || u > 0xDFFF) return u;
    if (u <= 0xDBFF && i < n && d[i] >= 0xDC00 && d[i] <= 0xDFFF)
        return QChar::surrogateToUcs4(u, d[i++]);
    return 0xFFFD;
}

}  // namespace

char* Utf8Into(QStringView text, char* w) {
    const auto* d = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
#if defined(__SSE2__)
        // Sixteen ASCII units at a time: none above 0x7F, none with the sign bit.
        const __m128i limit = _mm_set1_epi16(0x7F);
        while (i + 16 <= n) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i + 8));
            const __m128i over = _mm_or_si128(_mm_cmpgt_epi16(a, limit), _mm_cmpgt_epi16(b, limit));
            if (_mm_movemask_epi8(over) | _mm_movemask_epi8(_mm_or_si128(a, b))) break;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(w), _mm_packus_epi16(a, b));
            w += 16, i += 16;
        }
#endif
        if (i < n && d[i] < 0x80) {
            *w++ = char(d[i++]);
            continue;
        }
        if (i < n) PutCodePoint(Next(d, n, i), w);
    }
    return w;
}

void AppendUtf8(QStringView text, QByteArray& out) {
    const qsizetype start = out.size();
    out.resize(start + 3 * text.size());
    out.truncate(Utf8Into(text, out.data() + start) - out.constData());
}

void AppendJsonString(QStringView text, QByteArray& out) {
    static const char kHex[] = "0123456789abcdef";
    const auto* d = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype n = text.size();
    const qsizetype start = out.size();
    out.resize(start + 6 * n);
    char* const begin = out.data() + start;
    char* w = begin;
    for (qsizetype i = 0; i < n;) {
        const char32_t c = Next(d, n, i);
        if (c == u'"' || c == u'\\') {
            *w++ = '\\', *w++ = char(c);
        } else if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
            switch (c) {
                case u'\n':
                    *w++ = '\\', *w++ = 'n';
                    break;
                case u'\t':
                    *w++ = '\\', *w++ = 't';
                    break;
                case u'\r':
                    *w++ = '\\', *w++ = 'r';
                    break;
                default:
                    *w++ = '\\', *w++ = 'u', *w++ = '0', *w++ = '0';
                    *w++ = kHex[c >> 4], *w++ = kHex[c & 0xF];
            }
        } else if (c == 0x2028 || c == 0x2029) {
            // Valid JSON raw, but line ends to JavaScript and to Python's splitlines().
            *w++ = '\\', *w++ = 'u', *w++ = '2', *w++ = '0', *w++ = '2';
            *w++ = c == 0x2028 ? '8' : '9';
        } else {
            PutCodePoint(c, w);
        }
    }
    out.truncate(start + (w - begin));
}

namespace {

// Bytes of UTF-8 a JSON string may hold as they are: not a control character, quote or
// backslash, nor the lead byte of a C1 control (C2) or of U+2028 and U+2029 (E2), which
// are looked at one by one.
inline bool JsonPlain(unsigned char b) {
    return b >= 0x20 && b != '"' && b != '\\' && b != 0x7F && b != 0xC2 && b != 0xE2;
}

#if defined(__SSE2__)
// The bytes of the 16 at p that JsonPlain refuses, a bit each.
inline unsigned JsonSpecialSse2(const unsigned char* p) {
    const __m128i low = _mm_set1_epi8(0x1F);
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i m =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(_mm_max_epu8(v, low), low),
                                  _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('"')),
                                               _mm_cmpeq_epi8(v, _mm_set1_epi8('\\')))),
                     _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(0x7F)),
                                  _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(char(0xC2))),
                                               _mm_cmpeq_epi8(v, _mm_set1_epi8(char(0xE2))))));
    return unsigned(_mm_movemask_epi8(m));
}

#endif

#if defined(__x86_64__)
__attribute__((target("avx2"))) inline std::uint32_t JsonSpecialAvx2(const unsigned char* p) {
    const __m256i low = _mm256_set1_epi8(0x1F);
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i m = _mm256_or_si256(
        _mm256_or_si256(_mm256_cmpeq_epi8(_mm256_max_epu8(v, low), low),
                        _mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('"')),
                                        _mm256_cmpeq_epi8(v, _mm256_set1_epi8('\\')))),
        _mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8(0x7F)),
                        _mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8(char(0xC2))),
                                        _mm256_cmpeq_epi8(v, _mm256_set1_epi8(char(0xE2))))));
    return std::uint32_t(_mm256_movemask_epi8(m));
}

#endif

// The bytes from d on that JSON takes as they are, copied to w a vector at a time; how
// many. Each vector is stored whole before it is looked at, so that a plain one costs no
// more: w must have room for n bytes, which the bytes past the first special one may
// fill with what is written over next.
#if defined(__SSE2__)
qsizetype JsonPlainCopySse2(const unsigned char* d, qsizetype n, char* w) {
    qsizetype i = 0;
    for (; i + 16 <= n; i += 16) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(w + i),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i)));
        if (const unsigned bits = JsonSpecialSse2(d + i)) return i + __builtin_ctz(bits);
    }
    if (i < n && n >= 16) {
        const qsizetype at = n - 16;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(w + at),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + at)));
        const unsigned bits = JsonSpecialSse2(d + at) >> (i - at);
        return bits ? i + __builtin_ctz(bits) : n;
    }
    return i;
}
#endif

#if defined(__x86_64__)
__attribute__((target("avx2"))) qsizetype JsonPlainCopyAvx2(const unsigned char* d, qsizetype n,
                                                            char* w) {
    qsizetype i = 0;
    for (; i + 32 <= n; i += 32) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(w + i),
                            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i)));
        if (const std::uint32_t bits = JsonSpecialAvx2(d + i)) return i + __builtin_ctz(bits);
    }
    if (i < n && n >= 32) {
        const qsizetype at = n - 32;
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(w + at),
                            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + at)));
        const std::uint32_t bits = JsonSpecialAvx2(d + at) >> (i - at);
        return bits ? i + __builtin_ctz(bits) : n;
    }
    return i + JsonPlainCopySse2(d + i, n - i, w + i);
}
#endif

qsizetype JsonPlainCopy(const unsigned char* d, qsizetype n, char* w) {
    qsizetype i = 0;
#if defined(__SSE2__)
    switch (detail::ActiveKernel()) {
        case Kernel::Scalar:
            break;
#if defined(__x86_64__)
        case Kernel::Avx2:
            i = JsonPlainCopyAvx2(d, n, w);
            break;
#endif
        default:
            i = JsonPlainCopySse2(d, n, w);
    }
#endif
    for (; i < n && JsonPlain(d[i]); ++i) w[i] = char(d[i]);
    return i;
}

}  // namespace

char* JsonUtf8Into(QByteArrayView text, char* w) {
    static const char kHex[] = "0123456789abcdef";
    const auto* d = reinterpret_cast<const unsigned char*>(text.data());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        const qsizetype plain = JsonPlainCopy(d + i, n - i, w);
        w += plain;
        i += plain;
        if (i == n) break;
        const unsigned char b = d[i++];
        unsigned control = b;
        if (b == 0xC2) {
            if (i == n || d[i] < 0x80 || d[i] > 0x9F) {
                *w++ = char(b);
                continue;
            }
            control = d[i++];
        } else if (b == 0xE2) {
            if (i + 1 < n && d[i] == 0x80 && (d[i + 1] == 0xA8 || d[i + 1] == 0xA9)) {
                *w++ = '\\', *w++ = 'u', *w++ = '2', *w++ = '0', *w++ = '2';
                *w++ = d[i + 1] == 0xA8 ? '8' : '9';
                i += 2;
            } else {
                *w++ = char(b);
            }
            continue;
        }
        switch (control) {
            case '"':
            case '\\':
                *w++ = '\\', *w++ = char(control);
                break;
            case '\n':
                *w++ = '\\', *w++ = 'n';
                break;
            case '\t':
                *w++ = '\\', *w++ = 't';
                break;
            case '\r':
                *w++ = '\\', *w++ = 'r';
                break;
            default:
                *w++ = '\\', *w++ = 'u', *w++ = '0', *w++ = '0';
                *w++ = kHex[control >> 4], *w++ = kHex[control & 0xF];
        }
    }
    return w;
}

void AppendJsonName(const QByteArray& name, QByteArray& out) {
    AppendJsonString(QString::fromUtf8(name), out);
}

void AppendFieldName(const QByteArray& name, QByteArray& out) {
    // "total" names the total's line; the same file is "./total".
    if (name == "total") out += "./";
    for (const char c : name) {
        switch (c) {
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                out += c;
        }
    }
}

qsizetype CodePoints(QStringView text) {
    qsizetype pairs = 0;
    for (qsizetype i = 0; i + 1 < text.size(); ++i)
        if (text[i].isHighSurrogate() && text[i + 1].isLowSurrogate()) ++pairs, ++i;
    return text.size() - pairs;
}

}  // namespace brintale::cli
