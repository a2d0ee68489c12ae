// The text decoder on any bytes: no crash, and what it gives is what the bytes say.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/text_file.h"

namespace {

void Require(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = brintale::DecodeText(bytes);
    const auto byte = [&](qsizetype k) { return std::uint8_t(bytes[k]); };

    const bool little = size >= 2 && byte(0) == 0xFF && byte(1) == 0xFE;
    const bool big = size >= 2 && byte(0) == 0xFE && byte(1) == 0xFF;
    if (little || big) {
        // The mark dropped, one character per pair, an odd last byte as one U+FFFD.
        const qsizetype pairs = (qsizetype(size) - 2) / 2;
        Require(text.size() == pairs + qsizetype(size % 2));
        for (qsizetype k = 0; k < pairs; ++k) {
            const std::uint8_t a = byte(2 + 2 * k), b = byte(3 + 2 * k);
            Require(text[k].unicode() == (little ? (a | b << 8) : (a << 8 | b)));
        }
        if (size % 2) Require(text.back() == QChar(0xFFFD));
        return 0;
    }
    // The UTF-8 mark dropped; the rest either valid UTF-8, which spells its bytes again, or
    // one Windows-1252 character a byte.
    const bool marked = size >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF;
    const QByteArray rest = marked ? bytes.sliced(3) : bytes;
    const auto restByte = [&](qsizetype k) { return std::uint8_t(rest[k]); };
    bool singleByte = text.size() == rest.size();
    for (qsizetype k = 0; singleByte && k < text.size(); ++k)
        singleByte = text[k].unicode() == brintale::Windows1252ToUnicode(restByte(k));
    Require(singleByte || text.toUtf8() == rest);
    return 0;
}
