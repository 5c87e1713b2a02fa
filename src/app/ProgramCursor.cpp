#include "app/ProgramCursor.h"

#include "ui/widgets/MessageNotifier.h"

#include <QApplication>
#include <QCursor>

namespace tonedesk {

ProgramCursor::~ProgramCursor() {
    Show(CursorShape::Arrow);
}

void ProgramCursor::Show(CursorShape shape) {
    if (shape == CursorShape::Arrow) {
        if (shown_) {
            QApplication::restoreOverrideCursor();
            shown_.reset();
        }
        return;
    }
    if (shown_ == shape) {
        return;
    }
    const QCursor cursor(QtCursorShape(shape));
    if (shown_) {
        QApplication::changeOverrideCursor(cursor);
    } else {
        QApplication::setOverrideCursor(cursor);
    }
    shown_ = shape;
}

} // namespace tonedesk
