#pragma once

#include <cstdint>

#include "cli/byte_source.h"
#include "cli/count_settings.h"
#include "core/splitter/splitter.h"

namespace brintale::cli {

class OrderedOutput;

// Reads one text from source and hands its sentences to receiver (none with countOnly);
// returns the number of sentences. Throws ReadError, Failure, std::bad_alloc.
std::int64_t SplitSource(ByteSource& source, const CountSettings& settings, const Tuning& tuning,
                         SentenceReceiver& receiver);

// One input (nullptr: the built-in example): its output and summary go to `out` as file
// number `index`; a failure goes there as one line for standard error. Never throws.
FileSummary CountInput(const InputName* input, const CountSettings& settings, const Tuning& tuning,
                       OrderedOutput& out, int index);

}  // namespace brintale::cli
