#include "platform/default_application.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QTextStream>
#include <vector>

namespace brintale {

namespace {

QStringList PathList(const char* variable, const QString& fallback) {
    QString value = qEnvironmentVariable(variable);
    if (value.isEmpty()) value = fallback;
    QStringList out;
    for (const QString& dir : value.split(QChar(u':'), Qt::SkipEmptyParts)) out << dir;
    return out;
}

// group -> key -> the entries of its ';'-separated value
using DesktopList = QHash<QString, QHash<QString, QStringList>>;

DesktopList ReadDesktopList(const QString& path) {
    DesktopList groups;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return groups;
    QTextStream in(&file);
    QString group;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(QChar(u'#'))) continue;
        if (line.startsWith(QChar(u'[')) && line.endsWith(QChar(u']'))) {
            group = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype equals = line.indexOf(QChar(u'='));
        if (equals <= 0) continue;
        QStringList entries;
        for (const QString& entry : line.mid(equals + 1).split(QChar(u';'), Qt::SkipEmptyParts)) {
            if (!entry.trimmed().isEmpty()) entries << entry.trimmed();
        }
        groups[group][line.left(equals).trimmed()] = entries;
    }
    return groups;
}

// A desktop file id names "applications/a/b.desktop" as "a-b.desktop".
bool Installed(const QString& id, const XdgDirs& dirs) {
    QStringList candidates{id};
    for (qsizetype dash = id.indexOf(QChar(u'-')); dash >= 0;
         dash = id.indexOf(QChar(u'-'), dash + 1)) {
        candidates << id.left(dash) + QChar(u'/') + id.mid(dash + 1);
    }
    for (const QString& data : dirs.dataDirs) {
        for (const QString& candidate : candidates) {
            if (QFileInfo(data + QStringLiteral("/applications/") + candidate).isFile())
                return true;
        }
    }
    return false;
}

// A folder without a cache (no desktop-file-utils) is read the way xdg-mime reads it: from
// the MIME types that its applications declare.
QHash<QString, QStringList> ScanDesktopFiles(const QString& applications) {
    QHash<QString, QStringList> byType;
    const QStringList names =
        QDir(applications).entryList({QStringLiteral("*.desktop")}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        const auto entry = ReadDesktopList(applications + QChar(u'/') + name)
                               .value(QStringLiteral("Desktop Entry"));
        for (const QString& type : entry.value(QStringLiteral("MimeType"))) byType[type] << name;
    }
    return byType;
}

QStringList MimeAppsLists(const XdgDirs& dirs) {
    QStringList files;
    const auto add = [&](const QString& folder) {
        for (const QString& desktop : dirs.desktops)
            files << folder + QChar(u'/') + desktop + QStringLiteral("-mimeapps.list");
        files << folder + QStringLiteral("/mimeapps.list");
    };
    for (const QString& config : dirs.configDirs) add(config);
    for (const QString& data : dirs.dataDirs) add(data + QStringLiteral("/applications"));
    return files;
}

}  // namespace

XdgDirs XdgDirs::FromEnvironment() {
    const QString home = QDir::homePath();
    XdgDirs dirs;
    dirs.configDirs = PathList("XDG_CONFIG_HOME", home + QStringLiteral("/.config")) +
                      PathList("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
    dirs.dataDirs = PathList("XDG_DATA_HOME", home + QStringLiteral("/.local/share")) +
                    PathList("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
    for (const QString& desktop :
         qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QChar(u':'), Qt::SkipEmptyParts))
        dirs.desktops << desktop.toLower();
    return dirs;
}

QString DesktopDefaultApplication(const QStringList& mimeTypes, const XdgDirs& dirs) {
    std::vector<DesktopList> lists;
    for (const QString& path : MimeAppsLists(dirs)) lists.push_back(ReadDesktopList(path));

    // The defaults of the most important list win, the first installed one of each.
    for (const DesktopList& list : lists) {
        const auto defaults = list.value(QStringLiteral("Default Applications"));
        for (const QString& type : mimeTypes) {
            for (const QString& id : defaults.value(type))
                if (Installed(id, dirs)) return id;
        }
    }

    // Otherwise the most preferred association; a removal hides an application from the
    // less important lists and the caches.
    QSet<QString> removed;
    for (const DesktopList& list : lists) {
        const auto added = list.value(QStringLiteral("Added Associations"));
        const auto gone = list.value(QStringLiteral("Removed Associations"));
        for (const QString& type : mimeTypes)
            for (const QString& id : gone.value(type)) removed.insert(id);
        for (const QString& type : mimeTypes) {
            for (const QString& id : added.value(type))
                if (!removed.contains(id) && Installed(id, dirs)) return id;
        }
    }
    for (const QString& data : dirs.dataDirs) {
        const QString applications = data + QStringLiteral("/applications");
        const QString cachePath = applications + QStringLiteral("/mimeinfo.cache");
        const auto cache = QFileInfo::exists(cachePath)
                               ? ReadDesktopList(cachePath).value(QStringLiteral("MIME Cache"))
                               : ScanDesktopFiles(applications);
        for (const QString& type : mimeTypes) {
            for (const QString& id : cache.value(type))
                if (!removed.contains(id) && Installed(id, dirs)) return id;
        }
    }
    return QString();
}

}  // namespace brintale
