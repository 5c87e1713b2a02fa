#include "ui/gamma/GammaGraphView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cstdlib>

namespace tonedesk {

namespace {

// Falling stretches are shaded in this colour under the curve.
const QColor kFallingShade(255, 0, 0, 72);

int FloorDiv(int a, int b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// Draws the graph on a QPainter whose transform maps one logical pixel of the graph onto a
// square of device pixels. Frames, grid lines and markers are rasterised in logical pixels, each
// line without its end pixel, and filled as runs of whole logical pixels, so they stay exact and
// sharp at every scale. Curves too, where a logical pixel is one device pixel; where it covers
// more (an enlarged square, a high-density screen) they are drawn smooth, anti-aliased through
// the centres of their logical pixels, one logical pixel wide.
class QtGraphPainter final : public GraphPainter {
public:
    QtGraphPainter(QPainter& painter, const QPalette& palette, bool smooth)
        : painter_(painter), palette_(palette), smooth_(smooth) {}

    // What CopySurface copies, and the falling stretches it shades on top of it.
    void SetSurface(const QPixmap* surface, const std::vector<LevelStretch>* falling,
                    GraphPoint origin) {
        surface_ = surface;
        falling_ = falling;
        origin_ = origin;
    }

    void FillRect(const GraphRect& rect, GraphColor color) override {
        painter_.fillRect(
            QRect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top),
            ToQColor(color));
    }

    void Curve(std::span<const GraphPoint> points, std::span<const double> exactY,
               GraphColor color) override {
        if (!smooth_) {
            Polyline(points, color, PenStyle::Solid);
            return;
        }
        // At each entry's exact height: four levels to a logical pixel.
        line_.resize(static_cast<qsizetype>(points.size()));
        for (std::size_t k = 0; k < points.size(); ++k) {
            line_[static_cast<qsizetype>(k)] = QPointF(points[k].x + 0.5, exactY[k] + 0.5);
        }
        SmoothPolyline(ToQColor(color));
    }

    void Polyline(std::span<const GraphPoint> points, GraphColor color, PenStyle style) override {
        const QColor c = ToQColor(color);
        if (smooth_ && style == PenStyle::Solid && HasSlant(points)) {
            line_.resize(static_cast<qsizetype>(points.size()));
            for (std::size_t k = 0; k < points.size(); ++k) {
                line_[static_cast<qsizetype>(k)] = QPointF(points[k].x + 0.5, points[k].y + 0.5);
            }
            SmoothPolyline(c);
            return;
        }
        bool dotOn = true;
        Run run;
        for (std::size_t k = 1; k < points.size(); ++k) {
            Rasterise(points[k - 1], points[k], [&](int x, int y) {
                if (style == PenStyle::Solid || dotOn) {
                    if (!run.Extend(x, y)) {
                        Flush(run, c);
                        run = {x, y, 1, 1};
                    }
                } else {
                    Flush(run, c);
                }
                dotOn = !dotOn;
            });
        }
        Flush(run, c);
    }

    void CopySurface(const GraphRect& target) override {
        if (surface_ == nullptr) {
            return;
        }
        // Pixel for pixel: the background was drawn at this scale and device pixel ratio, so it is
        // copied unscaled from the target's corner, which keeps the copy a plain block transfer.
        const QPointF corner = painter_.transform().map(QPointF(target.left, target.top));
        painter_.save();
        painter_.resetTransform();
        painter_.drawPixmap(corner, *surface_);
        painter_.restore();
        if (falling_ != nullptr) {
            for (const LevelStretch& s : *falling_) {
                painter_.fillRect(
                    QRect(origin_.x + s.first, origin_.y, s.last - s.first + 1, kLevelCount + 1),
                    kFallingShade);
            }
        }
    }

private:
    // A horizontal or vertical run of logical pixels; empty when w is 0.
    struct Run {
        int x = 0;
        int y = 0;
        int w = 0;
        int h = 0;

        bool Extend(int px, int py) {
            if (w == 0) {
                return false;
            }
            if (h == 1 && py == y && (px == x + w || px == x - 1)) {
                x = std::min(x, px);
                ++w;
                return true;
            }
            if (w == 1 && px == x && (py == y + h || py == y - 1)) {
                y = std::min(y, py);
                ++h;
                return true;
            }
            return false;
        }
    };

    static bool HasSlant(std::span<const GraphPoint> points) {
        for (std::size_t k = 1; k < points.size(); ++k) {
            if (points[k].x != points[k - 1].x && points[k].y != points[k - 1].y) {
                return true;
            }
        }
        return false;
    }

    // The anti-aliased polyline through line_, one logical pixel wide.
    void SmoothPolyline(const QColor& color) {
        QPen pen(color, 1.0);
        pen.setCapStyle(Qt::SquareCap);
        pen.setJoinStyle(Qt::RoundJoin);
        painter_.save();
        painter_.setRenderHint(QPainter::Antialiasing);
        painter_.setPen(pen);
        painter_.drawPolyline(line_);
        painter_.restore();
    }

    void Flush(Run& run, const QColor& color) {
        if (run.w > 0) {
            painter_.fillRect(QRect(run.x, run.y, run.w, run.h), color);
        }
        run = {};
    }

    // The pixels of the line from a to b, without b: one step along the longer axis for each,
    // the shorter axis following whenever the error term runs out.
    template <typename Plot> static void Rasterise(GraphPoint a, GraphPoint b, Plot&& plot) {
        const int dx = std::abs(b.x - a.x);
        const int dy = std::abs(b.y - a.y);
        const int sx = b.x < a.x ? -1 : 1;
        const int sy = b.y < a.y ? -1 : 1;
        const bool alongX = dx >= dy;
        const int major = alongX ? dx : dy;
        const int minor = alongX ? dy : dx;
        int x = a.x;
        int y = a.y;
        int err = major / 2;
        for (int i = 0; i < major; ++i) {
            plot(x, y);
            err -= minor;
            const bool minorStep = err < 0;
            if (minorStep) {
                err += major;
            }
            x += alongX || minorStep ? sx : 0;
            y += !alongX || minorStep ? sy : 0;
        }
    }

    QColor ToQColor(GraphColor color) const {
        switch (color.kind) {
        case GraphColor::Kind::ButtonFace:
            return palette_.color(QPalette::Button);
        case GraphColor::Kind::ButtonText:
            return palette_.color(QPalette::ButtonText);
        case GraphColor::Kind::ButtonHighlight:
            return palette_.color(QPalette::Light);
        case GraphColor::Kind::Rgb:
            break;
        }
        return QColor(color.r, color.g, color.b);
    }

    QPainter& painter_;
    const QPalette& palette_;
    bool smooth_;
    QPolygonF line_;
    const QPixmap* surface_ = nullptr;
    const std::vector<LevelStretch>* falling_ = nullptr;
    GraphPoint origin_{};
};

} // namespace

CGammaGraphView::CGammaGraphView(CGammaGraph& graph, QWidget* parent)
    : QWidget(parent), graph_(graph) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMinimumSize(kPlotSize, kPlotSize);
    setFocusPolicy(Qt::StrongFocus);
    graph_.CreateSurface(GraphRect{0, 0, kPlotSize, kPlotSize});
    graph_.SetHost(this);
    UpdateFalling();
}

