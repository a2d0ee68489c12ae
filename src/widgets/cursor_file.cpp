#include "widgets/cursor_file.h"

#include <QFile>
#include <QPixmap>
#include <QtEndian>
#include <algorithm>
#include <cstdint>

#include "core/failure.h"

namespace brintale {

namespace {

[[noreturn]] void Invalid(const char* why) {
    throw Failure(QStringLiteral("Invalid cursor file: ") + QString::fromLatin1(why));
}

// Bounds-checked little-endian reads over the whole file.
class Reader {
  public:
    explicit Reader(const QByteArray& bytes) : bytes_(bytes) {}
    quint8 u8(qsizetype at) const { return static_cast<quint8>(bytes_[check(at, 1)]); }
    quint16 u16(qsizetype at) const {
        return qFromLittleEndian<quint16>(bytes_.constData() + check(at, 2));
    }
    quint32 u32(qsizetype at) const {
        return qFromLittleEndian<quint32>(bytes_.constData() + check(at, 4));
    }
    qint32 i32(qsizetype at) const {
        return qFromLittleEndian<qint32>(bytes_.constData() + check(at, 4));
    }
    qsizetype check(qsizetype at, qsizetype length) const {
        if (at < 0 || length < 0 || at > bytes_.size() - length) Invalid("truncated");
        return at;
    }

