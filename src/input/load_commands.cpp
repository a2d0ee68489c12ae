// Placeholder until this command lands.
#include "input/load_commands.h"

#include <QStringList>

namespace brintale::form1 {

void PushButton1_Click(Form1&) {}
void PushButton7_Click(Form1&) {}
void PushButton8_Click(Form1&) {}
void Text1_FilesDropped(Form1&, const QStringList&) {}
}  // namespace brintale::form1
