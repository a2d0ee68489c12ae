#pragma once

#include <QString>
#include <QStringList>

namespace brintale {

// The built-in example in its three pieces (814, 209 and 192 characters).
QStringList SampleTextPieces();
QString SampleText();

}  // namespace brintale
