#pragma once

#include <QCursor>
#include <QFont>
#include <QIcon>
#include <QRect>
#include <QString>

class QWidget;

namespace brintale {

class Desktop;
class RandomSource;

inline const QString kProductName = QStringLiteral("Brintale Software");
inline const QString kHomePage = QStringLiteral("https://www.quorvane.example/");
inline const QString kContactPage = QStringLiteral("https://www.quorvane.example/contact");

// The caption of every message box and input box that names none of its own: "Brintale".
QString ApplicationTitle();
// Cuts the product name to the application title and makes it the application's.
void SetApplicationTitle();
// The cut: the last word goes, then more words while the rest is over 40 characters.
QString CutApplicationTitle(const QString& productName);

// Window layouts are given in twips: 15 to a pixel at 96 dpi; Qt scales for other screens.
constexpr int Px(int twips) { return (twips + 7) / 15; }
constexpr QRect Twips(int left, int top, int width, int height) {
    return QRect(Px(left), Px(top), Px(width), Px(height));
}
// A push button of a window's layout table: its design number, caption and place.
struct ButtonPlace {
    int number;
    const char* caption;
    QRect geometry;
};

// Substituted by a metric-compatible face where Arial itself is missing.
QFont ArialBold(qreal points);

// The icon of both windows.
QIcon ApplicationIcon();

// Sets the window's background, and that of its check boxes, frames, labels and option
// buttons, to the system's button-face colour.
void ApplyButtonFaceBackground(QWidget* window);

// Reads a cursor file (image and hot spot). Throws Failure when it holds no cursor.
QCursor ReadCursorFile(const QString& path);

// About one start in a hundred opens the home page: the draw r in [0, 1) gives
// n = int(r * 100) + 1, and n == 7 opens it.
void MaybeOpenHomePage(RandomSource& random, Desktop& desktop);
int HomePageDraw(double r);

}  // namespace brintale
