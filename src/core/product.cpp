#include "core/product.h"

#include <cmath>

namespace brintale {

namespace {

QString& StoredTitle() {
    static QString title;
    return title;
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

void SetApplicationTitle() { StoredTitle() = CutApplicationTitle(kProductName); }

int HomePageDraw(double r) { return static_cast<int>(std::floor(r * 100.0)) + 1; }

}  // namespace brintale
