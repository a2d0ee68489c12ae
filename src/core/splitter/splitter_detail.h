#pragma once

// What the steps' files share beyond the public interface, and the two ways of masking
// apart, so that each can be checked on its own.

#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>
#include <utility>
#include <vector>

#include "core/splitter/splitter.h"

namespace brintale::detail {

// One pass over the text for all entries at once. Gives up (nullopt) when an entry could
// match across a marker that an earlier entry inserted, where only the pass-by-pass method
// is exact.
std::optional<MaskedText> MaskByOccurrences(const QString& text, const QStringList& abbreviations);

// One pass over the whole text per entry, as the rules tell it; linear per entry.
MaskedText MaskByPasses(QString text, const QStringList& abbreviations);

// The masked text spelled out, carriage returns removed; wholeMarkers (optional) receives
// the start and length of every marker that is still whole.
QString SpellMasked(const MaskedText& masked,
                    std::vector<std::pair<qsizetype, qsizetype>>* wholeMarkers);

// "Abbreviation_" and the index.
QString MarkerText(qsizetype entry);

// The sentences of a masked text as one list.
QStringList ScanSentenceList(const MaskedText& masked, QStringView separators);

}  // namespace brintale::detail
