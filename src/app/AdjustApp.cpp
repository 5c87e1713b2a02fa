#include "app/AdjustApp.h"

#include "app/AboutDialog.h"
#include "app/MainFrame.h"
#include "gamma/ui/GammaDialog.h"
#include "model/ui/ControlSheet.h"
#include "support/Notifier.h"
#include "support/Settings.h"
#include "support/ui/BitmapWindow.h"
#include "support/ui/ResourceBundle.h"

#include <QApplication>
#include <QDir>
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
    // The program's own resources (compiled in) hold the title strings.
    ownResources_ = ResourceBundle::Embedded(QStringLiteral(":/program"));
    idleTimer_.setInterval(0);
    connect(&idleTimer_, &QTimer::timeout, this, &CAdjustApp::OnIdle);
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

void CAdjustApp::LoadBundle() {
    const QString file = QCoreApplication::applicationDirPath() + QStringLiteral("/lumidesk.rcc");
    auto bundle = std::make_unique<ResourceBundle>(file);
    if (bundle->IsLoaded()) {
        bundle_ = std::move(bundle);
        SetCurrentBundle(bundle_.get());
    } else {
        // Without the bundle the program carries on with its own resources; its dialogs cannot
        // be built then.
        qCWarning(lcApp) << "resource bundle not loaded:" << file;
        SetCurrentBundle(ownResources_.get());
    }
}

bool CAdjustApp::InitInstance() {
    LoadBundle();

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

    frame_ = std::make_unique<CMainFrame>(services_);
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
    connect(&dialog, &CGammaDialog::ControlPanelRequested, frame_.get(),
            &CMainFrame::RunControlPanel);
    gammaDialog_ = &dialog;
    dialog.DoModal();
    gammaDialog_ = nullptr;
}

void CAdjustApp::OnAppAbout() {
    CAboutDialog about;
    about.DoModal();
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
