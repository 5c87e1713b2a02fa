#include "common/GammaGraphKit.h"
#include "common/GuiTestKit.h"

#include "gamma/GammaGraph.h"
#include "support/Settings.h"
#include "ui/gamma/GammaGraphView.h"

#include <QImage>
#include <QTest>

#include <algorithm>

namespace tonedesk::test {
namespace {

// Set before the application starts: every window of this program is on a screen of device
// pixel ratio 2, as on a desktop at 200 %.
const bool kScaled = qputenv("QT_SCALE_FACTOR", "2");

// A shown view of the logical square's size over a red curve that bends: (0,0) (512,700)
// (1020,1020).
class GammaGraphViewHiDpiTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        ASSERT_TRUE(kScaled);
        LoadThreeRedPoints(graph);
        graph.Points(0).points[1].y = 700;
        graph.RecomputeLevels();
        view.resize(kPlotSize, kPlotSize);
        view.RedrawBackground();
        ShowReady(view);
    }

    MemorySettings settings;
    CGammaGraph graph{settings};
    CGammaGraphView view{graph};
};

TEST_F(GammaGraphViewHiDpiTest, DrawsAtTheDevicePixelsWithSmoothCurves) {
    ASSERT_EQ(view.devicePixelRatioF(), 2.0);
    EXPECT_EQ(view.Scale(), 1);
    EXPECT_EQ(view.Background().size(), QSize(2 * kPlotSize, 2 * kPlotSize));
    EXPECT_EQ(view.Background().devicePixelRatio(), 2.0);

    const QImage image = view.grab().toImage();
    ASSERT_EQ(image.size(), QSize(2 * kPlotSize, 2 * kPlotSize));
    // Blown-up logical pixels would fill every 2 x 2 block of device pixels with one colour;
    // the anti-aliased curve's edges do not, all along it.
    const GraphPoint o = graph.Origin();
    int mixedBlocks = 0;
    for (int i = 8; i < 248; ++i) {
        const int x = 2 * (o.x + i);
        const int y = 2 * graph.ScreenY(graph.Levels(0)[i]);
        // The curve passes at the entry's exact height, a quarter logical pixel to a level.
        const double exact = 2 * (o.y + 256 - graph.Levels(0)[i] / 4.0 + 0.5);
        int strongest = 0;
        for (int row = static_cast<int>(exact) - 1; row <= static_cast<int>(exact) + 1; ++row) {
            const QColor c = image.pixelColor(x + 1, row);
            strongest = std::max(strongest, c.red() - c.green());
        }
        EXPECT_GT(strongest, 160) << i;
        for (int dy = -4; dy <= 4; dy += 2) {
            const QColor a = image.pixelColor(x, y + dy);
            if (a != image.pixelColor(x + 1, y + dy) || a != image.pixelColor(x, y + dy + 1) ||
                a != image.pixelColor(x + 1, y + dy + 1)) {
                ++mixedBlocks;
                break;
            }
        }
    }
    EXPECT_GT(mixedBlocks, 200);

    // The press maps to the same logical pixel and grabs the same point.
    QTest::mousePress(&view, Qt::LeftButton, {},
                      view.ToWidget({graph.ScreenX(512), graph.ScreenY(700)}));
    EXPECT_EQ(graph.DragIndex(), 1);
    EXPECT_EQ(graph.Points(0).count, 3);
    QTest::mouseRelease(&view, Qt::LeftButton);
}

} // namespace
} // namespace tonedesk::test
