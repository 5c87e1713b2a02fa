#include "app/ConnectDialog.h"

#include "app/MainFrame.h"
#include "app/ModelInstaller.h"
#include "link/PortAccess.h"
#include "link/ProjectorLink.h"
#include "ui/widgets/MessageNotifier.h"
#include "ui/widgets/ProgramIds.h"
#include "ui/widgets/ResourceBundle.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace tonedesk {

namespace {

constexpr int kRefreshMs = 50;

// The COM number a list text starts with ("COM11 / ..." gives 11); 0 when there is none.
int ComNumberOf(const QString& text) {
    int number = 0;
    for (int i = 3; i < text.size() && text[i].isDigit(); ++i) {
        number = number * 10 + text[i].digitValue();
        if (number > kMaxComPorts) {
            return 0;
        }
    }
    return number;
}

} // namespace

CConnectDialog::CConnectDialog(CMainFrame& frame, const SerialPortFactory& ports)
    : QDialog(nullptr), frame_(frame), ports_(ports) {
    const QWidget* form = BuildDialogFromForm(*this, kConnectTemplate);
    setWindowIcon(LoadIcon(kIconProgram));
    list_ = FindControl<QComboBox>(form, kConnectProjectorList);
    okButton_ = FindControl<QPushButton>(form, 1);
    rescanButton_ = FindControl<QPushButton>(form, kConnectRescan);
    passedOverNote_ = FindControl<QLabel>(form, kConnectPassedOverNote);
    if (passedOverNote_) {
        passedOverNote_->hide();
    }
    if (!list_ || !okButton_) {
        list_ = nullptr;
        return;
    }
    if (rescanButton_) {
        connect(rescanButton_, &QPushButton::clicked, this, &CConnectDialog::Rescan);
    }
    if (auto* install = FindControl<QPushButton>(form, kConnectInstallModel)) {
        connect(install, &QPushButton::clicked, this, &CConnectDialog::InstallModel);
    }
    timer_.setInterval(kRefreshMs);
    connect(&timer_, &QTimer::timeout, this, &CConnectDialog::OnTimer);

    Rescan();
    Refresh();
}

CConnectDialog::~CConnectDialog() = default;

const PortEntry* CConnectDialog::ChosenPort() const {
    const std::vector<PortEntry>& ports = frame_.Link().Ports();
    if (chosenEntry_ < 0 || static_cast<std::size_t>(chosenEntry_) >= ports.size()) {
        return nullptr;
    }
    return &ports[static_cast<std::size_t>(chosenEntry_)];
}

void CConnectDialog::Rescan() {
    if (!list_) {
        return;
    }
    list_->clear();
    listed_.fill(0);
    accessExplained_ = false;
    passedOver_.clear();
    ShowPassedOver();
    if (!frame_.Link().Scanning()) {
        frame_.StartScan();
    }
    timer_.start();
    UpdateControls();
    UpdateCursor();
}

void CConnectDialog::Refresh() {
    // Message 4096 runs an event loop of its own, which delivers further ticks; a refresh asked
    // for meanwhile is left out, so that the user sees one message at a time.
    if (!list_ || refreshDepth_ > 0) {
        return;
    }
    ++refreshDepth_;
    CProjectorLink& link = frame_.Link();
    const bool wasEmpty = list_->count() == 0;
    const std::vector<PortEntry>& ports = link.Ports();
    for (std::size_t i = 0; i < ports.size() && i < listed_.size(); ++i) {
        const PortEntry& port = ports[i];
        if (port.projectorName.empty() || listed_[i] != 0) {
            continue;
        }
        const ModelLookup result = link.Model().ReadModelFile(port.projectorName);
        NotePassedOver(link.Model(), result);
        if (result == ModelLookup::Found) {
            listed_[i] = port.baudRate;
            list_->addItem(QStringLiteral("COM%1 / %2 / %3")
                               .arg(port.ComNumber())
                               .arg(QString::fromLocal8Bit(port.projectorName))
                               .arg(port.baudRate));
            const std::string device = ports_.DevicePath(port.ComNumber());
            if (!device.empty()) {
                list_->setItemData(list_->count() - 1, QString::fromLocal8Bit(device),
                                   Qt::ToolTipRole);
            }
        } else if (result == ModelLookup::RepeatedId) {
            // Stays unlisted: looked at again at the next refresh.
            frame_.Notices().Message(kMessageFaultyModel);
        }
    }
    if (wasEmpty && list_->count() > 0) {
        list_->setCurrentIndex(0);
    }
    UpdateControls();
    --refreshDepth_;
}

void CConnectDialog::NotePassedOver(const CModelFile& model, ModelLookup result) {
    for (const CModelFile::SkippedFile& skipped : model.SkippedFiles()) {
        passedOver_[skipped.path] = QString::fromLocal8Bit(skipped.reason);
    }
    if (result == ModelLookup::RepeatedId) {
        passedOver_[model.FilePath()] = LoadString(kStringRepeatsIdentifier);
    }
    ShowPassedOver();
}

void CConnectDialog::ShowPassedOver() {
    if (!passedOverNote_) {
        return;
    }
    QString text = LoadString(kStringModelFilesPassedOver);
    for (const auto& [name, reason] : passedOver_) {
        text += QLatin1Char('\n') + QString::fromLocal8Bit(name) + QStringLiteral(": ") + reason;
    }
    passedOverNote_->setText(text);
    passedOverNote_->setVisible(!passedOver_.empty());
}

void CConnectDialog::UpdateControls() {
    const bool any = list_->count() > 0;
    list_->setEnabled(any);
    okButton_->setEnabled(any);
    if (rescanButton_) {
        rescanButton_->setEnabled(!frame_.Link().Scanning());
    }
}

void CConnectDialog::OnTimer() {
    if (refreshDepth_ > 0) {
        return;
    }
    Refresh();
    if (!frame_.Link().Scanning()) {
        timer_.stop();
        ExplainDeniedPorts();
    }
    UpdateCursor();
}

void CConnectDialog::ExplainDeniedPorts() {
    // A projector that answered shows the user's access works where it matters; the denied
    // ports are then most likely ones nothing is cabled to.
    const CProjectorLink& link = frame_.Link();
    const auto& ports = link.Ports();
    if (accessExplained_ || link.DeniedPorts().empty() ||
        std::any_of(ports.begin(), ports.end(),
                    [](const PortEntry& port) { return port.AnsweredProbe(); })) {
        return;
    }
    accessExplained_ = true;
    frame_.Notices().Message(kMessagePortAccess, PortAccessAdvice(ports_, link.DeniedPorts()));
}

void CConnectDialog::InstallModel() {
    CModelInstaller installer(frame_.Prompts(), frame_.Link().Model().Folders());
    installer.Run();
    Refresh();
}

void CConnectDialog::UpdateCursor() {
    ShowWindowCursor(*this,
                     frame_.Link().Scanning() ? CursorShape::AppStarting : CursorShape::Arrow);
}

void CConnectDialog::accept() {
    if (!list_ || list_->currentIndex() < 0) {
        return;
    }
    CProjectorLink& link = frame_.Link();
    link.StopScanning();
    timer_.stop();
    UpdateCursor();
    const int comNumber = ComNumberOf(list_->currentText());
    const std::vector<PortEntry>& ports = link.Ports();
    for (std::size_t i = 0; i < ports.size(); ++i) {
        if (ports[i].ComNumber() == comNumber) {
            chosenEntry_ = static_cast<std::int32_t>(i);
            break;
        }
    }
    QDialog::accept();
}

} // namespace tonedesk
