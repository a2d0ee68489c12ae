// Placeholder until this command lands.
#include "counting/counting_command.h"

#include <QStringList>

namespace brintale::form1 {

void PushButton17_Click(Form1&) {}
void Text2_Change(Form1&) {}
void Check3_Click(Form1&) {}
void Check4_Click(Form1&) {}
}  // namespace brintale::form1
