// Placeholder until this command lands.
#include "results/spreadsheet_export.h"

#include <QStringList>

namespace brintale::form1 {

void PushButton2_Click(Form1&) {}
}  // namespace brintale::form1
