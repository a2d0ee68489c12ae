#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

#include "cli/byte_source.h"
#include "cli/options.h"
#include "core/splitter/splitter_detail.h"
#include "core/statistics.h"

namespace brintale::cli {

class OrderedOutput;

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
};

// A sentence, its stretch in code points of the text.
class SentenceReceiver {
  public:
    virtual ~SentenceReceiver() = default;
    virtual void Sentence(QStringView text, std::int64_t start, std::int64_t end) = 0;
    // The start of a sentence too long to hold; the rest follows.
    virtual void SentencePart(QStringView text) = 0;
    // The text ended inside the sentence whose start went out.
    virtual void AbandonSentence() {}
};

// What one file gave, for its summary and the total.
struct FileSummary {
    bool ok = false;
    std::int64_t sentences = 0;
    StatisticsCollector statistics;
    std::int64_t longestStart = -1, longestEnd = -1;
};

// Reads one text from source and hands its sentences to receiver (none with countOnly);
// returns the number of sentences. Throws ReadError, Failure, std::bad_alloc.
std::int64_t SplitSource(ByteSource& source, const CountSettings& settings, const Tuning& tuning,
                         SentenceReceiver& receiver);

// One input (nullptr: the built-in example): its output and summary go to `out` as file
// number `index`; a failure goes there as one line for standard error. Never throws.
FileSummary CountInput(const InputName* input, const CountSettings& settings, const Tuning& tuning,
                       OrderedOutput& out, int index);

// What --count and --stats print after a file, and after all of them when there are
// several: "N" or "N<TAB>name", and the statistics.
QByteArray SummaryText(const FileSummary& summary, const CountSettings& settings,
                       const InputName* input);
QByteArray TotalText(const std::vector<FileSummary>& summaries,
                     const std::vector<const InputName*>& inputs, const CountSettings& settings);

}  // namespace brintale::cli
