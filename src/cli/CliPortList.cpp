#include "cli/CliPortList.h"

#include <algorithm>
#include <cstdio>

namespace tonedesk::cli {

namespace {

int ParsePortNumber(std::string_view item, const std::string& text) {
    const std::optional<int> value = DecimalInRange(item, 1, kMaxComPorts);
    if (!value) {
        throw UsageError("--port needs a number from 1 to " + std::to_string(kMaxComPorts) +
                         ", a list of them (1,3,5) or all, not '" + text + "'");
    }
    return *value;
}

} // namespace

std::optional<PortChoice> TakePortChoice(CliArgs& args) {
    const auto text = args.TakeOption("--port");
    if (!text) {
        return std::nullopt;
    }
    PortChoice choice;
    if (*text == "all") {
        choice.all = true;
        return choice;
    }
    if (text->find(',') == std::string::npos) {
        choice.single = ParsePortNumber(*text, *text);
        return choice;
    }
    std::string_view rest = *text;
    while (true) {
        const std::size_t comma = rest.find(',');
        const int number = ParsePortNumber(rest.substr(0, comma), *text);
        if (std::find(choice.list.begin(), choice.list.end(), number) != choice.list.end()) {
            throw UsageError("--port names COM" + std::to_string(number) + " twice");
        }
        choice.list.push_back(number);
        if (comma == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(comma + 1);
    }
    return choice;
}

std::vector<ChosenPort> OpenChosenPorts(CliContext& context, const PortChoice& choice,
                                        int baudRate) {
    CProjectorLink& link = context.Link();
    std::vector<ChosenPort> chosen;
    if (choice.all) {
        context.Ports().ForgetHeld();
        link.ScanPorts();
        context.ServiceUntilScanEnds();
        for (const PortEntry& port : link.Ports()) {
            if (port.AnsweredProbe()) {
                chosen.push_back({port.ComNumber(), link.Port(port.ComNumber()), {}});
            }
        }
        for (const CliPortFactory::HeldPort& held : context.Ports().Held()) {
            chosen.push_back({held.comNumber, nullptr, "cannot be opened: " + held.reason});
        }
    } else {
        const std::vector<int> numbers =
            choice.single ? std::vector<int>{*choice.single} : choice.list;
        // Every port probes at once: a silent one costs no more time than one.
        const std::vector<std::int32_t> rates =
            baudRate != 0 ? std::vector<std::int32_t>{baudRate}
                          : std::vector<std::int32_t>(kBaudRates.begin(), kBaudRates.end());
        bool probing = false;
        for (const int number : numbers) {
            ChosenPort& entry = chosen.emplace_back(ChosenPort{number, link.UsePort(number), {}});
            if (!entry.port) {
                entry.failure = "cannot be opened: " + context.Ports().LastOpenFailure();
                continue;
            }
            probing = link.StartProbe(*entry.port, rates) || probing;
        }
        if (probing) {
            context.ServiceUntilScanEnds();
        }
        for (ChosenPort& entry : chosen) {
            if (entry.port && !entry.port->AnsweredProbe()) {
                entry.port = nullptr;
                entry.failure = "no projector answered";
            }
        }
    }
    // Out of the probe's hands: each port opens at the rate its projector answered at.
    for (ChosenPort& entry : chosen) {
        if (entry.port && !link.OpenPort(*entry.port)) {
            entry.port = nullptr;
            entry.failure = "cannot be opened: " + context.Ports().LastOpenFailure();
        }
    }
    return chosen;
}

std::string DescribeChosenPort(const ChosenPort& chosen) {
    const std::string com = "COM" + std::to_string(chosen.comNumber);
    if (!chosen.port || chosen.port->projectorName.empty()) {
        return com;
    }
    return com + " / " + chosen.port->projectorName;
}

} // namespace tonedesk::cli
