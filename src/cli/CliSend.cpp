#include "cli/CliCommands.h"
#include "cli/CliPortList.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>

namespace tonedesk::cli {

namespace {

// The link traces every answer line it handles as "Recv:<line>\n".
constexpr std::string_view kAnswerTrace = "Recv:";
// The name query, answered with the projector's name.
constexpr std::string_view kNameQuery = "TNAM   1\r";

AnswerKind KindFromName(const std::string& name) {
    static constexpr struct {
        std::string_view name;
        AnswerKind kind;
    } kKinds[] = {{"plain", AnswerKind::Plain},
                  {"value", AnswerKind::Value},
                  {"text", AnswerKind::Text},
                  {"transfer", AnswerKind::Transfer}};
    for (const auto& k : kKinds) {
        if (k.name == name) {
            return k.kind;
        }
    }
    throw UsageError("--kind is plain, value, text or transfer, not '" + name + "'");
}

// Queues the commands on the port, services the link until the port is idle and prints every
// answer line after `prefix`; false when a queue was dropped or a command failed (named on
// stderr after `prefix`).
bool SendOnPort(CliContext& context, PortEntry& port, const std::vector<std::string>& words,
                const std::vector<std::string>& commands, const std::vector<AnswerKind>& kinds,
                const std::string& prefix) {
    CProjectorLink& link = context.Link();
    link.SetTraceSink([&](const std::string& text) {
        if (!text.starts_with(kAnswerTrace)) {
            return;
        }
        std::string line = text.substr(kAnswerTrace.size());
        if (!line.empty() && line.back() == '\n') {
            line.pop_back();
        }
        PrintOut("%s%s\n", prefix.c_str(), line.c_str());
    });
    std::vector<CommandId> ids;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        ids.push_back(link.QueueCommand(commands[i].data(),
                                        static_cast<std::int32_t>(commands[i].size()), kinds[i],
                                        kinds[i] == AnswerKind::Transfer, &port));
    }
    const bool dropped = context.ServiceUntilIdle(&port);
    link.SetTraceSink({});

    bool failed = false;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const auto outcome = link.Outcome(ids[i]);
        if (!outcome) {
            std::fprintf(stderr, "tonedesk-cli: %sthe outcome of %s is not known\n", prefix.c_str(),
                         words[i].c_str());
            failed = true;
            continue;
        }
        // Queries, texts and the name query are answered with data; other commands with OK.
        const bool answerExpected = outcome->kind == AnswerKind::Value ||
                                    outcome->kind == AnswerKind::Text || commands[i] == kNameQuery;
        if (outcome->end == CommandEnd::Rejected) {
            std::fprintf(stderr, "tonedesk-cli: %s%s was rejected\n", prefix.c_str(),
                         words[i].c_str());
            failed = true;
        } else if (outcome->end == CommandEnd::Answered && !answerExpected) {
            std::fprintf(stderr, "tonedesk-cli: %s%s was answered \"%s\" instead of OK\n",
                         prefix.c_str(), words[i].c_str(), outcome->answer.c_str());
            failed = true;
        }
    }
    return !dropped && !failed;
}

} // namespace

// tonedesk-cli send --port N [--baud B] [--kind K] CMD...: queues each command on COM N,
// services the link until the port is idle and prints every answer line. Without --kind a
// command whose parameter is "????" is a Value query, any other a Plain command; "transfer"
// commands carry the pause flag, as gamma blocks do. Fails when a queue was dropped, when a
// command was rejected ("ERR" RETRY times) or when a command was answered neither "OK" nor, for
// a query, a text command or the name query, with its value, text or name.
int RunSend(CliArgs& args, CliContext& context) {
    const auto choice = TakePortChoice(args);
    const auto baud = args.TakeInt("--baud", 1, 115200);
    const auto kindName = args.TakeOption("--kind");
    const auto words = args.Positionals();
    if (!choice) {
        throw UsageError("send needs --port");
    }
    if (choice->all && baud) {
        throw UsageError("--port all sends at the rates the scan finds: leave out --baud");
    }
    if (baud && std::find(kBaudRates.begin(), kBaudRates.end(), *baud) == kBaudRates.end()) {
        throw UsageError("--baud is 9600, 38400 or 115200");
    }
    if (words.empty()) {
        throw UsageError("send needs at least one command");
    }
    // The link keeps the outcome of its last kOutcomesKept commands only: the outcome of an
    // earlier command of a longer list could not be told.
    if (words.size() > kOutcomesKept) {
        throw UsageError("send takes at most " + std::to_string(kOutcomesKept) + " commands");
    }
    std::vector<std::string> commands;
    for (const auto& w : words) {
        commands.push_back(CommandFromWord(w));
    }
    // Checked before the port is opened; used only when --kind was given.
    const AnswerKind forcedKind = kindName ? KindFromName(*kindName) : AnswerKind::Plain;
    std::vector<AnswerKind> kinds;
    for (const auto& command : commands) {
        const bool isQuery = std::string_view(command).substr(4, 4) == "????";
        kinds.push_back(kindName ? forcedKind : (isQuery ? AnswerKind::Value : AnswerKind::Plain));
    }

    if (choice->single) {
        PortEntry* port = context.OpenPort(*choice->single, baud.value_or(0));
        if (!port) {
            return kExitFailed;
        }
        return SendOnPort(context, *port, words, commands, kinds, "") ? kExitOk : kExitFailed;
    }
    // Port by port: the answers of one port stay together, each line prefixed by its port.
    bool failed = false;
    for (const ChosenPort& chosen : OpenChosenPorts(context, *choice, baud.value_or(0))) {
        const std::string prefix = "COM" + std::to_string(chosen.comNumber) + ": ";
        if (!chosen.port) {
            std::fprintf(stderr, "tonedesk-cli: %s%s\n", prefix.c_str(), chosen.failure.c_str());
            failed = true;
        } else if (!SendOnPort(context, *chosen.port, words, commands, kinds, prefix)) {
            failed = true;
        }
    }
    return failed ? kExitFailed : kExitOk;
}

} // namespace tonedesk::cli
