#include "shell/shared_procedures.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QRadioButton>
#include <QUrl>
#include <QWidget>
#include <cmath>

#include "shell/cursor_file.h"
#include "shell/failure.h"
#include "shell/seams.h"

static void InitIconResource() { Q_INIT_RESOURCE(icon); }

namespace brintale {

namespace {

QString& StoredTitle() {
    static QString title;
    return title;
}

void PaintButtonFace(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
    // Check boxes fill with the button colour unless told to use the window's.
    widget->setBackgroundRole(QPalette::Window);
    widget->setAutoFillBackground(true);
}

}  // namespace

QString CutApplicationTitle(const QString& productName) {
    QString title = productName;
    do {
        const qsizetype space = title.lastIndexOf(u' ');
        // A name without a space can only be cut at the limit.
        title = space >= 0 ? title.left(space) : title.left(40);
    } while (title.size() > 40);
    return title;
}

QString ApplicationTitle() {
    if (StoredTitle().isEmpty()) return CutApplicationTitle(kProductName);
    return StoredTitle();
}

void SetApplicationTitle() {
    StoredTitle() = CutApplicationTitle(kProductName);
    QGuiApplication::setApplicationDisplayName(StoredTitle());
}

QFont ArialBold(qreal points) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}

QIcon ApplicationIcon() {
    static const bool registered = (InitIconResource(), true);
    (void)registered;
    return QIcon(QStringLiteral(":/brintale/brintale.png"));
}

void ApplyButtonFaceBackground(QWidget* window) {
    const QColor face = QGuiApplication::palette().color(QPalette::Button);
    PaintButtonFace(window, face);
    const QList<QWidget*> children = window->findChildren<QWidget*>();
    for (QWidget* child : children) {
        if (qobject_cast<QCheckBox*>(child) || qobject_cast<QRadioButton*>(child) ||
            qobject_cast<QGroupBox*>(child) || qobject_cast<QLabel*>(child))
            PaintButtonFace(child, face);
    }
}

QCursor ReadCursorFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) throw Failure(file.errorString());
    // A cursor file is a few kilobytes; anything far larger is not one.
    if (file.size() > 4 * 1024 * 1024)
        throw Failure(QStringLiteral("Invalid cursor file: too large"));
    const CursorImage cursor = ParseCursorFile(file.readAll());
    return QCursor(QPixmap::fromImage(cursor.image), cursor.hotSpot.x(), cursor.hotSpot.y());
}

int HomePageDraw(double r) { return static_cast<int>(std::floor(r * 100.0)) + 1; }

void MaybeOpenHomePage(RandomSource& random, Desktop& desktop) {
    if (HomePageDraw(random.Draw()) == 7) desktop.OpenUrl(QUrl(kHomePage));
}

}  // namespace brintale
