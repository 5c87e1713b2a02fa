#pragma once

#include "common/ChildProcess.h"
#include "common/TestKit.h"
#include "gamma/GammaTable.h"
#include "link/PosixSerialPort.h"
#include "link/ProjectorLink.h"
#include "support/Clock.h"
#include "support/Notifier.h"
#include "support/Settings.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace tonedesk::test {

// The folder of the built programs: TONEDESK_BIN_DIR, else the build's program folder.
std::string BuiltProgramDir();

// Remembers the message ids the link shows.
class MessageLog final : public Notifier {
public:
    void Message(int stringId, const std::string&) override { messages.push_back(stringId); }
    void FileError(const std::string&, const std::string&) override {}
    std::vector<int> messages;
};

// A projector-sim started for this process (with --stdin-exit, so it ends with it) and a link
// in this process on the real clock and the POSIX serial port, with COM1 open on the
// simulator's terminal at `baud` outside the scanning mode.
class SimulatorLink {
public:
    // `simOptions` are added to the simulator's command line; when they name a --link, COM1 is
    // that link (so a terminal the simulator opens anew is found there). `env` holds link
    // settings of the profile section ENV.
    SimulatorLink(const std::vector<std::string>& simOptions, int baud,
                  const std::string& simStderrFile = {},
                  const std::map<std::string, std::int32_t>& env = {});

    // Empty when the simulator runs and the port is open, else what went wrong.
    const std::string& Error() const { return error_; }
    CProjectorLink& Link() { return *link_; }
    PortEntry* Port() { return port_; }
    PosixSerialPortFactory& PortFactory() { return *ports_; }
    ChildProcess& Simulator() { return *sim_; }
    const std::vector<int>& Messages() const { return notifier_.messages; }

    // Calls Service about once a millisecond until the port is idle or `limit` has passed. True
    // when Service reported a dropped queue.
    bool ServiceUntilIdle(std::chrono::milliseconds limit);

private:
    std::string error_;
    std::unique_ptr<ChildProcess> sim_;
    TempDir host_; // the ports' lock folder and console list: none of the machine's
    MemorySettings settings_;
    SteadyClock clock_;
    MessageLog notifier_;
    std::unique_ptr<PosixSerialPortFactory> ports_;
    std::unique_ptr<CProjectorLink> link_;
    PortEntry* port_ = nullptr;
};

// The block dump (projector-sim --dump-gamma) of a projector that received the gamma write of
// this bank's table (channel: one channel or kAllChannels), entry by entry as the link sends it.
std::string ExpectedGammaDump(int bank, const GammaTable& table, int channel);

} // namespace tonedesk::test
