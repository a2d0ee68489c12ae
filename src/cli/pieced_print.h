#pragma once

#include <cstdint>

#include "cli/byte_source.h"
#include "cli/count_settings.h"
#include "core/splitter/byte_splitter.h"

namespace brintale::cli {

class SentenceWriter;

// The sentences of a file that can be read ahead and tells its size, printed on two cores:
// the file is cut into pieces, each split on whichever thread is free, and their output goes
// out in order, the same as the bytes split in one go. splitter: one made for the rules, for
// this thread; text: where the text begins (after a mark). False, with nothing read or
// written but a look at the places to cut, for a text that cannot be cut often enough.
// Throws ReadError, Failure, std::bad_alloc.
bool PrintInPieces(ByteSource& source, std::int64_t text, ByteSplitter& splitter,
                   const ByteSplitter::Options& options, const Tuning& tuning,
                   SentenceWriter& writer, std::int64_t& sentences, bool& endedInsideParts);

}  // namespace brintale::cli
