#pragma once

#include <QStringList>

namespace brintale {

class MainForm;

// "Load Text From Text File".
void LoadTextFromFile(MainForm& form);
// "Clear List": empties the text box.
void ClearText(MainForm& form);
// "Load Sample/Example Text".
void LoadSampleText(MainForm& form);
// Files dropped on the text box: the first loads as if chosen in the dialog.
void LoadDroppedFiles(MainForm& form, const QStringList& paths);

}  // namespace brintale
