#pragma once

#include <QStringList>

namespace brintale {

class Form1;

namespace form1 {

// "Load Text From Text File".
void PushButton1_Click(Form1& form);
// "Clear List": empties the text box.
void PushButton7_Click(Form1& form);
// "Load Sample/Example Text".
void PushButton8_Click(Form1& form);
// Files dropped on the text box: the first loads as if chosen in the dialog.
void Text1_FilesDropped(Form1& form, const QStringList& paths);

}  // namespace form1
}  // namespace brintale
