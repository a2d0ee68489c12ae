#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "core/readability.h"

namespace brintale {

// What makes a sentence end, as a count takes it.
struct SentenceRules {
    QString separators;  // the separator characters, a line feed and a tab among them when on
    QStringList abbreviations;
    bool operator==(const SentenceRules&) const = default;
};

// A sentence's stretch [start, end) of the text and its words.
struct SentenceSpan {
    qsizetype start = 0;
    qsizetype end = 0;
    std::int32_t words = 0;
    bool operator==(const SentenceSpan&) const = default;
};

// The sentences a count would give of a text: how many, and the stretches of those longer
// than `longerThan` words, in text order.
struct TextSentences {
    qsizetype sentences = 0;
    std::vector<SentenceSpan> longer;
};
TextSentences FindSentences(QString text, const SentenceRules& rules, int longerThan);

// The figures of a stretch of text taken as a count would split it.
struct StretchFigures {
    qsizetype sentences = 0;
    ReadabilityCounts counts;
};
StretchFigures MeasureStretch(QString text, const SentenceRules& rules);

}  // namespace brintale
