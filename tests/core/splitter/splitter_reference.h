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

// Steps 1 and 2.
ReferenceMasked ReferenceMask(QString text, const QStringList& entries);

// All four steps.
QStringList ReferenceSplit(QString text, const QString& separators, const QStringList& entries);

}  // namespace brintale::testing
