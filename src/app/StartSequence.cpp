#include "app/StartSequence.h"

#include "app/AdjustApp.h"
#include "app/ConnectDialog.h"
#include "app/MainFrame.h"
#include "link/ProjectorLink.h"

#include <chrono>
#include <thread>

namespace tonedesk {

namespace {

constexpr Tick kDrainPauseMs = 1;

} // namespace

CStartSequence::CStartSequence(CMainFrame& frame, const SerialPortFactory& ports, DrainPause pause)
    : frame_(frame), ports_(ports), pause_(std::move(pause)) {
    if (!pause_) {
        pause_ = [](Tick ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
    }
}

void CStartSequence::Run() {
    const PortEntry* chosen = nullptr;
    {
        CConnectDialog dialog(frame_, ports_);
        if (!dialog.IsBuilt()) {
            qCWarning(lcApp) << "the connection dialog cannot be shown: the program ends";
            End();
            return;
        }
        qCInfo(lcApp) << "connection dialog shown";
        const int result = dialog.DoModal();
        chosen = result == QDialog::Accepted ? dialog.ChosenPort() : nullptr;
    }
    if (!chosen) {
        qCInfo(lcApp) << "no projector chosen";
        End();
        return;
    }
    if (frame_.LoadModel(chosen->projectorName) != ModelLookup::Found) {
        End();
        return;
    }
    Connect(*chosen);
    emit GammaEditorRequested();
    Drain();
    End();
}

void CStartSequence::Connect(const PortEntry& chosen) {
    frame_.Link().UseScannedPort(chosen.portIndex);
}

void CStartSequence::Drain() {
    CProjectorLink& link = frame_.Link();
    while (link.IsBusy()) {
        link.Service();
        if (link.IsBusy()) {
            pause_(kDrainPauseMs);
        }
    }
}

void CStartSequence::End() {
    frame_.close();
}

} // namespace tonedesk
