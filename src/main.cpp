#include "app/AdjustApp.h"
#include "app/MainFrame.h"
#include "app/StartSequence.h"
#include "gamma/ui/GammaSaveDialog.h"
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

    tonedesk::CAdjustApp adjust({settings, clock, ports, notifier, prompts});
    // The gamma editor saves through its own save dialog, which asks before replacing a file.
    adjust.SetGammaSaveChooser(tonedesk::GammaSaveDialogChooser(prompts));
    if (!adjust.InitInstance()) {
        return settings.LoadFailure() ? 1 : 0;
    }
    // The start-to-exit sequence takes over at the first idle moment and closes the frame at its
    // end. Between the connection and the drain it runs the gamma editor, modally, as the
    // frame's command 20000 does.
    tonedesk::CStartSequence sequence(*adjust.Frame(), ports);
    QObject::connect(&adjust, &tonedesk::CAdjustApp::FirstIdle, &sequence,
                     &tonedesk::CStartSequence::Run);
    QObject::connect(&sequence, &tonedesk::CStartSequence::GammaEditorRequested, &adjust,
                     &tonedesk::CAdjustApp::RunGammaDialog, Qt::DirectConnection);
    return QApplication::exec();
}
