// Placeholder until this command lands.
#include "help/help_command.h"

#include <QStringList>

namespace brintale::form1 {

void PushButton6_Click(Form1&) {}
}  // namespace brintale::form1
