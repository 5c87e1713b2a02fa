#pragma once

#include "app/AdjustApp.h"
#include "app/AppServices.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tonedesk {

class CStartSequence;

// The program on the services it is given: the application, with the gamma editor saving
// through its own save dialog, and the start-to-exit sequence, which takes over at the first
// idle moment, runs the gamma editor through the application between the connection and the
// drain, and closes the frame at its end (which ends the event loop). main.cpp hands down the
// production services; whole-program tests hand down their own.
class CProgram {
public:
    // The services must outlive the program.
    explicit CProgram(const AppServices& services);
    ~CProgram();
    CProgram(const CProgram&) = delete;
    CProgram& operator=(const CProgram&) = delete;

    // Start-up and wiring. Nothing when the program goes on in the event loop; else the exit
    // status with which it ends at once (another copy runs: 0; a resource bundle or a profile
    // that cannot be used: 1).
    std::optional<int> Start();

    CAdjustApp& App() { return adjust_; }

private:
    AppServices services_;
    CAdjustApp adjust_;
    std::unique_ptr<CStartSequence> sequence_;
};

// Runs the program in the application's event loop on the production services, built once here
// and handed down: the user's profile, the steady clock, the machine's serial ports, message
// boxes and file dialogs. Its exit status. `started` is told of the program once it runs (a
// driver that plays the user listens there). Needs the QApplication.
// `logFile` is the command line's --log FILE (empty: the profile's ENV/LOGFILE).
int RunProgram(const std::function<void(CProgram&)>& started = {}, const std::string& logFile = {});

} // namespace tonedesk
