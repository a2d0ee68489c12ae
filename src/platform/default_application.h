#pragma once

#include <QString>
#include <QStringList>

namespace brintale {

// Where the desktop keeps its MIME associations, most important first.
struct XdgDirs {
    QStringList configDirs;  // XDG_CONFIG_HOME, then XDG_CONFIG_DIRS
    QStringList dataDirs;    // XDG_DATA_HOME, then XDG_DATA_DIRS
    QStringList desktops;    // XDG_CURRENT_DESKTOP, lower case

    static XdgDirs FromEnvironment();
};

// The desktop file id (such as "sheets.desktop") of the default application for any of the
// MIME types, found as the desktop does: mimeapps.list defaults first, then added
// associations and mimeinfo.cache, less removed ones; only installed desktop files count.
// Empty when there is none.
QString DesktopDefaultApplication(const QStringList& mimeTypes, const XdgDirs& dirs);

}  // namespace brintale
