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

// The window's size on its screen: its own size where that fits the screen's free area less
// the frame, else that area, a side that scrolls giving the other its scroll bar's width;
// its minimum shrinks with it, so the window can be made no larger than the screen. The
// frame is a guess until the window has been shown.
QSize FittedSize(QSize wanted, QSize available, QMargins frame, int scrollBar);
void FitOnScreen(QWidget* window);

// A focus frame that cannot be missed: 2 pixels in the text colour inside the focused
// button, box or row, whose size and place stay as they are.
void ShowFocusClearly(QWidget* window);

// Return and keypad Enter on a focused push button of the window press it, as Space does.
void PressButtonsOnReturn(QWidget* window);

}  // namespace brintale
