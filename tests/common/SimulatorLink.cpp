#include "common/SimulatorLink.h"

#include "ProjectorSimulator.h"
#include "gamma/GammaTransfer.h"

#include <array>
#include <cstdlib>
#include <optional>
#include <thread>

namespace tonedesk::test {

std::string BuiltProgramDir() {
    const char* dir = std::getenv("TONEDESK_BIN_DIR");
    return dir ? dir : TONEDESK_PROGRAM_DIR;
}

SimulatorLink::SimulatorLink(const std::vector<std::string>& simOptions, int baud,
                             const std::string& simStderrFile) {
    std::vector<std::string> argv{BuiltProgramDir() + "/projector-sim", "--stdin-exit"};
    argv.insert(argv.end(), simOptions.begin(), simOptions.end());
    sim_ =
        std::make_unique<ChildProcess>(argv, std::map<std::string, std::string>{}, simStderrFile);
    const auto path = sim_->ReadLine(std::chrono::seconds(10));
    if (!path) {
        error_ = "projector-sim did not start";
        return;
    }
    settings_.WriteText(kPortsSection, "SYSTEM", "0");
    settings_.WriteText(kPortsSection, "COM1", *path);
    PosixPortHost host;
    host.consoleList = (host_.Path() / "console-active").string();
    host.port.lockFolder = host_.Path().string();
    ports_ = std::make_unique<PosixSerialPortFactory>(settings_, host);
    link_ = std::make_unique<CProjectorLink>(settings_, clock_, *ports_, notifier_);
    link_->StopScanning();
    port_ = link_->UsePort(1);
    if (!port_) {
        error_ = "the simulator's terminal " + *path + " cannot be opened";
        return;
    }
    port_->baudRate = baud;
    link_->OpenPort(*port_);
}

bool SimulatorLink::ServiceUntilIdle(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    bool dropped = false;
    while (link_->IsBusy(port_) && std::chrono::steady_clock::now() < deadline) {
        dropped = link_->Service() || dropped;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return dropped;
}

std::string ExpectedGammaDump(int bank, const GammaTable& table, int channel) {
    std::array<std::optional<std::vector<std::uint8_t>>, sim::kGammaTables> blocks;
    int block = 0;
    for (const ByteBuffer& entry : GammaTransferEntries(bank, table, channel)) {
        if (entry.size() == kGammaAnnounceSize) {
            block = std::stoi(std::string(entry.begin() + 4, entry.end() - 1));
        } else {
            blocks.at(static_cast<std::size_t>(block)).emplace(entry.begin(), entry.end());
        }
    }
    return sim::FormatGammaDump(blocks);
}

} // namespace tonedesk::test
