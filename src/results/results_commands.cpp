// Placeholder until this command lands.
#include "results/results_commands.h"

#include <QStringList>

namespace brintale::form1 {

void PushButton9_Click(Form1&) {}
void ListView1_DblClick(Form1&) {}
bool ListView1_KeyDown(Form1&, int) { return false; }
}  // namespace brintale::form1
