#pragma once

#include <QString>

namespace brintale {

// True when the file system can report the last-modified time of path; never fails.
bool FileExists(const QString& path);

}  // namespace brintale
