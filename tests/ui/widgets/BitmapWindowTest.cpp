#include "common/GuiTestKit.h"

#include "ui/widgets/BitmapWindow.h"

#include <QGuiApplication>
#include <QScreen>
#include <QtEndian>

namespace tonedesk::test {
namespace {

// A bitmap file of w x h, 8 bits a pixel: colour i is (i, 255 - i, 7), pixel (x, y) of the
// picture (top row first) has colour (x + 2y) % 256.
QByteArray MakeBitmap(int w, int h, int bitCount = 8, int compression = 0) {
    const int stride = (w + 3) & ~3;
    QByteArray d(14 + 40 + 1024 + stride * std::abs(h), '\0');
    auto put32 = [&](int at, qint32 v) { qToLittleEndian<qint32>(v, d.data() + at); };
    auto put16 = [&](int at, qint16 v) { qToLittleEndian<qint16>(v, d.data() + at); };
    d[0] = 'B';
    d[1] = 'M';
    put32(2, d.size());
    put32(10, 1078);
    put32(14, 40);
    put32(18, w);
    put32(22, h);
    put16(26, 1);
    put16(28, static_cast<qint16>(bitCount));
    put32(30, compression);
    for (int i = 0; i < 256; ++i) {
        d[54 + 4 * i] = 7;                              // blue
        d[54 + 4 * i + 1] = static_cast<char>(255 - i); // green
        d[54 + 4 * i + 2] = static_cast<char>(i);       // red
    }
    const int rows = std::abs(h);
    for (int y = 0; y < rows; ++y) {
        const int stored = h > 0 ? rows - 1 - y : y;
        for (int x = 0; x < w; ++x) {
            d[1078 + stored * stride + x] = static_cast<char>((x + 2 * y) % 256);
        }
    }
    return d;
}

TEST(BitmapDecodeTest, ReadsPaletteAndRowsInPictureOrder) {
    for (int h : {3, -3}) {
        SCOPED_TRACE(h);
        const QImage image = DecodeBitmapFile(MakeBitmap(5, h));
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), QSize(5, 3));
        EXPECT_EQ(image.pixelIndex(4, 0), 4);
        EXPECT_EQ(image.pixelIndex(0, 2), 4);
        EXPECT_EQ(image.pixelIndex(1, 1), 3);
        EXPECT_EQ(image.pixel(4, 0), qRgb(4, 251, 7));
    }
}

TEST(BitmapDecodeTest, RejectsFilesThatAreNotComplete8BitBitmaps) {
    struct Case {
        const char* what;
        QByteArray data;
    };
    const QByteArray good = MakeBitmap(6, 4);
    const Case cases[] = {
        {"empty", QByteArray()},
        {"shorter than the headers", good.left(40)},
        {"colour table cut short", good.left(14 + 40 + 500)},
        {"pixel rows cut short", good.left(good.size() - 1)},
        {"4 bits a pixel", MakeBitmap(6, 4, 4)},
        {"24 bits a pixel", MakeBitmap(6, 4, 24)},
        {"run-length compressed", MakeBitmap(6, 4, 8, 1)},
        {"zero width", MakeBitmap(0, 4)},
        {"zero height", MakeBitmap(6, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QString why;
        EXPECT_TRUE(DecodeBitmapFile(c.data, &why).isNull());
        EXPECT_FALSE(why.isEmpty());
    }
    EXPECT_FALSE(DecodeBitmapFile(good).isNull());
}

TEST(BitmapDecodeTest, CentresOnTheDesktop) {
    EXPECT_EQ(CenteredRect(QSize(1024, 768), 400, 300), QRect(312, 234, 400, 300));
    EXPECT_EQ(CenteredRect(QSize(1024, 768), 1500, 300), QRect(-238, 234, 1500, 300));
    EXPECT_EQ(CenteredRect(QSize(1024, 768), 1025, 769), QRect(0, 0, 1025, 769)); // -1/2 -> 0
}

class BitmapWindowTest : public GuiTest {};

TEST_F(BitmapWindowTest, ShowsABitmapFileAtItsSizeCentred) {
    const QByteArray data = MakeBitmap(40, 30);
    const std::string file = WriteFile("splash.bmp", data.toStdString());
    CBitmapWindow window(155, QString::fromStdString(file));
    EXPECT_TRUE(window.Create());
    ASSERT_FALSE(window.Image().isNull());
    const QSize desktop = QGuiApplication::primaryScreen()->geometry().size();
    EXPECT_EQ(window.geometry(), CenteredRect(desktop, 40, 30));
    ShowReady(window);
    const QImage shown = window.grab().toImage();
    EXPECT_EQ(shown.pixel(4, 0), qRgb(4, 251, 7));
    EXPECT_EQ(shown.pixel(0, 2), qRgb(4, 251, 7));
}

TEST_F(BitmapWindowTest, StartUpBitmapComesFromTheBundle) {
    CBitmapWindow window(155, 189);
    EXPECT_TRUE(window.Create());
    EXPECT_FALSE(window.Image().isNull());
}

TEST_F(BitmapWindowTest, MissingOrBrokenBitmapLeavesTheWindowBlankAtTheFormSize) {
    CBitmapWindow byId(155, 4711);
    EXPECT_TRUE(byId.Create());
    EXPECT_TRUE(byId.Image().isNull());

    const std::string broken = WriteFile("broken.bmp", MakeBitmap(8, 8, 4).toStdString());
    CBitmapWindow byFile(155, QString::fromStdString(broken));
    EXPECT_TRUE(byFile.Create());
    EXPECT_TRUE(byFile.Image().isNull());

    CBitmapWindow missing(155, QString::fromStdString(temp.Path().string() + "/none.bmp"));
    missing.Create();
    EXPECT_TRUE(missing.Image().isNull());
    std::unique_ptr<QWidget> form(LoadForm(155));
    EXPECT_EQ(missing.size(), form->size());
}

} // namespace
} // namespace tonedesk::test
