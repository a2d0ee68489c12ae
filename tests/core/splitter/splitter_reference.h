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

}  // namespace brintale::testing
