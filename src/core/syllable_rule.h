#pragma once

#include <string_view>

namespace brintale {

// The syllables of an English word by rule alone, for the words the pronouncing dictionary
// lacks. `word` holds lower-case ASCII letters, perhaps with apostrophes; at least 1 for a
// word with a letter. Standard C++ only: the build's table generator uses it too.
int RuleSyllables(std::string_view word);

}  // namespace brintale
