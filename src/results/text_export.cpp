// Placeholder until this command lands.
#include "results/text_export.h"

#include <QStringList>

namespace brintale::form1 {

void PushButton5_Click(Form1&) {}
void PushButton3_Click(Form1&) {}
}  // namespace brintale::form1
