#pragma once

#include <QString>

namespace brintale {

inline const QString kProductName = QStringLiteral("Brintale Software");
inline const QString kHomePage = QStringLiteral("https://www.quorvane.example/");
inline const QString kContactPage = QStringLiteral("https://www.quorvane.example/contact");

// The caption of every message box and input box that names none of its own: "Brintale".
QString ApplicationTitle();
// Cuts the product name to the application title and makes it the application's.
void SetApplicationTitle();
// The cut: the last word goes, then more words while the rest is over 40 characters.
QString CutApplicationTitle(const QString& productName);

// About one start in a hundred opens the home page: the draw r in [0, 1) gives
// n = int(r * 100) + 1, and n == 7 opens it.
int HomePageDraw(double r);
inline constexpr int kHomePageNumber = 7;

}  // namespace brintale
