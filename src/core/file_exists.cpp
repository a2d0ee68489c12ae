#include "core/file_exists.h"

#include <QFileInfo>

namespace brintale {

bool FileExists(const QString& path) {
    try {
        if (path.isEmpty()) return false;
        const QFileInfo info(path);
        return info.exists() && info.lastModified().isValid();
    } catch (...) {
        return false;
    }
}

}  // namespace brintale