CGammaGraphView::~CGammaGraphView() {
    graph_.SetHost(nullptr);
}

QSize CGammaGraphView::sizeHint() const {
    return {kPlotSize, kPlotSize};
}

QSize CGammaGraphView::minimumSizeHint() const {
    return {kPlotSize, kPlotSize};
}

int CGammaGraphView::Scale() const {
    return std::max(1, std::min(width(), height()) / kPlotSize);
}

QPoint CGammaGraphView::SquareOffset() const {
    const int side = kPlotSize * Scale();
    return {(width() - side) / 2, (height() - side) / 2};
}

QPoint CGammaGraphView::ToGraph(QPoint widgetPos) const {
    const QPoint p = widgetPos - SquareOffset();
    const int s = Scale();
    return {FloorDiv(p.x(), s), FloorDiv(p.y(), s)};
}

QPoint CGammaGraphView::ToWidget(QPoint graphPos) const {
    const int s = Scale();
    return SquareOffset() + graphPos * s + QPoint(s / 2, s / 2);
}

void CGammaGraphView::RedrawBackground() {
    RenderBackground();
    UpdateFalling();
    RequestPaint();
}

void CGammaGraphView::RenderBackground() {
    const int s = Scale();
    const qreal ratio = devicePixelRatioF();
    const int side = static_cast<int>(kPlotSize * s * ratio + 0.5);
    background_ = QPixmap(side, side);
    background_.setDevicePixelRatio(ratio);
    QPainter painter(&background_);
    painter.scale(s, s);
    QtGraphPainter surface(painter, palette(), s * ratio > 1);
    graph_.DrawBackground(surface);
    backgroundScale_ = s;
    backgroundRatio_ = ratio;
}

