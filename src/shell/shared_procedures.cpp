// Placeholder until the shell lands.
#include "shell/shared_procedures.h"

#include <QPixmap>
#include <QWidget>

#include "shell/failure.h"

namespace brintale {

QString ApplicationTitle() { return QStringLiteral("Brintale"); }
void SetApplicationTitle() {}
QIcon ApplicationIcon() { return QIcon(QStringLiteral(":/brintale.png")); }
void ApplyButtonFaceBackground(QWidget*) {}
QCursor ReadCursorFile(const QString& path) {
    QPixmap pixmap(path);
    if (pixmap.isNull()) throw Failure(QStringLiteral("Invalid picture"));
    return QCursor(pixmap, 0, 0);
}
void MaybeOpenHomePage(RandomSource&, Desktop&) {}

}  // namespace brintale
