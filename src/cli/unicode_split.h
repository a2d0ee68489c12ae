#pragma once

#include <cstdint>

#include "cli/byte_source.h"
#include "cli/count_settings.h"
#include "core/splitter/splitter.h"

namespace brintale::cli {

// The count by Unicode's rules, which need the whole text: read whole (within the memory
// left), decoded as the window decodes it, positions in code points. Throws ReadError.
std::int64_t SplitByUnicodeRules(ByteSource& source, const CountSettings& settings,
                                 const Tuning& tuning, SentenceReceiver& receiver);

}  // namespace brintale::cli
