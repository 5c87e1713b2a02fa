#include "cli/CliPortFactory.h"

#include <algorithm>

namespace tonedesk::cli {

std::unique_ptr<SerialPort> CliPortFactory::Open(int comNumber) {
    std::unique_ptr<SerialPort> port = ports_.Open(comNumber);
    const bool known = std::any_of(held_.begin(), held_.end(),
                                   [&](const HeldPort& h) { return h.comNumber == comNumber; });
    if (!port && ports_.LastFailure().error == PortOpenError::kInUse && !known) {
        held_.push_back({comNumber, Describe(ports_.LastFailure())});
    }
    return port;
}

std::string CliPortFactory::PortName(int comNumber) const {
    const std::string device = DevicePath(comNumber);
    const std::string com = "COM" + std::to_string(comNumber);
    return device.empty() ? com : com + " (" + device + ")";
}

} // namespace tonedesk::cli
