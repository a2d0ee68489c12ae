#include "core/text_sentences.h"

#include <algorithm>
#include <limits>

#include "core/splitter/splitter.h"
#include "core/statistics.h"

namespace brintale {

TextSentences FindSentences(QString text, const SentenceRules& rules, int longerThan) {
    TextSentences found;
    SplitSentences(
        std::move(text), rules.separators, rules.abbreviations,
        [&](QString&& sentence, qsizetype start, qsizetype end) {
            ++found.sentences;
            const qsizetype words = CountWords(sentence);
            if (words > longerThan)
                found.longer.push_back({start, end,
                                        static_cast<std::int32_t>(std::min<qsizetype>(
                                            words, std::numeric_limits<std::int32_t>::max()))});
        });
    return found;
}

StretchFigures MeasureStretch(QString text, const SentenceRules& rules) {
    StretchFigures figures;
    SplitSentences(std::move(text), rules.separators, rules.abbreviations, [&](QString&& sentence) {
        ++figures.sentences;
        figures.counts.Add(MeasureSentence(sentence));
    });
    return figures;
}

}  // namespace brintale
