// One reader of documents on any bytes (the format is chosen at build time): no crash, no
// leak, no hang, no memory beyond the limit; a fault is a Failure that names its cause.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/failure.h"
#include "documents/document_reader.h"

#ifndef BRINTALE_FUZZ_FORMAT
#error "BRINTALE_FUZZ_FORMAT names the reader"
#endif

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using brintale::documents::Format;
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    qsizetype units = 0;
    try {
        brintale::documents::ReadDocumentBytes(bytes, Format::BRINTALE_FUZZ_FORMAT,
                                               [&](QStringView piece) { units += piece.size(); });
    } catch (const brintale::Failure& failure) {
        if (failure.description().isEmpty()) std::abort();
        return 0;
    }
    // Markup, references and white space only ever shrink to text, so a page of HTML or
    // Markdown never gives more characters than it has bytes (and a last line break).
    const bool plain = Format::BRINTALE_FUZZ_FORMAT == Format::Html ||
                       Format::BRINTALE_FUZZ_FORMAT == Format::Markdown;
    if (plain && units > qsizetype(size) + 1) std::abort();
    return 0;
}
