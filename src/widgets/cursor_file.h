#pragma once

#include <QByteArray>
#include <QCursor>
#include <QImage>
#include <QPoint>

namespace brintale {

// One image of a cursor file and the point of it that is the pointer's tip.
struct CursorImage {
    QImage image;
    QPoint hotSpot;
};

// Parses the bytes of a cursor file (a directory of type 2 whose images are BMP data with
// an AND mask, or PNG). Takes the largest image. Throws Failure when the bytes hold none.
CursorImage ParseCursorFile(const QByteArray& bytes);

// The pointer size the user chose (XCURSOR_SIZE), or 0 when none is set.
int PointerSizeSetting();

// The cursor drawn for size pixels instead of its 32-pixel design, the hot spot moved with
// it; size 0 or 32 leaves it as it is.
CursorImage ScaleCursor(const CursorImage& cursor, int size);

// Reads a cursor file (image and hot spot) at the user's pointer size. Throws Failure when
// it holds no cursor.
QCursor ReadCursorFile(const QString& path);

}  // namespace brintale
