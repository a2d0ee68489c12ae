#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <cstddef>
#include <functional>
#include <vector>

namespace brintale {

// The separator text as typed, then a line feed and a tab when their options are on.
QString ComposeSeparatorSet(const QString& separatorText, bool lineFeed, bool tab);

// Step 1: every carriage return removed.
QString RemoveCarriageReturns(QString text);

// Step 2: the text with every listed abbreviation replaced by its marker, and the
// knowledge of which stretches are markers the masking inserted.
struct MaskedText {
    QString text;
    // Inserted markers: where each starts in text, its length and its entry's index.
    struct Marker {
        qsizetype position;
        qsizetype length;
        qsizetype entry;
    };
    std::vector<Marker> markers;  // by position
    QStringList entries;
};

// Handed each sentence the moment its buffer closes.
using SentenceSink = std::function<void(QString&& sentence)>;

MaskedText MaskAbbreviations(QString text, const QStringList& abbreviations);

// Steps 3 and 4 over a masked text.
void ScanSentences(const MaskedText& masked, QStringView separators, const SentenceSink& sink);

// All four steps; text may still hold carriage returns.
void SplitSentences(QString text, QStringView separators, const QStringList& abbreviations,
                    const SentenceSink& sink);
QStringList SplitSentences(QString text, QStringView separators, const QStringList& abbreviations);
std::size_t CountSentences(QString text, QStringView separators, const QStringList& abbreviations);

}  // namespace brintale
