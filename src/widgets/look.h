#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QRect>

class QWidget;

namespace brintale {

// Window layouts are given in twips: 15 to a pixel at 96 dpi; Qt scales for other screens.
constexpr int Px(int twips) { return (twips + 7) / 15; }
constexpr QRect Twips(int left, int top, int width, int height) {
    return QRect(Px(left), Px(top), Px(width), Px(height));
}

// A push button of a window's layout table: its caption and place.
template <class Id>
struct ButtonPlace {
    Id id;
    const char* caption;
    QRect geometry;
};

// Substituted by a metric-compatible face where Arial itself is missing.
QFont ArialBold(qreal points);

// The icon of both windows.
QIcon ApplicationIcon();

// Fills the widget's background with the colour, check boxes included (they fill with the
// button colour unless told to use the window's).
void PaintBackground(QWidget* widget, const QColor& color);

// Sets the window's background, and that of its check boxes, frames, labels and option
// buttons, to the system's button-face colour.
void ApplyButtonFaceBackground(QWidget* window);

// Centres the window on the screen it is on, or on the primary screen.
void CenterOnScreen(QWidget* window);

}  // namespace brintale
