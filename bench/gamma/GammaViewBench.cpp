#include "gamma/GammaGraph.h"
#include "support/Settings.h"
#include "ui/gamma/GammaGraphView.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>

#include <benchmark/benchmark.h>

namespace tonedesk {
namespace {

// The largest side a 1920 x 1080 screen gives the square.
constexpr int kLargestSide = 1080 / kPlotSize * kPlotSize;

// A graph with a red curve of nine points over the other channels' curves, in a view of `side`.
struct ViewRig {
    explicit ViewRig(int side) : view(graph) {
        for (int c = 0; c < kChannelCount; ++c) {
            ControlPointList& list = graph.Points(c);
            for (int k = 0; k < 9; ++k) {
                list.Insert(k, {k * 1020 / 8, std::min(1023, k * 1020 / 8 + 40 * c)});
            }
        }
        graph.SelectChannel(0);
        graph.RecomputeLevels();
        view.resize(side, side);
        view.RedrawBackground();
        image = QImage(view.size(), QImage::Format_ARGB32_Premultiplied);
        view.render(&image);
    }

    void SendMouse(QEvent::Type type, QPoint pos) {
        QMouseEvent event(type, QPointF(pos), view.mapToGlobal(QPointF(pos)), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(&view, &event);
    }

    MemorySettings settings;
    CGammaGraph graph{settings};
    CGammaGraphView view;
    QImage image;
};

// One full paint of the view: the background copied, the curve and its markers drawn.
void BM_Repaint(benchmark::State& state) {
    ViewRig rig(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        rig.view.render(&rig.image);
        benchmark::ClobberMemory();
    }
    state.counters["scale"] = rig.view.Scale();
}
BENCHMARK(BM_Repaint)->Arg(kPlotSize)->Arg(kLargestSide)->Unit(benchmark::kMicrosecond);

// One mouse move of a drag (the tables recomputed) and the paint it asks for.
void BM_DragStepWithRepaint(benchmark::State& state) {
    ViewRig rig(static_cast<int>(state.range(0)));
    const GraphPoint middle{rig.graph.ScreenX(510), rig.graph.ScreenY(510)};
    rig.SendMouse(QEvent::MouseButtonPress, rig.view.ToWidget({middle.x, middle.y}));
    int step = 0;
    for (auto _ : state) {
        step = (step + 1) % 16;
        rig.SendMouse(QEvent::MouseMove, rig.view.ToWidget({middle.x + step, middle.y - step}));
        rig.view.render(&rig.image);
        benchmark::ClobberMemory();
    }
    rig.SendMouse(QEvent::MouseButtonRelease, rig.view.ToWidget({middle.x, middle.y}));
    state.counters["scale"] = rig.view.Scale();
}
BENCHMARK(BM_DragStepWithRepaint)->Arg(kPlotSize)->Arg(kLargestSide)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace tonedesk

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
