#include "core/syllable_rule.h"

#include <array>
#include <string>

namespace brintale {

namespace {

bool IsVowel(char c) {
    return c == 'a' || c == 'e' || c == 'i' || c == 'o' || c == 'u' || c == 'y';
}

bool EndsWith(std::string_view s, std::string_view end) {
    return s.size() >= end.size() && s.substr(s.size() - end.size()) == end;
}

// Pairs of vowels read as two syllables where a group of vowels is otherwise one.
constexpr std::array<std::string_view, 11> kSplitPairs = {"ia", "io", "eo", "ua", "uo", "ii",
                                                          "iu", "oa", "yo", "ya", "ae"};

}  // namespace

int RuleSyllables(std::string_view word) {
    // The letters alone, on the stack for any ordinary word.
    std::array<char, 64> buffer;
    std::string longer;
    std::size_t length = 0;
    if (word.size() <= buffer.size()) {
        for (const char c : word)
            if (c >= 'a' && c <= 'z') buffer[length++] = c;
    } else {
        for (const char c : word)
            if (c >= 'a' && c <= 'z') longer += c;
        length = longer.size();
    }
    const std::string_view w(longer.empty() ? buffer.data() : longer.data(), length);
    if (w.empty()) return 0;
    int groups = 0;
    for (std::size_t i = 0; i < w.size(); ++i) {
        // A leading "y" is a consonant ("yes"), as is one before a vowel ("beyond").
        const bool vowel =
            IsVowel(w[i]) && !(w[i] == 'y' && (i == 0 || (i + 1 < w.size() && IsVowel(w[i + 1]) &&
                                                          w[i + 1] != 'y')));
        const bool before = i > 0 && IsVowel(w[i - 1]) &&
                            !(w[i - 1] == 'y' && (i == 1 || !IsVowel(w[i - 2])) && IsVowel(w[i]));
        if (vowel && !before) {
            ++groups;
        } else if (vowel && before) {
            const std::string_view pair(w.data() + i - 1, 2);
            bool split = false;
            for (const std::string_view p : kSplitPairs) split = split || pair == p;
            // "-tion", "-sion", "-cian", "-cious": the "i" only softens the consonant.
            if (split && w[i - 1] == 'i' && i >= 2 &&
                (w[i - 2] == 't' || w[i - 2] == 's' || w[i - 2] == 'c' || w[i - 2] == 'g' ||
                 w[i - 2] == 'x'))
                split = false;
            // "qua", "quo", "gua": the "u" goes with the consonant.
            if (split && w[i - 1] == 'u' && i >= 2 && (w[i - 2] == 'q' || w[i - 2] == 'g'))
                split = false;
            // "-ea" before a final "t"/"d"/"te": "create", "created", "idea".
            if (!split && pair == "ea" &&
                (i + 1 == w.size() || EndsWith(w, "eate") || EndsWith(w, "eated") ||
                 EndsWith(w, "eates") || EndsWith(w, "eating") || EndsWith(w, "eation")))
                split = i >= 2;
            // "being", "going"; "happier", "easiest": the "i" starts a syllable of its own.
            if (!split &&
                ((w[i] == 'i' && (w.substr(i) == "ing" || w.substr(i) == "ings")) ||
                 (w[i - 1] == 'i' && (w.substr(i - 1) == "ier" || w.substr(i - 1) == "iers" ||
                                      w.substr(i - 1) == "iest"))))
                split = true;
            groups += split ? 1 : 0;
        }
    }
    const std::size_t n = w.size();
    const auto consonant = [&w](std::size_t i) { return !IsVowel(w[i]); };
    if (n >= 3 && w.back() == 'e' && consonant(n - 2)) {
        // A final "e" after a consonant is silent, but "-le" after a consonant is a syllable
        // ("table"), as are the "e" of short words ("the", "be") and of "-ye", "-ee".
        const bool le = w[n - 2] == 'l' && consonant(n - 3) && w[n - 3] != 'l';
        if (!le && groups > 1) --groups;
    } else if (n >= 4 && EndsWith(w, "ed") && consonant(n - 3) && w[n - 3] != 't' &&
               w[n - 3] != 'd' && groups > 1) {
        // "-ed" is heard only after "t" or "d", but "-led" after a consonant keeps the
        // syllable of its "-le" ("handled").
        const bool led = w[n - 3] == 'l' && n >= 5 && consonant(n - 4) && w[n - 4] != 'l';
        if (!led) --groups;
    } else if (n >= 4 && EndsWith(w, "es") && consonant(n - 3) && groups > 1) {
        // "-es" is heard after a hissing sound ("boxes", "pages") and is silent elsewhere.
        const char c = w[n - 3];
        const bool hiss = c == 's' || c == 'x' || c == 'z' || EndsWith(w, "ches") ||
                          EndsWith(w, "shes") || EndsWith(w, "ges") || EndsWith(w, "ces");
        const bool le = c == 'l' && consonant(n - 4) && w[n - 4] != 'l';
        if (!hiss && !le) --groups;
    }
    // "-ism" ends in a syllable of its own; the "e" of "-ely" after a consonant is silent.
    if (n >= 4 && EndsWith(w, "ism")) ++groups;
    if (n >= 5 && EndsWith(w, "ely") && consonant(n - 4) && groups > 2) --groups;
    return groups > 0 ? groups : 1;
}

}  // namespace brintale
