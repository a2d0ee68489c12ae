// Writes an English-like UTF-8 text of the given size to standard output, the same for the
// same size: sentences of common words, now and then a word beyond ASCII, an abbreviation
// of the built-in list, a decimal number, CR LF or LF line ends and tabs.
// Usage: corpus-text BYTES (a suffix K, M or G multiplies by 2^10, 2^20, 2^30)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace {

const char* const kWords[] = {
    "the",        "of",          "and",        "to",          "in",        "a",
    "is",         "that",        "for",        "it",          "as",        "was",
    "with",       "be",          "by",         "on",          "not",       "he",
    "this",       "are",         "or",         "his",         "from",      "at",
    "which",      "but",         "have",       "an",          "had",       "they",
    "you",        "were",        "their",      "one",         "all",       "we",
    "can",        "her",         "has",        "there",       "been",      "if",
    "more",       "when",        "will",       "would",       "who",       "so",
    "no",         "river",       "market",     "window",      "garden",    "letter",
    "morning",    "question",    "company",    "history",     "number",    "people",
    "country",    "measure",     "station",    "village",     "evening",   "material",
    "children",   "council",     "distance",   "important",   "different", "following",
    "government", "development", "particular", "information", "statement"};
const char* const kBeyondAscii[] = {"caf\xC3\xA9",
                                    "na\xC3\xAFve",
                                    "Z\xC3\xBCrich",
                                    "\xE2\x80\x94",
                                    "fa\xC3\xA7"
                                    "ade",
                                    "\xC3\xA9t\xC3\xA9"};
const char* const kAbbreviations[] = {"etc.", "ETC.", "e.g.", "E.g.", "i.e.", "vs.", "et al."};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: corpus-text BYTES\n");
        return 2;
    }
    char* unit = nullptr;
    unsigned long long size = std::strtoull(argv[1], &unit, 10);
    if (*unit == 'K') size <<= 10;
    if (*unit == 'M') size <<= 20;
    if (*unit == 'G') size <<= 30;
    std::mt19937 random(20261208);
    const auto below = [&](unsigned n) { return random() % n; };
    std::string block;
    unsigned long long written = 0;
    while (written < size) {
        block.clear();
        while (block.size() < (1u << 20)) {
            const unsigned words = 8 + below(24);
            const unsigned abbreviationAt = below(5) == 0 ? below(words) : words;
            for (unsigned w = 0; w < words; ++w) {
                if (w) block += ' ';
                if (w == abbreviationAt) {
                    block += kAbbreviations[below(std::size(kAbbreviations))];
                } else if (below(150) == 0) {
                    block += std::to_string(below(100)) + '.' + std::to_string(below(100));
                } else if (below(60) == 0) {
                    block += kBeyondAscii[below(std::size(kBeyondAscii))];
                } else {
                    std::string word = kWords[below(std::size(kWords))];
                    if (w == 0) word[0] = char(word[0] - 'a' + 'A');
                    block += word;
                    if (below(12) == 0) block += ',';
                }
            }
            const unsigned end = below(20);
            block += end == 0 ? '!' : end == 1 ? '?' : '.';
            const unsigned gap = below(12);
            block += gap == 0 ? "\r\n" : gap == 1 ? "\n\t" : " ";
        }
        const auto n = std::size_t(std::min<unsigned long long>(block.size(), size - written));
        if (std::fwrite(block.data(), 1, n, stdout) != n) return 1;
        written += n;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
