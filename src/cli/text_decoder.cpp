#include "cli/text_decoder.h"

#include <cstring>

#include "core/text_file.h"

#if defined(__SSE2__)
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
