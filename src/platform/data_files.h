#pragma once

#include <QString>

namespace brintale {

// Where the program's data file name is: beside the program (a development build), else in
// <programFolder>/../share/brintale (an installed one). When neither is there, the path beside
// the program, so that the caller's own existence test fails as it always did.
QString FindDataFile(const QString& name, const QString& programFolder);

}  // namespace brintale
