#include "app/AdjustApp.h"
#include "app/Program.h"
#include "link/PosixSerialPort.h"
#include "support/Clock.h"
#include "support/qt/QtSettingsStore.h"
#include "support/ui/DialogPrompts.h"
#include "support/ui/MessageNotifier.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(tonedesk::CAdjustApp::Title());
    // The main frame is never shown; the program ends when it closes.
    QApplication::setQuitOnLastWindowClosed(false);

    // The program's services, built once and handed down to every window: the user's profile,
    // the steady clock, the machine's serial ports, message boxes and file dialogs.
    tonedesk::QtSettingsStore settings;
    tonedesk::SteadyClock clock;
    tonedesk::PosixSerialPortFactory ports(settings);
    tonedesk::MessageNotifier notifier;
    tonedesk::DialogPrompts prompts;

    tonedesk::CProgram program({settings, clock, ports, notifier, prompts});
    if (const auto exitStatus = program.Start()) {
        return *exitStatus;
    }
    return QApplication::exec();
}
