#include "platform/data_files.h"

#include <QFileInfo>

namespace brintale {

QString FindDataFile(const QString& name, const QString& programFolder) {
    const QString beside = programFolder + u'/' + name;
    if (QFileInfo(beside).isFile()) return beside;
    // Resolved by the file system, not by text: the program folder may be a symbolic link.
    const QFileInfo installed(programFolder + QStringLiteral("/../share/brintale/") + name);
    if (installed.isFile()) return installed.canonicalFilePath();
    return beside;
}

}  // namespace brintale
