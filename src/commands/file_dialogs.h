#pragma once

#include <QString>

namespace brintale {

class MainForm;

// The open and save dialogs of the commands. Both start in the folder of the file last
// chosen in either, which the settings keep from one run to the next.
QString AskFileToOpen(MainForm& form, const QString& title, const QString& filter);
QString AskFileToSave(MainForm& form, const QString& title, const QString& filter);

}  // namespace brintale