  private:
    const QByteArray& bytes_;
};

struct Entry {
    int width;
    int height;
    QPoint hotSpot;
    qsizetype offset;
    qsizetype size;
};

// Device-independent bitmap: the colour image, rows bottom-up, then the 1-bit AND mask.
QImage ReadDib(const QByteArray& bytes, qsizetype start, qsizetype size) {
    const Reader r(bytes);
    const qsizetype headerSize = r.u32(start);
    if (headerSize < 40 || headerSize > size) Invalid("bad bitmap header");
    const qint32 width = r.i32(start + 4);
    const qint32 doubledHeight = r.i32(start + 8);
    const int bits = r.u16(start + 14);
    const quint32 compression = r.u32(start + 16);
    quint32 colorsUsed = r.u32(start + 32);
    if (width <= 0 || width > 256 || doubledHeight <= 0 || doubledHeight > 512 ||
        doubledHeight % 2 != 0)
        Invalid("bad bitmap size");
    if (compression != 0) Invalid("compressed bitmap");
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
        Invalid("unsupported colour depth");
    const int height = doubledHeight / 2;

    qsizetype at = start + headerSize;
    QList<QRgb> palette;
    if (bits <= 8) {
        const quint32 full = 1u << bits;
        if (colorsUsed == 0 || colorsUsed > full) colorsUsed = full;
        for (quint32 i = 0; i < colorsUsed; ++i, at += 4)
            palette << qRgb(r.u8(at + 2), r.u8(at + 1), r.u8(at));
    }
    const qsizetype colorStride = ((qsizetype(width) * bits + 31) / 32) * 4;
    const qsizetype maskStride = ((qsizetype(width) + 31) / 32) * 4;
    const qsizetype colorStart = at;
    const qsizetype maskStart = colorStart + colorStride * height;
    const qsizetype end = start + size;
    if (maskStart > end) Invalid("truncated bitmap");
    // Some writers leave the mask out of 32-bit images; the alpha channel then decides.
    const bool hasMask = maskStart + maskStride * height <= end;
    r.check(colorStart, colorStride * height);

    QImage image(width, height, QImage::Format_ARGB32);
    bool anyAlpha = false;
    for (int y = 0; y < height; ++y) {
        const qsizetype row = colorStart + colorStride * (height - 1 - y);
        for (int x = 0; x < width; ++x) {
            QRgb pixel;
            switch (bits) {
                case 32: {
                    const qsizetype p = row + x * 4;
                    const int alpha = r.u8(p + 3);
                    anyAlpha = anyAlpha || alpha != 0;
                    pixel = qRgba(r.u8(p + 2), r.u8(p + 1), r.u8(p), alpha);
                    break;
                }
                case 24: {
                    const qsizetype p = row + x * 3;
                    pixel = qRgb(r.u8(p + 2), r.u8(p + 1), r.u8(p));
                    break;
                }
                default: {
                    const qsizetype bit = qsizetype(x) * bits;
                    const int shift = 8 - bits - int(bit % 8);
                    const int index = (r.u8(row + bit / 8) >> shift) & ((1 << bits) - 1);
                    if (index >= palette.size()) Invalid("colour outside the palette");
                    pixel = palette[index];
                    break;
                }
            }
            image.setPixel(x, y, pixel);
        }
    }
    const bool useMask = bits != 32 || !anyAlpha;
    if (useMask) {
        if (!hasMask) Invalid("missing mask");
        for (int y = 0; y < height; ++y) {
            const qsizetype row = maskStart + maskStride * (height - 1 - y);
            for (int x = 0; x < width; ++x) {
                const bool transparent = (r.u8(row + x / 8) >> (7 - x % 8)) & 1;
                const QRgb pixel = image.pixel(x, y);
                image.setPixel(x, y, transparent ? qRgba(0, 0, 0, 0) : (pixel | 0xff000000u));
            }
        }
    }
    return image;
}

}  // namespace

CursorImage ParseCursorFile(const QByteArray& bytes) {
    const Reader r(bytes);
    if (bytes.size() < 6) Invalid("too short");
    if (r.u16(0) != 0 || r.u16(2) != 2) Invalid("not a cursor");
    const int count = r.u16(4);
    if (count == 0) Invalid("no image");

    Entry best{};
    bool found = false;
    for (int i = 0; i < count; ++i) {
        const qsizetype e = 6 + qsizetype(i) * 16;
        Entry entry{r.u8(e) == 0 ? 256 : r.u8(e), r.u8(e + 1) == 0 ? 256 : r.u8(e + 1),
                    QPoint(r.u16(e + 4), r.u16(e + 6)), qsizetype(r.u32(e + 12)),
                    qsizetype(r.u32(e + 8))};
        if (!found || entry.width * entry.height > best.width * best.height) best = entry;
        found = true;
    }
    r.check(best.offset, best.size);

    static const QByteArray kPngSignature("\x89PNG\r\n\x1a\n", 8);
    QImage image;
    if (bytes.mid(best.offset, 8) == kPngSignature) {
        if (!image.loadFromData(bytes.mid(best.offset, best.size), "PNG")) Invalid("bad PNG");
        image = image.convertToFormat(QImage::Format_ARGB32);
    } else {
        image = ReadDib(bytes, best.offset, best.size);
    }
    if (!image.rect().contains(best.hotSpot)) Invalid("hot spot outside the image");
    return {image, best.hotSpot};
}

int PointerSizeSetting() {
    bool ok = false;
    const int size = qEnvironmentVariableIntValue("XCURSOR_SIZE", &ok);
    return ok && size > 0 && size <= 256 ? size : 0;
}

CursorImage ScaleCursor(const CursorImage& cursor, int size) {
    constexpr int kDesignSize = 32;
    if (size <= 0 || size == kDesignSize) return cursor;
    const double scale = double(size) / kDesignSize;
    const QSize scaled(std::max(1, qRound(cursor.image.width() * scale)),
                       std::max(1, qRound(cursor.image.height() * scale)));
    CursorImage out;
    out.image = cursor.image.scaled(scaled, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // The tip stays on the same spot of the drawing, and inside the image.
    out.hotSpot = QPoint(std::min(scaled.width() - 1, int(cursor.hotSpot.x() * scale)),
                         std::min(scaled.height() - 1, int(cursor.hotSpot.y() * scale)));
    return out;
}

QCursor ReadCursorFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) throw Failure(file.errorString());
    // A cursor file is a few kilobytes; anything far larger is not one.
    if (file.size() > 4 * 1024 * 1024)
        throw Failure(QStringLiteral("Invalid cursor file: too large"));
    const CursorImage cursor = ScaleCursor(ParseCursorFile(file.readAll()), PointerSizeSetting());
    return QCursor(QPixmap::fromImage(cursor.image), cursor.hotSpot.x(), cursor.hotSpot.y());
}

}  // namespace brintale
