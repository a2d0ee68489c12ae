#pragma once

#include <QString>

namespace brintale {

// The whole file as text: "" for no file, "empty file" for 0 bytes, UTF-16 behind a
// byte-order mark (kept), otherwise UTF-8 when valid, else Windows-1252.
// Throws Failure when the file exists but cannot be read or held in memory.
QString ReadTextFile(const QString& path);

}  // namespace brintale
