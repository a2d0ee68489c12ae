#pragma once

#include <QString>
#include <memory>

#include "cli/byte_source.h"
#include "cli/options.h"

namespace brintale::cli {

// The input as the counter reads it: a document (by its content, or as from names it)
// becomes the UTF-8 of the text a reader sees, anything else the file's own bytes. from is
// "" or a name that documents::FormatFromName knows. Throws ReadError.
std::unique_ptr<ByteSource> OpenInput(const InputName& input, const QString& from);

}  // namespace brintale::cli
