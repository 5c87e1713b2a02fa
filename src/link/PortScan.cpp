// The link's scan of the ports for projectors, and the probe of one port.
#include "link/ProjectorLink.h"

namespace tonedesk {

namespace {

constexpr char kProbe[] = "TNAM   1\r";
constexpr std::int32_t kProbeLength = 9;

} // namespace

void CProjectorLink::ScanPorts() {
    currentPort_ = nullptr;
    for (PortEntry& port : ports_) {
        ClosePort(port);
    }
    scanning_ = true;
    portsFound_ = 0;
    probeRates_.assign(kBaudRates.begin(), kBaudRates.end());
    probeCycles_ = settings_.powerOnRetry;
    ports_.clear();
    deniedPorts_.clear();
    for (std::int32_t index = 0; index < kMaxComPorts; ++index) {
        PortEntry& port = ports_.emplace_back();
        port.portIndex = index;
        port.probing = true;
        port.baudIndex = 0;
        port.baudRate = 0;
        port.powerOnRetryCount = 0;
        if (OpenPort(port)) {
            ++portsFound_;
            QueueProbe(port);
        } else {
            if (portFactory_.LastOpenError() == PortOpenError::kAccessDenied) {
                deniedPorts_.push_back(port.ComNumber());
            }
            ports_.pop_back();
        }
    }
    // A table without ports ends the scan at the next Service.
    Changed();
}

void CProjectorLink::GiveUpProbe(PortEntry& port) {
    ClosePort(port);
    port.probing = false;
    port.baudRate = 0;
}

void CProjectorLink::FailedProbe(PortEntry& port, bool& goesOn) {
    // Attempts counted outside the scanning mode (RETRY) may have passed RETRY2 already.
    if (++port.retryCount < settings_.retry2) {
        goesOn = true;
        return;
    }
    ++port.baudIndex;
    // A probe started meanwhile may try fewer rates in fewer cycles: beyond them ends too.
    if (port.baudIndex >= static_cast<std::int32_t>(probeRates_.size())) {
        if (++port.powerOnRetryCount >= probeCycles_) {
            GiveUpProbe(port);
        } else {
            port.baudIndex = 0;
            port.baudRate = probeRates_[0];
        }
    } else {
        port.baudRate = probeRates_[static_cast<std::size_t>(port.baudIndex)];
    }
    if (port.baudRate != 0) {
        OpenPort(port);
        QueueProbe(port);
        goesOn = true;
    }
}

void CProjectorLink::QueueProbe(PortEntry& port) {
    QueueCommand(kProbe, kProbeLength, AnswerKind::Identify, false, &port);
}

bool CProjectorLink::StartProbe(PortEntry& port, std::span<const std::int32_t> rates) {
    if (!port.IsOpen() || rates.empty()) {
        return false;
    }
    probeRates_.assign(rates.begin(), rates.end());
    probeCycles_ = 1;
    port.probing = true;
    port.baudIndex = 0;
    port.baudRate = probeRates_[0];
    port.powerOnRetryCount = 0;
    scanning_ = true;
    OpenPort(port);
    QueueProbe(port);
    return true;
}

bool CProjectorLink::ServiceScan() {
    bool goesOn = false;
    for (PortEntry& port : ports_) {
        if (!port.IsOpen()) {
            continue;
        }
        switch (PumpPort(port)) {
        case ExchangeResult::None:
            if (port.probing && !IsBusy(&port)) {
                // Its probe was exchanged or dropped outside the scanning mode: an attempt that
                // failed, or the scan would wait for it forever.
                FailedProbe(port, goesOn);
            } else if (port.probing) {
                goesOn = true;
            }
            break;
        case ExchangeResult::Data:
            port.probing = false;
            break;
        case ExchangeResult::HungUp:
            // Given up like a port nothing answered on.
            GiveUpProbe(port);
            break;
        default:
            FailedProbe(port, goesOn);
            break;
        }
    }
    if (!goesOn) {
        scanning_ = false;
    }
    return false;
}

} // namespace tonedesk