void CGammaGraphView::UpdateFalling() {
    const bool was = ShowsFallingCurve();
    const LevelTable* levels = graph_.DisplayedLevels();
    falling_ = levels != nullptr ? FallingStretches(*levels) : std::vector<LevelStretch>{};
    if (was != ShowsFallingCurve()) {
        emit FallingChanged(ShowsFallingCurve());
    }
}

void CGammaGraphView::RequestPaint() {
    // A hidden widget gets no paint event: moves must not wait for one.
    if (isVisible()) {
        paintPending_ = true;
    }
    update();
}

void CGammaGraphView::CurveChanged() {
    UpdateFalling();
    RequestPaint();
}

void CGammaGraphView::paintEvent(QPaintEvent*) {
    paintPending_ = false;
    if (background_.isNull() || backgroundScale_ != Scale() ||
        backgroundRatio_ != devicePixelRatioF()) {
        RenderBackground();
    }
    QPainter painter(this);
    const QPoint offset = SquareOffset();
    painter.translate(offset);
    painter.scale(Scale(), Scale());
    QtGraphPainter owner(painter, palette(), Scale() * devicePixelRatioF() > 1);
    owner.SetSurface(&background_, &falling_, graph_.Origin());
    graph_.Paint(owner);
}

bool CGammaGraphView::event(QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool back = key->key() == Qt::Key_Backtab ||
                          (key->key() == Qt::Key_Tab && key->modifiers() & Qt::ShiftModifier);
        if ((key->key() == Qt::Key_Tab || back) && graph_.SelectNextPoint(back ? -1 : 1)) {
            return true;
        }
    }
    return QWidget::event(event);
}

void CGammaGraphView::keyPressEvent(QKeyEvent* event) {
    const int step = event->modifiers() & Qt::ShiftModifier ? 10 : 1;
    bool changed = false;
    switch (event->key()) {
    case Qt::Key_Up:
        changed = graph_.NudgeSelected(0, step);
        break;
    case Qt::Key_Down:
        changed = graph_.NudgeSelected(0, -step);
        break;
    case Qt::Key_Right:
        changed = graph_.NudgeSelected(step, 0);
        break;
    case Qt::Key_Left:
        changed = graph_.NudgeSelected(-step, 0);
        break;
    case Qt::Key_Delete:
        changed = graph_.RemoveSelected();
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    if (changed) {
        emit PointEdited();
    }
}

void CGammaGraphView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const QPoint p = ToGraph(event->position().toPoint());
    graph_.TakeUndoSnapshot(p.x(), p.y());
    graph_.BeginDrag(p.x(), p.y());
    pressInSquare_ = graph_.IsDragging();
}

void CGammaGraphView::mouseMoveEvent(QMouseEvent* event) {
    // Moves wait for the last step's paint: a slow repaint skips positions instead of queueing
    // them.
    if (!(event->buttons() & Qt::LeftButton) || !graph_.IsDragging() || paintPending_) {
        return;
    }
    const QPoint p = ToGraph(event->position().toPoint());
    graph_.DragTo(p.x(), p.y());
}

void CGammaGraphView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    graph_.EndDrag();
    if (pressInSquare_) {
        pressInSquare_ = false;
        emit DragFinished(graph_.IsModified());
    }
}

void CGammaGraphView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) {
        background_ = QPixmap();
        update();
    }
    QWidget::changeEvent(event);
}

} // namespace tonedesk
