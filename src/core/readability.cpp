#include "core/readability.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "core/statistics.h"
#include "core/syllable_rule.h"
#include "syllable_exceptions.inc"

namespace brintale {

namespace {

// The dictionary's words that the rule gets wrong, with their counts.
const std::unordered_map<std::string_view, unsigned char>& Exceptions() {
    static const auto table = [] {
        std::unordered_map<std::string_view, unsigned char> map;
        map.reserve(kSyllableExceptionCount);
        const std::string_view all(kSyllableExceptions, sizeof kSyllableExceptions - 1);
        std::size_t start = 0;
        for (std::size_t i = 0; i < all.size(); ++i) {
            const char c = all[i];
            if ((c >= 'a' && c <= 'z') || c == '\'') continue;
            map.emplace(all.substr(start, i - start), static_cast<unsigned char>(c - '0'));
            start = i + 1;
        }
        return map;
    }();
    return table;
}

// A letter as the dictionary spells it: lower-case ASCII, accents dropped; 0 for a letter
// of another script.
char FoldLetter(char32_t c) {
    if (c < 0x80) {
        if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
        return c >= 'a' && c <= 'z' ? static_cast<char>(c) : 0;
    }
    if (c == 0xDF) return 's';  // ß
    const QString decomposed = QChar::decomposition(c);
    if (decomposed.isEmpty()) return 0;
    return FoldLetter(decomposed.front().unicode());
}

bool IsApostrophe(char16_t c) { return c == u'\'' || c == u'\u2019'; }

// The syllables of a word given as its folded letters and digits.
int Syllables(const std::string& letters, int digits, bool otherLetters) {
    int syllables = digits;
    if (!letters.empty()) {
        // Texts use the same words again and again: the last counts are kept by a hash, so
        // that most words cost a hash and a comparison.
        struct Cached {
            std::string word;
            int syllables = 0;
        };
        // On the heap: a thread's static storage is cleared page by page at its start,
        // whether it ever counts a syllable or not.
        using Cache = std::array<Cached, 4096>;
        thread_local std::unique_ptr<Cache> cache;
        if (!cache) cache = std::make_unique<Cache>();
        std::uint32_t h = 2166136261u;
        for (const char c : letters) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
        Cached& slot = (*cache)[h % cache->size()];
        if (slot.word != letters) {
            const auto& table = Exceptions();
            const auto found = table.find(letters);
            slot.syllables = found != table.end() ? found->second : RuleSyllables(letters);
            slot.word = letters;
        }
        syllables += slot.syllables;
    } else if (otherLetters) {
        syllables += 1;
    }
    return syllables;
}

// Calls `word(letters, digits, otherLetters, length)` for each word: a run of letters and
// digits, apostrophes inside it included, digits joined by a point or comma ("3.5").
template <typename F>
void ForEachWord(QStringView text, F&& word) {
    thread_local std::string letters;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        letters.clear();
        int digits = 0, letterOrDigits = 0;
        bool other = false;
        while (i < n) {
            char32_t c = text[i].unicode();
            // Most words are ASCII letters.
            if (c < 0x80) {
                if ((c | 0x20) - 'a' < 26) {
                    ++letterOrDigits;
                    letters += static_cast<char>(c | 0x20);
                    ++i;
                    continue;
                }
                if (c - '0' < 10) {
                    ++letterOrDigits;
                    ++digits;
                    ++i;
                    continue;
                }
            }
            qsizetype width = 1;
            if (QChar::isHighSurrogate(c) && i + 1 < n && text[i + 1].isLowSurrogate()) {
                c = QChar::surrogateToUcs4(text[i].unicode(), text[i + 1].unicode());
                width = 2;
            }
            if (QChar::isLetter(c) || QChar::isMark(c)) {
                if (QChar::isLetter(c)) {
                    ++letterOrDigits;
                    if (const char folded = FoldLetter(c))
                        letters += folded;
                    else
                        other = true;
                }
            } else if (QChar::isNumber(c)) {
                ++letterOrDigits;
                ++digits;
            } else if (letterOrDigits > 0 && i + 1 < n && text[i + 1].isLetterOrNumber() &&
                       (IsApostrophe(text[i].unicode()) ||
                        ((text[i] == u'.' || text[i] == u',') && text[i - 1].isNumber() &&
                         text[i + 1].isNumber()))) {
                if (IsApostrophe(text[i].unicode())) letters += '\'';
            } else {
                break;
            }
            i += width;
        }
        if (letterOrDigits > 0) word(letters, digits, other, letterOrDigits);
        // What ended the word, or what goes before the next.
        while (i < n && !text[i].isLetterOrNumber() && !text[i].isHighSurrogate()) ++i;
        if (i < n && text[i].isHighSurrogate() &&
            !(i + 1 < n && QChar::isLetterOrNumber(
                               QChar::surrogateToUcs4(text[i].unicode(), text[i + 1].unicode()))))
            ++i;
    }
}

}  // namespace

int WordSyllables(QStringView word) {
    int total = 0;
    ForEachWord(word, [&](const std::string& letters, int digits, bool other, int) {
        total += Syllables(letters, digits, other);
    });
    return total;
}

void ReadabilityCounts::Add(const ReadabilityCounts& other) {
    sentences += other.sentences;
    words += other.words;
    syllables += other.syllables;
    letters += other.letters;
    polysyllables += other.polysyllables;
}

ReadabilityCounts MeasureText(QStringView text, qsizetype sentences) {
    ReadabilityCounts counts;
    counts.sentences = sentences;
    counts.words = CountWords(text);
    ForEachWord(text, [&](const std::string& letters, int digits, bool other, int length) {
        const int syllables = Syllables(letters, digits, other);
        counts.syllables += syllables;
        counts.letters += length;
        counts.polysyllables += syllables >= 3 ? 1 : 0;
    });
    return counts;
}

ReadabilityCounts MeasureSentence(QStringView sentence) { return MeasureText(sentence, 1); }

std::optional<ReadabilityScores> Readability(const ReadabilityCounts& c) {
    if (c.sentences <= 0 || c.words <= 0) return std::nullopt;
    const double s = static_cast<double>(c.sentences), w = static_cast<double>(c.words);
    const double y = static_cast<double>(c.syllables), l = static_cast<double>(c.letters);
    const double p = static_cast<double>(c.polysyllables);
    ReadabilityScores r;
    r.fleschReadingEase = 206.835 - 1.015 * w / s - 84.6 * y / w;
    r.fleschKincaidGrade = 0.39 * w / s + 11.8 * y / w - 15.59;
    r.gunningFog = 0.4 * (w / s + 100 * p / w);
    r.smog = 1.0430 * std::sqrt(30 * p / s) + 3.1291;
    r.colemanLiau = 0.0588 * (100 * l / w) - 0.296 * (100 * s / w) - 15.8;
    r.ari = 4.71 * l / w + 0.5 * w / s - 21.43;
    return r;
}

QString GradeMeaning(double grade) {
    const int years = static_cast<int>(std::lround(grade));
    if (years < 1) return QStringLiteral("Below grade 1: a beginning reader follows it.");
    if (years <= 12)
        return QStringLiteral(
                   "Grade %1: a reader with about %1 years of school (aged %2 to %3) follows it.")
            .arg(years)
            .arg(years + 5)
            .arg(years + 6);
    return QStringLiteral("Grade %1: it asks for about %1 years of schooling, beyond school.")
        .arg(years);
}

}  // namespace brintale
