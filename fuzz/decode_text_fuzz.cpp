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
        // The mark kept, one character per pair, an odd last byte as one U+FFFD.
        const qsizetype pairs = (qsizetype(size) - 2) / 2;
        Require(text.size() == 1 + pairs + qsizetype(size % 2));
        Require(text[0] == QChar(0xFEFF));
        for (qsizetype k = 0; k < pairs; ++k) {
            const std::uint8_t a = byte(2 + 2 * k), b = byte(3 + 2 * k);
            Require(text[1 + k].unicode() == (little ? (a | b << 8) : (a << 8 | b)));
        }
        if (size % 2) Require(text.back() == QChar(0xFFFD));
        return 0;
    }
    // Either valid UTF-8, which spells its bytes again, or one Windows-1252 character a byte.
    bool singleByte = text.size() == qsizetype(size);
    for (qsizetype k = 0; singleByte && k < text.size(); ++k)
        singleByte = text[k].unicode() == brintale::Windows1252ToUnicode(byte(k));
    Require(singleByte || text.toUtf8() == bytes);
    return 0;
}
