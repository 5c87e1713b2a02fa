#pragma once

#include "cli/CliCommon.h"

#include <optional>
#include <string>
#include <vector>

namespace tonedesk::cli {

// What --port names: one COM number (the commands work as they always did with one port), a
// list of them ("1,3,5") or every port on which a scan finds a projector ("all").
struct PortChoice {
    std::optional<int> single;
    std::vector<int> list; // in the order given, each once
    bool all = false;
};

// Takes --port from `args`: nothing when it is absent, UsageError for an empty item, a number
// outside 1..kMaxComPorts, a word that is not a number or a port named twice.
std::optional<PortChoice> TakePortChoice(CliArgs& args);

// One port of a multi-port command, ready to be queued on, or why it is not.
struct ChosenPort {
    int comNumber = 0;
    PortEntry* port = nullptr; // null: `failure` says why
    std::string failure;       // "cannot be opened: ...", "no projector answered"
};

// Opens the chosen ports side by side. A list is opened and probed with the name query at
// `baudRate` (all rates in turn when it is 0), every port at once, so that each one is known
// with its projector's name and rate; "all" scans every port of the profile and takes those on
// which a projector answered, at the rate found. The ports come in the order chosen (a scan's
// in port order); one that fails never keeps the others from opening.
std::vector<ChosenPort> OpenChosenPorts(CliContext& context, const PortChoice& choice,
                                        int baudRate);

// "COM3 / DEMO-100" for an open port with a known projector, "COM3" otherwise.
std::string DescribeChosenPort(const ChosenPort& chosen);

} // namespace tonedesk::cli
