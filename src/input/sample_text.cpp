// Placeholder until the sample lands.
#include "input/sample_text.h"

namespace brintale {

QStringList SampleTextPieces() { return {}; }
QString SampleText() { return SampleTextPieces().join(QString()); }

}  // namespace brintale
