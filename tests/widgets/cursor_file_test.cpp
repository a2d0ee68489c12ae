#include "widgets/cursor_file.h"

#include <gtest/gtest.h>

#include <QtEndian>

#include "core/failure.h"

namespace brintale {
namespace {

// A cursor file of one 32x32 1-bit image: black on the diagonal, white elsewhere in the left
// half, the right half masked out. Rows go bottom-up.
QByteArray OneBitCursor(QPoint hot) {
    const quint16 directory[] = {
        0, 2, 1, 32 | 32 << 8, 0, quint16(hot.x()), quint16(hot.y()), 40 + 8 + 256, 0, 22, 0};
    const qint32 header[] = {40, 32, 64, 0x10001};  // size, width, doubled height, planes | bits
    QByteArray bytes(22 + 40, '\0');
    qToLittleEndian<quint16>(directory, std::size(directory), bytes.data());
    qToLittleEndian<qint32>(header, std::size(header), bytes.data() + 22);
    bytes += QByteArray("\0\0\0\0\xff\xff\xff\0", 8);  // palette: black, white
    QByteArray mask;
    for (int y = 31; y >= 0; --y) {
        bytes += QByteArray(4, '\0');
        qToBigEndian<quint32>(~(0x80000000u >> y), bytes.data() + bytes.size() - 4);
        mask += QByteArray("\0\0\xff\xff", 4);
    }
    return bytes + mask;
}

TEST(CursorFile, ReadsOneBitImagesAndRefusesWhatIsNoCursor) {
    const QByteArray good = OneBitCursor(QPoint(3, 4));
    const CursorImage c = ParseCursorFile(good);
    EXPECT_EQ(c.hotSpot, QPoint(3, 4));
    EXPECT_EQ(c.image.pixel(5, 5), qRgba(0, 0, 0, 255));        // diagonal
    EXPECT_EQ(c.image.pixel(6, 5), qRgba(255, 255, 255, 255));  // left half
    EXPECT_EQ(qAlpha(c.image.pixel(20, 5)), 0);                 // masked out

    const auto patched = [&](int at, auto value) {
        QByteArray bytes = good;
        qToLittleEndian(value, bytes.data() + at);
        return bytes;
    };
    const std::pair<const char*, QByteArray> cases[] = {
        {"icon, not cursor", patched(2, quint16(1))},
        {"hot spot outside", patched(10, quint16(32))},
        {"offset past the end", patched(18, 1u << 30)},
        {"absurd width", patched(22 + 4, 1u << 20)},
        {"bad png", patched(22, quint64(0x0a1a0a0d474e5089))},  // the PNG signature, then junk
        {"truncated image", good.left(good.size() - 200)},
    };
    for (const auto& [name, bytes] : cases) EXPECT_THROW(ParseCursorFile(bytes), Failure) << name;
    EXPECT_THROW(ReadCursorFile(QStringLiteral("/nonexistent/HAND-M.CUR")), Failure);
}

}  // namespace
}  // namespace brintale

namespace brintale {
namespace {

// The pointer follows the user's size: the drawing scaled from 32 pixels, its tip on the
// same spot of it; no size or the design size leaves it alone.
TEST(CursorFile, ScalesToThePointerSizeKeepingTheTip) {
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    image.setPixel(6, 0, qRgb(0, 0, 0));
    const CursorImage hand{image, QPoint(6, 0)};
    const struct {
        int size;
        QSize image;
        QPoint hotSpot;
    } cases[] = {
        {0, {32, 32}, {6, 0}},   {32, {32, 32}, {6, 0}}, {48, {48, 48}, {9, 0}},
        {64, {64, 64}, {12, 0}}, {24, {24, 24}, {4, 0}}, {1, {1, 1}, {0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        const CursorImage scaled = ScaleCursor(hand, c.size);
        EXPECT_EQ(scaled.image.size(), c.image);
        EXPECT_EQ(scaled.hotSpot, c.hotSpot);
    }
    const CursorImage corner = ScaleCursor({image, QPoint(31, 31)}, 48);
    EXPECT_EQ(corner.hotSpot, QPoint(46, 46));  // still inside the image
}

TEST(CursorFile, PointerSizeComesFromTheEnvironment) {
    const QByteArray saved = qgetenv("XCURSOR_SIZE");
    const std::pair<const char*, int> cases[] = {{nullptr, 0}, {"48", 48}, {"", 0},
                                                 {"big", 0},   {"-4", 0},  {"100000", 0}};
    for (const auto& [value, size] : cases) {
        if (value == nullptr)
            qunsetenv("XCURSOR_SIZE");
        else
            qputenv("XCURSOR_SIZE", value);
        EXPECT_EQ(PointerSizeSetting(), size) << (value ? value : "unset");
    }
    if (saved.isNull())
        qunsetenv("XCURSOR_SIZE");
    else
        qputenv("XCURSOR_SIZE", saved);
}

}  // namespace
}  // namespace brintale
