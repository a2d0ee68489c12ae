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

using brintale::documents::Format;
constexpr Format kFormat = Format::BRINTALE_FUZZ_FORMAT;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    qsizetype units = 0;
    try {
        brintale::documents::ReadDocumentBytes(bytes, kFormat,
                                               [&](QStringView piece) { units += piece.size(); });
    } catch (const brintale::Failure& failure) {
        if (failure.description().isEmpty()) std::abort();
        return 0;
    }
    // Markup, references and white space only ever shrink to text, so a page of HTML never
    // gives more characters than it has bytes (and a last line break); Markdown at most
    // widens a tab of an indent to four spaces.
    const qsizetype length = qsizetype(size);
    if constexpr (kFormat == Format::Html)
        if (units > length + 1) std::abort();
    if constexpr (kFormat == Format::Markdown)
        if (units > 4 * length + 1) std::abort();
    return 0;
}
