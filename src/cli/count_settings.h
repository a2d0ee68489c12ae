#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

#include "cli/options.h"
#include "core/splitter/splitter_detail.h"
#include "core/statistics.h"

namespace brintale::cli {

// What the parts of a count share: its settings, the sizes of its work and what one file
// gave.
struct CountSettings {
    QString separators;
    QStringList abbreviations;
    Rules rules = Rules::Separators;
    Format format = Format::Lines;
    bool countOnly = false;
    bool stats = false;
    int longWords = kDefaultLongSentenceWords;
    bool severalFiles = false;  // names go into the tsv lines and the summaries
    bool secondCore = false;    // a core to spare for each file: scan on a thread of its own
    QString from;               // a document format that --from names; "": by content
};

// Sizes of the work, small in tests so that every edge is crossed.
struct Tuning {
    qsizetype blockBytes = qsizetype(1) << 20;  // one read(2)
    // Undecided bytes of a pipe kept while it may still prove not to be UTF-8.
    qsizetype holdBytes = qsizetype(4) << 20;
    qsizetype segmentUnits = qsizetype(1) << 20;  // the splitter's step
    qsizetype heldUnits = detail::kHeldLimit;     // text without a place to cut it
    // A sentence longer than this goes out in parts as it is read (one a line only).
    qsizetype sentencePartUnits = qsizetype(1) << 20;
    qsizetype outputBytes = qsizetype(1) << 16;  // written at once
    // A file printed on two cores is cut about so often: each piece and what it prints stay
    // in the core's cache.
    std::int64_t pieceBytes = std::int64_t(1) << 19;
};

// What one file gave, for its summary and the total.
struct FileSummary {
    bool ok = false;
    std::int64_t sentences = 0;
    StatisticsCollector statistics;
    std::int64_t longestStart = -1, longestEnd = -1;
};

}  // namespace brintale::cli
