#include "shell/shared_procedures.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QtEndian>

#include "shell/cursor_file.h"
#include "shell/error_report.h"
#include "shell/failure.h"
#include "shell/qt_seams.h"

namespace brintale {
namespace {

TEST(ApplicationTitle, CutsAtSpacesUntilFortyCharactersAtMost) {
    const struct {
        QString name;
        QString title;
    } cases[] = {
        {QStringLiteral("Brintale Software"), QStringLiteral("Brintale")},
        {QStringLiteral("A B C"), QStringLiteral("A B")},
        {QStringLiteral("Trailing space "), QStringLiteral("Trailing space")},
        // 44 + " end": the first cut leaves 44 characters, the second 39.
        {QStringLiteral("Sentence counting for long, winding documents end"),
         QStringLiteral("Sentence counting for long, winding")},
        // No space left to cut at: cut at the limit rather than loop for ever.
        {QString(45, u'x') + QStringLiteral(" y"), QString(40, u'x')},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CutApplicationTitle(c.name), c.title) << c.name.toStdString();
}

TEST(HomePageDraw, MapsTheUnitIntervalOntoOneToAHundred) {
    EXPECT_EQ(HomePageDraw(0.0), 1);
    EXPECT_EQ(HomePageDraw(0.0599999), 6);
    EXPECT_EQ(HomePageDraw(0.06), 7);
    EXPECT_EQ(HomePageDraw(0.0699999), 7);
    EXPECT_EQ(HomePageDraw(0.9999999), 100);
}

TEST(ErrorReportOnScreen, TwoCarriageReturnsShowOneEmptyLine) {
    const QString text = ErrorReportText(
        QStringLiteral("Disk full"), ProcedureTag(QStringLiteral("Form1.PushButton17_Click")), 118);
    EXPECT_EQ(
        DisplayLineBreaks(text).split(u'\n'),
        QStringList({QStringLiteral("Disk full"),
                     QStringLiteral("in Brintale2021/08/31.Form1.PushButton17_Click at line 118"),
                     QString(),
                     QStringLiteral("Please email screenshot of this message to "
                                    "support@quorvane.example")}));
}

// A cursor file around one image.
QByteArray CursorFile(const QByteArray& image, int width, int height, QPoint hot,
                      quint16 type = 2) {
    QByteArray out(22, '\0');
    auto put16 = [&](int at, quint16 v) { qToLittleEndian(v, out.data() + at); };
    auto put32 = [&](int at, quint32 v) { qToLittleEndian(v, out.data() + at); };
    put16(2, type);
    put16(4, 1);
    out[6] = char(width);
    out[7] = char(height);
    put16(10, quint16(hot.x()));
    put16(12, quint16(hot.y()));
    put32(14, quint32(image.size()));
    put32(18, 22);
    return out + image;
}

// A 1-bit 32x32 DIB: black on the diagonal, white elsewhere in the left half, the right
// half masked out.
QByteArray OneBitDib() {
    QByteArray dib(40, '\0');
    qToLittleEndian<quint32>(40, dib.data());
    qToLittleEndian<qint32>(32, dib.data() + 4);
    qToLittleEndian<qint32>(64, dib.data() + 8);
    qToLittleEndian<quint16>(1, dib.data() + 12);
    qToLittleEndian<quint16>(1, dib.data() + 14);
    dib += QByteArray("\0\0\0\0\xff\xff\xff\0", 8);  // palette: black, white
    QByteArray colour, mask;
    for (int y = 31; y >= 0; --y) {  // bottom-up
        quint32 c = 0xffffffffu & ~(0x80000000u >> y);
        QByteArray row(4, '\0');
        qToBigEndian(c, row.data());
        colour += row;
        qToBigEndian<quint32>(0x0000ffffu, row.data());
        mask += row;
    }
    return dib + colour + mask;
}

TEST(CursorFile, ReadsOneBitImagesWithTheirMaskAndHotSpot) {
    const CursorImage c = ParseCursorFile(CursorFile(OneBitDib(), 32, 32, QPoint(3, 4)));
    EXPECT_EQ(c.image.size(), QSize(32, 32));
    EXPECT_EQ(c.hotSpot, QPoint(3, 4));
    EXPECT_EQ(c.image.pixel(5, 5), qRgba(0, 0, 0, 255));        // diagonal
    EXPECT_EQ(c.image.pixel(6, 5), qRgba(255, 255, 255, 255));  // left half
    EXPECT_EQ(qAlpha(c.image.pixel(20, 5)), 0);                 // masked out
}

TEST(CursorFile, ReadsPngImages) {
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(qRgba(10, 20, 30, 255));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(image.save(&buffer, "PNG"));
    const CursorImage c = ParseCursorFile(CursorFile(png, 16, 16, QPoint(15, 15)));
    EXPECT_EQ(c.image.pixel(0, 0), qRgba(10, 20, 30, 255));
    EXPECT_EQ(c.hotSpot, QPoint(15, 15));
}

TEST(CursorFile, RefusesWhatIsNoCursor) {
    const QByteArray good = CursorFile(OneBitDib(), 32, 32, QPoint(0, 0));
    QByteArray offsetPastEnd = good;
    qToLittleEndian<quint32>(1u << 30, offsetPastEnd.data() + 18);
    QByteArray hugeWidth = good;
    qToLittleEndian<qint32>(1 << 20, hugeWidth.data() + 22 + 4);
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"empty", QByteArray()},
        {"icon, not cursor", CursorFile(OneBitDib(), 32, 32, QPoint(0, 0), 1)},
        {"no images", good.left(4) + QByteArray("\0\0", 2)},
        {"truncated image", good.left(good.size() - 200)},
        {"offset past the end", offsetPastEnd},
        {"absurd width", hugeWidth},
        {"hot spot outside", CursorFile(OneBitDib(), 32, 32, QPoint(32, 0))},
        {"bad png", CursorFile(QByteArray("\x89PNG\r\n\x1a\nxxxx", 12), 16, 16, QPoint(0, 0))},
    };
    for (const auto& c : cases) EXPECT_THROW(ParseCursorFile(c.bytes), Failure) << c.name;
}

TEST(CursorFile, MissingFileFailsWithTheSystemsWords) {
    try {
        ReadCursorFile(QStringLiteral("/nonexistent/HAND-M.CUR"));
        FAIL() << "no failure";
    } catch (const Failure& f) {
        EXPECT_FALSE(f.description().isEmpty());
    }
}

}  // namespace
}  // namespace brintale
