// Placeholder until the reader lands.
#include "input/text_file.h"

namespace brintale {

QString ReadTextFile(const QString&) { return QString(); }

}  // namespace brintale
