#include "common/GammaGraphKit.h"
#include "common/GuiTestKit.h"

#include "gamma/CurveMath.h"
#include "gamma/GammaGraph.h"
#include "support/Settings.h"
#include "ui/gamma/GammaGraphView.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

namespace tonedesk::test {
namespace {

// Counts how often the off-screen background is drawn.
class CountingGraph final : public CGammaGraph {
public:
    using CGammaGraph::CGammaGraph;
    void DrawBackground(GraphPainter& surface) const override {
        ++backgroundDraws;
        CGammaGraph::DrawBackground(surface);
    }
    mutable int backgroundDraws = 0;
};

// A shown view of `size` x `size` pixels over red, points (0,0) (512,512) (1020,1020).
class GammaGraphViewTest : public GuiTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        LoadThreeRedPoints(graph);
        view.resize(GetParam(), GetParam());
        view.RedrawBackground();
        ShowReady(view);
    }

    // The widget position of a curve point (x, level).
    QPoint At(int x, int level) const {
        return view.ToWidget({graph.ScreenX(x), graph.ScreenY(level)});
    }
    // The widget position of a logical pixel of the graph.
    QPoint Logical(int x, int y) const { return view.ToWidget({x, y}); }

    // A press, then whatever paint it asked for.
    void Press(QPoint pos) {
        QTest::mousePress(&view, Qt::LeftButton, {}, pos);
        QApplication::processEvents();
    }
    // A move with the left button held, then whatever paint it asked for.
    void MoveTo(QPoint pos, Qt::MouseButtons buttons = Qt::LeftButton) {
        QMouseEvent move(QEvent::MouseMove, QPointF(pos), view.mapToGlobal(QPointF(pos)),
                         Qt::NoButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(&view, &move);
        QApplication::processEvents();
    }
    void Release(QPoint pos) { QTest::mouseRelease(&view, Qt::LeftButton, {}, pos); }

    const ControlPointList& Points() { return graph.Points(0); }
    QColor PixelAt(const QImage& image, QPoint pos) const {
        return image.pixelColor(pos * image.devicePixelRatio());
    }

    MemorySettings settings;
    CountingGraph graph{settings};
    CGammaGraphView view{graph};
};

TEST_P(GammaGraphViewTest, SquareIsScaledAndCentredAndMapsBothWays) {
    const int scale = GetParam() / kPlotSize;
    EXPECT_EQ(view.Scale(), scale);
    const int margin = (GetParam() - kPlotSize * scale) / 2;
    EXPECT_EQ(view.ToGraph({margin, margin}), QPoint(0, 0));
    EXPECT_EQ(view.ToGraph({margin - 1, margin - 1}), QPoint(-1, -1));
    EXPECT_EQ(view.ToGraph({margin + kPlotSize * scale - 1, margin}), QPoint(kPlotSize - 1, 0));
    for (QPoint p : {QPoint(0, 0), QPoint(137, 200), QPoint(275, 275), QPoint(-3, 280)}) {
        EXPECT_EQ(view.ToGraph(view.ToWidget(p)), p);
    }
}

TEST_P(GammaGraphViewTest, PressInsertsAPointThatFollowsTheMouse) {
    QSignalSpy readouts(&view, &CGammaGraphView::ReadoutsChanged);
    QSignalSpy finished(&view, &CGammaGraphView::DragFinished);
    Press(At(256, 300));
    ASSERT_EQ(Points().count, 4);
    EXPECT_EQ(Points().points[1], (ControlPoint{256, 300}));
    EXPECT_EQ(graph.ReadoutY(), " 29 %");
    EXPECT_EQ(graph.UndoState(), 1);

    MoveTo(At(296, 340));
    EXPECT_EQ(Points().points[1], (ControlPoint{296, 340}));
    EXPECT_EQ(Points().count, 4);
    Release(At(296, 340));
    EXPECT_GE(readouts.count(), 2);
    ASSERT_EQ(finished.count(), 1);
    EXPECT_TRUE(finished.at(0).at(0).toBool());
    EXPECT_FALSE(graph.IsDragging());

    // Without the button held a move changes nothing.
    MoveTo(At(400, 600), Qt::NoButton);
    EXPECT_EQ(Points().points[1], (ControlPoint{296, 340}));
}

TEST_P(GammaGraphViewTest, DraggedPointStopsShortOfItsNeighbours) {
    Press(At(512, 512));
    ASSERT_EQ(Points().count, 3);
    MoveTo(At(1012, 600));
    EXPECT_EQ(Points().points[1], (ControlPoint{1000, 600}));
    MoveTo(At(4, 600));
    EXPECT_EQ(Points().points[1], (ControlPoint{20, 600}));
    Release(At(4, 600));
}

TEST_P(GammaGraphViewTest, DraggingOutRemovesAPointAndComingBackRestoresIt) {
    Press(At(512, 512));
    MoveTo(At(520, 520));
    EXPECT_EQ(Points().points[1], (ControlPoint{520, 520}));

    MoveTo(Logical(graph.ScreenX(520), -4)); // above the square
    EXPECT_TRUE(graph.IsRemoved());
    EXPECT_EQ(Points().count, 2);
    MoveTo(Logical(graph.ScreenX(520), -20));
    EXPECT_EQ(Points().count, 2);

    // Back inside: the point returns where it was and follows from there.
    MoveTo(At(700, 100));
    ASSERT_EQ(Points().count, 3);
    EXPECT_EQ(Points().points[1], (ControlPoint{520, 520}));
    MoveTo(At(720, 100));
    EXPECT_EQ(Points().points[1], (ControlPoint{540, 520}));
    Release(At(720, 100));
}

TEST_P(GammaGraphViewTest, EndPointsStayWhenDraggedOut) {
    Press(At(1020, 1020));
    MoveTo(Logical(kPlotSize + 6, graph.ScreenY(1020)));
    EXPECT_FALSE(graph.IsRemoved());
    ASSERT_EQ(Points().count, 3);
    EXPECT_EQ(Points().points[2], (ControlPoint{1023, 1020}));
    Release(Logical(kPlotSize + 6, graph.ScreenY(1020)));

    Press(At(0, 0));
    MoveTo(Logical(-8, kPlotSize + 8));
    ASSERT_EQ(Points().count, 3);
    EXPECT_EQ(Points().points[0], (ControlPoint{0, 0}));
    Release(Logical(-8, kPlotSize + 8));
}

TEST_P(GammaGraphViewTest, PressInTheLeftMarginGrabsTheFirstPoint) {
    Press(Logical(3, graph.ScreenY(400)));
    ASSERT_EQ(Points().count, 3);
    EXPECT_EQ(graph.DragIndex(), 0);
    MoveTo(Logical(3, graph.ScreenY(400) - 10));
    EXPECT_EQ(Points().points[0], (ControlPoint{0, 40}));
    Release(Logical(3, graph.ScreenY(400) - 10));
}

TEST_P(GammaGraphViewTest, MovesWaitForThePendingPaint) {
    Press(At(512, 512));
    // Moves come faster than the paints.
    QMouseEvent first(QEvent::MouseMove, QPointF(At(540, 512)),
                      view.mapToGlobal(QPointF(At(540, 512))), Qt::NoButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent second(QEvent::MouseMove, QPointF(At(600, 512)),
                       view.mapToGlobal(QPointF(At(600, 512))), Qt::NoButton, Qt::LeftButton,
                       Qt::NoModifier);
    QApplication::sendEvent(&view, &first);
    QApplication::sendEvent(&view, &second); // the first step is not painted yet: skipped
    EXPECT_EQ(Points().points[1].x, 540);
    QApplication::processEvents();
    MoveTo(At(600, 512));
    EXPECT_EQ(Points().points[1].x, 600);
    Release(At(600, 512));
}

TEST_P(GammaGraphViewTest, BackgroundIsDrawnOnlyWhenAskedOrRescaled) {
    const int before = graph.backgroundDraws;
    Press(At(256, 300));
    MoveTo(At(300, 400));
    MoveTo(At(320, 420));
    Release(At(320, 420));
    view.repaint();
    EXPECT_EQ(graph.backgroundDraws, before);
    view.RedrawBackground();
    EXPECT_EQ(graph.backgroundDraws, before + 1);
    view.resize(2 * GetParam(), 2 * GetParam());
    view.repaint();
    EXPECT_EQ(graph.backgroundDraws, before + 2);
}

TEST_P(GammaGraphViewTest, PaintsFrameGridCurveAndMarkersOnTheirLogicalPixels) {
    const QImage image = view.grab().toImage();
    const QPalette& palette = view.palette();
    EXPECT_EQ(PixelAt(image, Logical(5, 100)), palette.color(QPalette::ButtonText)); // frame
    EXPECT_EQ(PixelAt(image, Logical(100, 271)), palette.color(QPalette::ButtonText));
    EXPECT_EQ(PixelAt(image, Logical(3, 100)), palette.color(QPalette::Button));
    EXPECT_EQ(PixelAt(image, Logical(10, 140)), palette.color(QPalette::Light)); // dotted grid
    EXPECT_EQ(PixelAt(image, Logical(10, 141)), palette.color(QPalette::Button));
    const QColor red(255, 0, 0);
    EXPECT_EQ(PixelAt(image, At(400, 400)), red); // the curve, entry 100
    EXPECT_EQ(PixelAt(image, Logical(graph.ScreenX(512) + 2, graph.ScreenY(512) - 2)), red);
    EXPECT_NE(PixelAt(image, Logical(graph.ScreenX(512) + 3, graph.ScreenY(512) - 2)), red);
}

TEST_P(GammaGraphViewTest, FallingCurveIsMarkedAndSignalled) {
    QSignalSpy falling(&view, &CGammaGraphView::FallingChanged);
    EXPECT_FALSE(view.ShowsFallingCurve());

    // A point high above the straight line, close to the next one: the spline swings back down.
    Press(At(440, 900));
    ASSERT_TRUE(view.ShowsFallingCurve());
    ASSERT_EQ(falling.count(), 1);
    EXPECT_TRUE(falling.at(0).at(0).toBool());

    // The shade lies over the falling stretch, not elsewhere.
    const LevelStretch s = view.FallingStretchesShown().front();
    const QImage image = view.grab().toImage();
    const QPoint inside = Logical(graph.Origin().x + s.first, graph.Origin().y + 3);
    const QPoint outside = Logical(graph.Origin().x + s.first - 20, graph.Origin().y + 3);
    EXPECT_GT(PixelAt(image, inside).red(), PixelAt(image, inside).green());
    EXPECT_EQ(PixelAt(image, outside), view.palette().color(QPalette::Button));

    // Dragging the point out leaves the straight line again.
    MoveTo(Logical(graph.ScreenX(440), -4));
    EXPECT_FALSE(view.ShowsFallingCurve());
    ASSERT_EQ(falling.count(), 2);
    EXPECT_FALSE(falling.at(1).at(0).toBool());
    Release(Logical(graph.ScreenX(440), -4));
}

INSTANTIATE_TEST_SUITE_P(Sizes, GammaGraphViewTest, ::testing::Values(kPlotSize, 900),
                         [](const ::testing::TestParamInfo<int>& param) {
                             return "Side" + std::to_string(param.param);
                         });

} // namespace
} // namespace tonedesk::test
