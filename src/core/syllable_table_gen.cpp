// Reads the pronouncing dictionary (festival's form: ("word" pos (((phones) stress) ...)),
// one syllable a group) and either writes the table of the words whose syllables the rule
// gets wrong, or measures the rule against the dictionary.
//   syllable_table_gen table DICTIONARY OUTPUT
//   syllable_table_gen measure DICTIONARY
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <string>

#include "core/syllable_rule.h"

namespace {

// The first pronunciation of each word, as the program's table keeps it.
std::map<std::string, int> ReadDictionary(const char* path) {
    std::ifstream in(path);
    if (!in) {
        std::cerr << "syllable_table_gen: cannot read " << path << "\n";
        std::exit(1);
    }
    std::map<std::string, int> words;
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() < 4 || line[0] != '(' || line[1] != '"') continue;
        const std::size_t close = line.find('"', 2);
        if (close == std::string::npos) continue;
        std::string word = line.substr(2, close - 2);
        bool plain = !word.empty();
        for (char& c : word) {
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            plain = plain && ((c >= 'a' && c <= 'z') || c == '\'');
        }
        if (!plain) continue;
        // Each syllable ends in its stress: "(ph ones) 1)".
        int syllables = 0;
        for (std::size_t i = close; i + 3 < line.size(); ++i)
            if (line[i] == ')' && line[i + 1] == ' ' && line[i + 2] >= '0' && line[i + 2] <= '9' &&
                line[i + 3] == ')')
                ++syllables;
        if (syllables > 0) words.emplace(word, syllables);
    }
    return words;
}

// The words kept back from the rule's making, to measure it on: a tenth, by a hash.
bool HeldOut(const std::string& word) {
    std::uint32_t h = 2166136261u;
    for (const char c : word) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    return h % 10 == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (!((mode == "table" && argc == 4) || (mode == "measure" && argc == 3))) {
        std::cerr << "usage: syllable_table_gen table DICTIONARY OUTPUT | measure DICTIONARY\n";
        return 2;
    }
    const std::map<std::string, int> words = ReadDictionary(argv[2]);
    if (mode == "measure") {
        long made = 0, madeRight = 0, held = 0, heldRight = 0;
        for (const auto& [word, syllables] : words) {
            const bool right = brintale::RuleSyllables(word) == syllables;
            (HeldOut(word) ? held : made) += 1;
            (HeldOut(word) ? heldRight : madeRight) += right ? 1 : 0;
        }
        std::printf("dictionary words: %zu\n", words.size());
        std::printf("rule on the words it was made with: %ld of %ld right (%.1f %%)\n", madeRight,
                    made, 100.0 * double(madeRight) / double(made));
        std::printf("rule on held-out words: %ld of %ld wrong (%.1f %% error)\n", held - heldRight,
                    held, 100.0 * double(held - heldRight) / double(held));
        return 0;
    }
    std::ofstream out(argv[3]);
    out << "// Generated at build time from the pronouncing dictionary: the words whose\n"
           "// syllables the rule gets wrong, each followed by its count as '0' + count.\n"
           "inline constexpr char kSyllableExceptions[] =\n";
    std::size_t kept = 0;
    std::string line;
    for (const auto& [word, syllables] : words) {
        if (brintale::RuleSyllables(word) == syllables) continue;
        ++kept;
        line += word;
        // Up to 42 syllables the count is a character that needs no escape.
        line += static_cast<char>('0' + std::min(syllables, 42));
        if (line.size() > 90) {
            out << "    \"" << line << "\"\n";
            line.clear();
        }
    }
    out << "    \"" << line << "\";\n";
    out << "inline constexpr int kSyllableExceptionCount = " << kept << ";\n";
    return out ? 0 : 1;
}
