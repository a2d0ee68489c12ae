#pragma once

#include <QString>

namespace brintale {

class MainForm;

inline const QString kTextFileFilter =
    QStringLiteral("Text Files (*.txt)|*.txt|All Files (*.*)|*.*|");

// "Save Results As Text File".
void SaveResultsAsTextFile(MainForm& form);

}  // namespace brintale
