// Placeholder until this command lands.
#include "abbreviations/abbreviation_window.h"

#include <QStringList>

namespace brintale::form1 {

void PushButton4_Click(Form1&) {}
}  // namespace brintale::form1
