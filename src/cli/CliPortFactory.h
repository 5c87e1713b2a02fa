#pragma once

#include "link/PosixSerialPort.h"

#include <memory>
#include <string>
#include <vector>

namespace tonedesk::cli {

// The profile's COM ports as tonedesk-cli opens them: the program's own ports, which also note
// each port that another program holds, so that a scan can say why it passed over it.
class CliPortFactory final : public SerialPortFactory {
public:
    explicit CliPortFactory(const Settings& settings) : ports_(settings) {}

    std::unique_ptr<SerialPort> Open(int comNumber) override;
    std::string LastOpenFailure() const override { return ports_.LastOpenFailure(); }
    PortOpenError LastOpenError() const override { return ports_.LastOpenError(); }
    std::string DevicePath(int comNumber) const override { return ports_.DevicePath(comNumber); }

    // The port for the user: "COM3 (/dev/ttyS2)", or "COM3" when it has no device.
    std::string PortName(int comNumber) const;

    struct HeldPort {
        int comNumber;
        std::string reason; // "in use by another program (pid 42)"
    };
    // The ports refused since the last ForgetHeld because another program holds them, each once,
    // in the order of their first refusal.
    const std::vector<HeldPort>& Held() const { return held_; }
    void ForgetHeld() { held_.clear(); }

private:
    PosixSerialPortFactory ports_;
    std::vector<HeldPort> held_;
};

} // namespace tonedesk::cli
