#include "ui/widgets/MessageNotifier.h"

#include "ui/widgets/ResourceBundle.h"

#include <QApplication>
#include <QCursor>
#include <QMessageBox>
#include <QWidget>

namespace tonedesk {

namespace {

QString Caption() {
    return QApplication::applicationName();
}

} // namespace

void MessageNotifier::Message(int stringId, const std::string& argument) {
    QString text = LoadString(stringId);
    if (!argument.empty()) {
        text = FormatMessageText(text, QString::fromLocal8Bit(argument));
    }
    if (text.isEmpty()) {
        // A bundle without the text still tells the user something happened.
        text = QApplication::translate("MessageNotifier", "Message %1").arg(stringId);
    }
    QMessageBox::warning(QApplication::activeWindow(), Caption(), text);
}

void MessageNotifier::FileError(const std::string& fileName, const std::string& reason) {
    const QString text =
        QApplication::translate("MessageNotifier", "The file %1 cannot be used.\n\n%2.")
            .arg(QString::fromLocal8Bit(fileName), QString::fromLocal8Bit(reason));
    QMessageBox::critical(QApplication::activeWindow(), Caption(), text);
}

Qt::CursorShape QtCursorShape(CursorShape shape) {
    switch (shape) {
    case CursorShape::Wait:
        return Qt::WaitCursor;
    case CursorShape::AppStarting:
        return Qt::BusyCursor;
    default:
        return Qt::ArrowCursor;
    }
}

void ShowWindowCursor(QWidget& window, CursorShape shape) {
    const Qt::CursorShape wanted = QtCursorShape(shape);
    if (window.cursor().shape() != wanted) {
        window.setCursor(wanted);
    }
}

} // namespace tonedesk
