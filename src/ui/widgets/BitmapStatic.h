#pragma once

#include <QObject>

class QWidget;

namespace tonedesk {

class ResourceBundle;

// Paints a static control with a bitmap of the bundle that was current when it was attached.
// The bitmap's number is the control's dynamic property "bitmap" when it has one, else the
// control's own id. Without a number, or when the bundle has no such bitmap, the control paints
// as usual. The bitmap is loaded on every paint and drawn unscaled at the top-left corner.
class CBitmapStatic : public QObject {
    Q_OBJECT
public:
    CBitmapStatic() = default;

    // Attaches to `control`, which then owns this object.
    void Attach(QWidget* control);

    // The bitmap number the control shows, -1 for none.
    int BitmapNumber() const;
    const ResourceBundle* SourceBundle() const { return sourceBundle_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* control_ = nullptr;
    const ResourceBundle* sourceBundle_ = nullptr;
};

} // namespace tonedesk
