#include "commands/file_dialogs.h"

#include <QFileInfo>

#include "commands/main_form.h"
#include "core/failure.h"
#include "core/settings_store.h"
#include "platform/services.h"

namespace brintale {

namespace {

QString LastFolder(MainForm& form) {
    const QString folder = form.settings().Read(kKeyLastFolder);
    return QFileInfo(folder).isDir() ? folder : QString();
}

// A folder that cannot be remembered is no reason to stop the command or to report.
void RememberFolder(MainForm& form, const QString& fileName) {
    if (fileName.isEmpty()) return;
    try {
        const QString folder = QFileInfo(fileName).absolutePath();
        // Unchanged, as it mostly is: writing it again costs the command a round to the disk.
        if (form.settings().Read(kKeyLastFolder) == folder) return;
        form.settings().Write(kKeyLastFolder, folder);
    } catch (const Failure&) {
    }
}

}  // namespace

QString AskFileToOpen(MainForm& form, const QString& title, const QString& filter) {
    const QString fileName =
        form.services().prompts.OpenFileName(form.widget(), title, filter, LastFolder(form));
    RememberFolder(form, fileName);
    return fileName;
}

QString AskFileToSave(MainForm& form, const QString& title, const QString& filter) {
    const QString fileName =
        form.services().prompts.SaveFileName(form.widget(), title, filter, LastFolder(form));
    RememberFolder(form, fileName);
    return fileName;
}

}  // namespace brintale
