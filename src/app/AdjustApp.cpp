#include "app/AdjustApp.h"

#include "app/AboutDialog.h"
#include "app/MainFrame.h"
#include "support/Notifier.h"
#include "support/Settings.h"
#include "ui/gamma/GammaDialog.h"
#include "ui/panel/ControlSheet.h"
#include "ui/widgets/BitmapWindow.h"
#include "ui/widgets/ResourceBundle.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLockFile>
#include <QLoggingCategory>
#include <QStandardPaths>

namespace tonedesk {

Q_LOGGING_CATEGORY(lcApp, "tonedesk.app", QtWarningMsg)

namespace {

constexpr int kStartupTemplate = 155;
constexpr int kStartupBitmap = 189;
constexpr int kTitleString = 57344;

} // namespace

CAdjustApp::CAdjustApp(const AppServices& services) : services_(services) {
    idleTimer_.setInterval(0);
    connect(&idleTimer_, &QTimer::timeout, this, &CAdjustApp::OnIdle);
    // The about command's key, whichever window has the focus.
    qApp->installEventFilter(this);
}

CAdjustApp::~CAdjustApp() {
    idleTimer_.stop();
    startupWindow_.reset();
    frame_.reset();
    SetCurrentBundle(nullptr);
    bundle_.reset();
    // The lock is released with instanceLock_.
}

QString CAdjustApp::Title() {
    const QString own = ResourceBundle::Embedded(QStringLiteral(":/program"))->String(kTitleString);
    return own.isEmpty() ? QStringLiteral("Vanto Tonedesk") : own;
}

QString CAdjustApp::InstanceLockPath() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) {
        dir = QDir::tempPath();
    }
    return dir + QLatin1Char('/') + Title() + QStringLiteral(".lock");
}

bool CAdjustApp::LoadBundle() {
    const QString file = bundleFile_.isEmpty() ? QCoreApplication::applicationDirPath() +
                                                     QStringLiteral("/lumidesk.rcc")
                                               : bundleFile_;
    auto bundle = std::make_unique<ResourceBundle>(file);
    if (!bundle->IsLoaded()) {
        // Every window of the program is built from the bundle: without it there is nothing to
        // show, and the program ends instead of vanishing without a word.
        ReportStartFailure(
            QStringLiteral("cannot start: resource bundle %1 cannot be used: %2")
                .arg(file, bundle->Failure()),
            QStringLiteral("%1 cannot start: its resource file\n\n%2\n\ncannot be used (%3).\n\n"
                           "Install the program again to restore the file.")
                .arg(Title(), file, bundle->Failure()));
        return false;
    }
    bundle_ = std::move(bundle);
    SetCurrentBundle(bundle_.get());
    return true;
}

void CAdjustApp::ReportStartFailure(const QString& reason, const QString& text) {
    startFailed_ = true;
    qCCritical(lcApp).noquote() << reason;
    services_.prompts.ShowText(text);
}

bool CAdjustApp::InitInstance() {
    if (!LoadBundle()) {
        return false;
    }

    instanceLock_ = std::make_unique<QLockFile>(InstanceLockPath());
    instanceLock_->setStaleLockTime(0);
    if (!instanceLock_->tryLock(0)) {
        // Another copy runs: end silently.
        instanceLock_.reset();
        return false;
    }

    // A profile that exists but cannot be read ends the program after telling the user: its
    // defaults would probe every default port, which the user's section "PORTS" may forbid,
    // and what the program writes would be lost or would replace the user's file.
    if (const auto failure = services_.settings.LoadFailure()) {
        qCWarning(lcApp) << "profile cannot be used:" << failure->fileName.c_str() << "-"
                         << failure->reason.c_str();
        services_.notifier.FileError(failure->fileName, failure->reason);
        startFailed_ = true;
        return false;
    }
    for (const std::string& warning : services_.settings.LoadWarnings()) {
        qCWarning(lcApp).noquote() << "profile:" << QString::fromLocal8Bit(warning);
    }

    startupWindow_ = std::make_unique<CBitmapWindow>(kStartupTemplate, kStartupBitmap);
    startupWindow_->Create();
    startupWindow_->setGeometry(-10000, -10000, 10, 10);
    startupWindow_->show();
    startupWindow_->hide();

    frame_ = std::make_unique<CMainFrame>(services_, serviceLogFile_);
    connect(frame_.get(), &CMainFrame::Closed, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    // Command 20000 of the frame: the gamma editor runs modally before the command returns.
    connect(frame_.get(), &CMainFrame::GammaDialogRequested, this, &CAdjustApp::RunGammaDialog,
            Qt::DirectConnection);
    frame_->StartScan();

    startTick_ = services_.clock.Now();
    idleTimer_.start();
    return true;
}

void CAdjustApp::RunGammaDialog() {
    if (gammaDialog_) {
        // The editor is open already, under the control panel whose button asked for it: the
        // panel closes and the user is back in that editor.
        if (CControlSheet* sheet = frame_->ControlSheet(); sheet && sheet->isVisible()) {
            sheet->reject();
        }
        gammaDialog_->activateWindow();
        return;
    }
    CGammaDialog dialog(frame_->Link(), services_.settings, services_.notifier, services_.prompts,
                        gammaSaveChooser_);
    dialog.SetControlPanelAvailable(frame_->ControlSheet() != nullptr);
    dialog.SetServiceLog(&frame_->Log());
    connect(&dialog, &CGammaDialog::ControlPanelRequested, frame_.get(),
            &CMainFrame::RunControlPanel);
    connect(&dialog, &CGammaDialog::AboutRequested, this, [this, &dialog] { OnAppAbout(&dialog); });
    gammaDialog_ = &dialog;
    dialog.DoModal();
    gammaDialog_ = nullptr;
}

void CAdjustApp::OnAppAbout(QWidget* parent) {
    if (aboutShown_) {
        return; // F1 in the about box itself
    }
    aboutShown_ = true;
    CAboutDialog about(parent);
    about.DoModal();
    aboutShown_ = false;
}

bool CAdjustApp::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() && !aboutShown_) {
        const auto* key = static_cast<const QKeyEvent*>(event);
        if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier) {
            OnAppAbout(static_cast<QWidget*>(watched)->window());
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void CAdjustApp::OnIdle() {
    if (!startupWindow_) {
        idleTimer_.stop();
        return;
    }
    if (frame_->Link().Scanning() && services_.clock.Now() <= startTick_) {
        return; // try again at the next idle moment
    }
    idleTimer_.stop();
    startupWindow_->close();
    startupWindow_.reset();
    qCInfo(lcApp) << "first idle moment: scan" << (frame_->Link().Scanning() ? "running" : "ended")
                  << "with" << frame_->Link().Ports().size() << "ports";
    emit FirstIdle();
}

} // namespace tonedesk
