#pragma once

// The splitting rules written out plainly, one step after the other, to check the splitter.

#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

namespace brintale::testing {

struct ReferenceMasked {
    QString text;
    // Start and length of every marker the masking inserted that is still whole.
    std::vector<std::pair<qsizetype, qsizetype>> wholeMarkers;
};

// Thrown where the splitter refuses a list: when after some entry the masked text would be
// longer than MaskedTextLimit of the text's length.
struct ReferenceRefused {};

// Steps 1 and 2; may throw ReferenceRefused.
ReferenceMasked ReferenceMask(QString text, const QStringList& entries);

// All four steps; may throw ReferenceRefused.
QStringList ReferenceSplit(QString text, const QString& separators, const QStringList& entries);

// A sentence and its stretch of the text as given.
struct ReferenceSentence {
    QString text;
    qsizetype start = 0;
    qsizetype end = 0;
    // Whether a separator or a later entry cut a marker in its buffer, where the sentence
    // need not be its stretch respelled.
    bool cutMarker = false;
    bool operator==(const ReferenceSentence&) const = default;
};

// The same with every sentence's stretch: each unit of the masked text remembers where it
// came from (a marker the stretch its match covered, an entry's unit the unit of the text
// it matched when the match took in text alone), and a sentence's stretch runs from its
// first unit's start to its last unit's end once spaces are trimmed.
std::vector<ReferenceSentence> ReferenceSplitLocated(QString text, const QString& separators,
                                                     const QStringList& entries);

}  // namespace brintale::testing
