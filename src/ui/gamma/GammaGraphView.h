#pragma once

#include "gamma/CurveMath.h"
#include "gamma/GammaGraph.h"

#include <QPixmap>
#include <QPoint>
#include <QWidget>

#include <vector>

namespace tonedesk {

// The gamma editor's curve graph as a widget: shows a CGammaGraph and drives its mouse handling.
// The graph works in its own logical pixels, a 276 x 276 square; the view draws that square
// enlarged by an integer scale and centred in the widget, so the lines stay exact and crisp.
class CGammaGraphView : public QWidget, public GraphHost {
    Q_OBJECT
public:
    // Shows `graph` (which must outlive the view) and becomes its host (graph.SetHost(this)).
    explicit CGammaGraphView(CGammaGraph& graph, QWidget* parent = nullptr);
    ~CGammaGraphView() override;

    // Draws the off-screen background again (frame, grid and, with one channel selected, the other
    // channels' curves): after a change of channel, bank or tables. Cheap calls otherwise reuse it.
    void RedrawBackground();
    // The scale of the 276 x 276 logical square on the widget (the largest integer that fits, at
    // least 1).
    int Scale() const;
    // Widget position <-> the graph's logical coordinates. ToWidget gives the centre of the
    // logical pixel, so ToGraph(ToWidget(p)) == p.
    QPoint ToGraph(QPoint widgetPos) const;
    QPoint ToWidget(QPoint graphPos) const;
    // Whether the displayed level table falls somewhere (marked on the graph).
    bool ShowsFallingCurve() const { return !falling_.empty(); }
    // The marked stretches of the displayed level table.
    const std::vector<LevelStretch>& FallingStretchesShown() const { return falling_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // GraphHost. ReadoutsChanged is the signal below: the graph's call emits it.
    void CurveChanged() override;

signals:
    void ReadoutsChanged();            // the graph's ReadoutX()/ReadoutY() texts changed
    void DragFinished(bool modified);  // the button was released after a press in the square
    void FallingChanged(bool falling); // the displayed curve started or stopped falling somewhere

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Top-left corner of the scaled square in the widget.
    QPoint SquareOffset() const;
    void RenderBackground();
    void UpdateFalling();
    void RequestPaint();

    CGammaGraph& graph_;
    QPixmap background_;
    int backgroundScale_ = 0;
    qreal backgroundRatio_ = 0;
    std::vector<LevelStretch> falling_;
    bool paintPending_ = false;
    bool pressInSquare_ = false;
};

} // namespace tonedesk
