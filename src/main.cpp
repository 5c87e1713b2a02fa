#include "app/AdjustApp.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(tonedesk::CAdjustApp::Title());
    // The main frame is never shown; the program ends when it closes.
    QApplication::setQuitOnLastWindowClosed(false);

    tonedesk::CAdjustApp adjust;
    if (!adjust.InitInstance()) {
        return 0;
    }
    return QApplication::exec();
}
