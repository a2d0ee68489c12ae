#include "widgets/look.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QRadioButton>
#include <QScreen>
#include <QWidget>

static void InitIconResource() { Q_INIT_RESOURCE(icon); }

namespace brintale {

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

void PaintBackground(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
    widget->setBackgroundRole(QPalette::Window);
    widget->setAutoFillBackground(true);
}

void ApplyButtonFaceBackground(QWidget* window) {
    const QColor face = QGuiApplication::palette().color(QPalette::Button);
    PaintBackground(window, face);
    const QList<QWidget*> children = window->findChildren<QWidget*>();
    for (QWidget* child : children) {
        if (qobject_cast<QCheckBox*>(child) || qobject_cast<QRadioButton*>(child) ||
            qobject_cast<QGroupBox*>(child) || qobject_cast<QLabel*>(child))
            PaintBackground(child, face);
    }
}

void CenterOnScreen(QWidget* window) {
    QScreen* screen = window->screen();
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

}  // namespace brintale
