#include "app/Program.h"

#include "ProgramVersion.h"
#include "app/MainFrame.h"
#include "app/StartSequence.h"
#include "link/PosixSerialPort.h"
#include "support/Clock.h"
#include "support/Settings.h"
#include "support/qt/QtSettingsStore.h"
#include "ui/gamma/GammaSaveDialog.h"
#include "ui/widgets/DialogPrompts.h"
#include "ui/widgets/MessageNotifier.h"

#include <QApplication>

namespace tonedesk {

namespace {

// Platforms whose windows nobody sees: offscreen rendering and the minimal platform.
bool WindowsAreSeen() {
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

} // namespace

CProgram::CProgram(const AppServices& services) : services_(services), adjust_(services) {
    // The gamma editor saves through its own save dialog, which asks before replacing a file.
    adjust_.SetGammaSaveChooser(GammaSaveDialogChooser(services_.prompts));
}

CProgram::~CProgram() = default;

std::optional<int> CProgram::Start() {
    if (!adjust_.InitInstance()) {
        return adjust_.StartFailed() ? 1 : 0;
    }
    // The start-to-exit sequence takes over at the first idle moment and closes the frame at its
    // end. Between the connection and the drain it runs the gamma editor, modally, as the
    // frame's command 20000 does.
    sequence_ = std::make_unique<CStartSequence>(*adjust_.Frame(), services_.ports);
    QObject::connect(&adjust_, &CAdjustApp::FirstIdle, sequence_.get(), &CStartSequence::Run);
    QObject::connect(sequence_.get(), &CStartSequence::GammaEditorRequested, &adjust_,
                     &CAdjustApp::RunGammaDialog, Qt::DirectConnection);
    return std::nullopt;
}

int RunProgram(const std::function<void(CProgram&)>& started, const std::string& logFile) {
    QApplication::setApplicationName(CAdjustApp::Title());
    QApplication::setApplicationVersion(QLatin1String(kProgramVersion));
    // The main frame is never shown; the program ends when it closes.
    QApplication::setQuitOnLastWindowClosed(false);

    QtSettingsStore settings;
    SteadyClock clock;
    PosixSerialPortFactory ports(settings);
    MessageNotifier notifier;
    // Where nobody sees the windows, a notice box would keep the program waiting for ever.
    DialogPrompts prompts(WindowsAreSeen() ? TextOutput::MessageBox : TextOutput::ErrorOutput);

    CProgram program({settings, clock, ports, notifier, prompts});
    program.App().SetServiceLogFile(logFile);
    if (const auto exitStatus = program.Start()) {
        return *exitStatus;
    }
    if (started) {
        started(program);
    }
    return QApplication::exec();
}

} // namespace tonedesk
