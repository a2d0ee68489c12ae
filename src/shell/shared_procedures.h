#pragma once

#include <QCursor>
#include <QIcon>
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

// The icon of both windows.
QIcon ApplicationIcon();

// Sets the window's background, and that of its check boxes, frames, labels and option
// buttons, to the system's button-face colour.
void ApplyButtonFaceBackground(QWidget* window);

// Reads a cursor file (image and hot spot). Throws Failure when it holds no cursor.
QCursor ReadCursorFile(const QString& path);

// About one start in a hundred opens the home page.
void MaybeOpenHomePage(RandomSource& random, Desktop& desktop);

}  // namespace brintale
