#include "ui/widgets/BitmapStatic.h"

#include "ui/widgets/ResourceBundle.h"

#include <QEvent>
#include <QPainter>
#include <QVariant>
#include <QWidget>

namespace tonedesk {

void CBitmapStatic::Attach(QWidget* control) {
    control_ = control;
    sourceBundle_ = CurrentBundle();
    setParent(control);
    control->installEventFilter(this);
    control->update();
}

int CBitmapStatic::BitmapNumber() const {
    if (!control_) {
        return -1;
    }
    const QVariant property = control_->property("bitmap");
    bool ok = false;
    const int number = property.toInt(&ok);
    return property.isValid() && ok ? number : ControlId(control_);
}

bool CBitmapStatic::eventFilter(QObject* watched, QEvent* event) {
    if (watched != control_ || event->type() != QEvent::Paint || !sourceBundle_) {
        return QObject::eventFilter(watched, event);
    }
    const int number = BitmapNumber();
    if (number < 0) {
        return false;
    }
    const QPixmap bitmap = sourceBundle_->Bitmap(number);
    if (bitmap.isNull()) {
        return false;
    }
    QPainter painter(control_);
    painter.drawPixmap(0, 0, bitmap);
    return true;
}

} // namespace tonedesk
