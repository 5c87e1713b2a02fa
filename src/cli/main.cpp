// tonedesk-cli: the projector link of Tonedesk on the command line.

#include "ProgramVersion.h"
#include "cli/CliCommands.h"
#include "support/qt/CommandLineText.h"

#include <QCommandLineParser>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

using namespace tonedesk::cli;

namespace {

constexpr CliOption kPortOption{
    "port", "N|N,N...|all",
    "COM N (1 to 255), a list of COM numbers, or all: every port where the scan finds a "
    "projector"};
constexpr CliOption kBaudOption{
    "baud", "B", "the rate in bit/s: 9600, 38400 or 115200 (default: probed as the scan does)"};
constexpr CliOption kBankOption{"bank", "0|1", "the gamma bank (default 0)"};

// One line per subcommand; a new subcommand is a file and a line here.
const CliCommand kCommands[] = {
    {"scan", "scan", "list the projectors that answer on the profile's ports", {}, RunScan},
    {"send",
     "send --port N|N,N...|all [--baud B] [--kind plain|value|text|transfer] CMD...",
     "send 8-character commands (CR is added) and print the answers",
     {kPortOption,
      kBaudOption,
      {"kind", "KIND",
       "how every answer is read: plain, value, text or transfer (default: value for a query "
       "CODE????, plain for any other)"}},
     RunSend},
    {"model",
     "model NAME",
     "print the model file read for a projector name, as JSON",
     {},
     RunModel},
    {"lint",
     "lint FILE...",
     "check model files, and the forms of their tabs, for what the program ignores or misreads",
     {},
     RunLint},
    {"levels",
     "levels FILE | levels --formula A,B,C | levels --target NAME[:PARAM]",
     "print the level tables of a file (.gam, .cal, .icc, .icm), a formula or a target\n"
     "      (gamma:G with G in 1..3, srgb, bt1886:B with black level B in 0..0.1, lstar,\n"
     "      pq[:P] with peak P in 100..10000 cd/m2 (default 1000), hlg)",
     {{"formula", "A,B,C", "the tables of the power formula with parameters A, B and C"},
      {"target", "NAME[:PARAM]", "the levels of a standard response"}},
     RunLevels},
    {"write-gamma",
     "write-gamma --port N|N,N...|all [--baud B] [--bank 0|1] [--channel -1|0|1|2] FILE",
     "write a file's tables (.gam, .cal, .icc, .icm) into a bank of the projector; a .cal file\n"
     "      or a profile's calibration curves (vcgt) go in as their exact levels",
     {kPortOption,
      kBaudOption,
      kBankOption,
      {"channel", "-1|0|1|2", "the channel written: 0 red, 1 green, 2 blue, -1 all (default)"}},
     RunWriteGamma},
    {"export",
     "export [--bank 0|1] IN OUT",
     "write the tables of IN (.gam, .cal, .icc, .icm) to OUT as .cal, .icc, .icm or .gam",
     {kBankOption},
     RunExport},
};

// Taken by every command; main reads them.
const CliOption kCommonOptions[] = {
    {"timeout", "SECONDS",
     "the longest the command may work with the projector, 1 to 86400 (default 600)"},
    {"log", "FILE", "append every exchange with the projector to FILE"},
    {"timing", nullptr,
     "print on stderr how long the command worked with the projector (from its first exchange "
     "to its last)"},
};

QCommandLineOption HelpOption(const char* description) {
    return QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                              QString::fromUtf8(description));
}

QCommandLineOption ToQt(const CliOption& option) {
    return QCommandLineOption(QString::fromUtf8(option.name), QString::fromUtf8(option.description),
                              option.valueName ? QString::fromUtf8(option.valueName) : QString());
}

// The help of the program: its options, the commands and what every command shares.
void PrintUsage(std::FILE* out) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("The projector link of Tonedesk on the command line."));
    parser.addOption(HelpOption("show this text; after a command, that command's usage and "
                                "options"));
    parser.addOption({{QStringLiteral("v"), QStringLiteral("version")},
                      QStringLiteral("print the program's name and version")});
    std::string text =
        tonedesk::HelpText(parser, QStringLiteral("tonedesk-cli COMMAND [OPTION]... [WORD]...\n"
                                                  "       tonedesk-cli --help | --version"));
    text += "\nCommands:\n";
    for (const auto& c : kCommands) {
        text += "  " + std::string(c.synopsis) + "\n      " + c.summary + "\n";
    }
    text += "\nEvery command takes --timeout SECONDS: the longest it may work with the\n"
            "projector (default 600), --timing, which prints on stderr how long it worked\n"
            "with the projector (from its first exchange to its last), --log FILE, which\n"
            "appends every exchange with the projector to FILE, and --help, which shows its\n"
            "usage and options.\n"
            "The ports and the link settings come from the profile\n"
            "($XDG_CONFIG_HOME/VANTO/Vanto Tonedesk.conf, sections PORTS and ENV).\n"
            "Exit status: 0 done, 1 the operation failed or its output could not be\n"
            "written, 2 bad usage or input (also a profile that cannot be read),\n"
            "3 (model) the model file repeats an identifier.\n";
    std::fputs(text.c_str(), out);
}

// The parser of one command's options: its own and every command's.
void DeclareOptions(const CliCommand& command, QCommandLineParser& parser) {
    for (const CliOption& option : command.options) {
        parser.addOption(ToQt(option));
    }
    for (const CliOption& option : kCommonOptions) {
        parser.addOption(ToQt(option));
    }
    parser.addOption(HelpOption("show this command's usage and options"));
}

void PrintCommandHelp(const CliCommand& command) {
    QCommandLineParser parser;
    QString summary = QString::fromUtf8(command.summary);
    summary.replace(QStringLiteral("\n      "), QStringLiteral("\n"));
    parser.setApplicationDescription(summary);
    DeclareOptions(command, parser);
    const std::string text = tonedesk::HelpText(parser, QStringLiteral("tonedesk-cli ") +
                                                            QLatin1String(command.synopsis));
    std::fputs(text.c_str(), stdout);
}

// The command's words (after its name) as its parser reads them; UsageError for an unknown
// option or a missing value. Nothing when they ask for the command's help.
std::optional<CliArgs> ParseCommand(const CliCommand& command, const QStringList& words) {
    QCommandLineParser parser;
    DeclareOptions(command, parser);
    if (!parser.parse(QStringList{QLatin1String(command.name)} + words)) {
        throw UsageError(tonedesk::ParseErrorText(parser));
    }
    if (parser.isSet(QStringLiteral("help"))) {
        return std::nullopt;
    }
    const QStringList given = parser.optionNames();
    std::map<std::string, CliArgs::Given, std::less<>> options;
    auto add = [&](const CliOption& option) {
        const QString name = QString::fromUtf8(option.name);
        CliArgs::Given& entry = options["--" + std::string(option.name)];
        entry.count = static_cast<int>(given.count(name));
        for (const QString& value : parser.values(name)) {
            entry.values.push_back(tonedesk::ArgumentText(value));
        }
    };
    std::for_each(command.options.begin(), command.options.end(), add);
    std::for_each(std::begin(kCommonOptions), std::end(kCommonOptions), add);
    std::vector<std::string> positionals;
    for (const QString& word : parser.positionalArguments()) {
        positionals.push_back(tonedesk::ArgumentText(word));
    }
    return CliArgs(std::move(options), std::move(positionals));
}

// Flushes and closes stdout: output that could not be written (a full disk, a closed pipe)
// fails the command instead of being lost in silence.
int FinishOutput(int status) {
    const bool failedBefore = std::ferror(stdout) != 0;
    errno = 0;
    const bool failedNow = std::fclose(stdout) != 0;
    const int closeError = failedNow ? errno : 0;
    if (!failedBefore && !failedNow && OutputError() == 0) {
        return status;
    }
    const int error = OutputError() != 0 ? OutputError() : closeError != 0 ? closeError : EIO;
    std::fprintf(stderr, "tonedesk-cli: cannot write the output: %s\n", std::strerror(error));
    return status == kExitOk ? kExitFailed : status;
}

const CliCommand* FindCommand(std::string_view name) {
    const auto it = std::find_if(std::begin(kCommands), std::end(kCommands),
                                 [&](const CliCommand& c) { return name == c.name; });
    return it == std::end(kCommands) ? nullptr : &*it;
}

// The words before a command: --help, --version, or "help [COMMAND]".
int RunWithoutCommand(const QStringList& arguments) {
    if (arguments.size() >= 2 && arguments[1] == QLatin1String("help")) {
        const CliCommand* command =
            arguments.size() == 3 ? FindCommand(tonedesk::ArgumentText(arguments[2])) : nullptr;
        if (arguments.size() == 2 || command) {
            command ? PrintCommandHelp(*command) : PrintUsage(stdout);
            return kExitOk;
        }
        if (arguments.size() == 3) {
            std::fprintf(stderr, "tonedesk-cli: unknown command '%s'\n",
                         tonedesk::ArgumentText(arguments[2]).c_str());
        }
    } else if (arguments.size() >= 2 && arguments[1].startsWith(u'-')) {
        QCommandLineParser parser;
        const QCommandLineOption help = HelpOption("");
        const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, {});
        parser.addOptions({help, version});
        if (!parser.parse(arguments)) {
            std::fprintf(stderr, "tonedesk-cli: %s\n", tonedesk::ParseErrorText(parser).c_str());
            PrintUsage(stderr);
            return kExitUsage;
        }
        if (parser.isSet(version) && arguments.size() == 2) {
            std::printf("tonedesk-cli %s\n", tonedesk::kProgramVersion);
            return kExitOk;
        }
        if (parser.isSet(help) && arguments.size() == 2) {
            PrintUsage(stdout);
            return kExitOk;
        }
    } else if (arguments.size() >= 2) {
        std::fprintf(stderr, "tonedesk-cli: unknown command '%s'\n",
                     tonedesk::ArgumentText(arguments[1]).c_str());
    }
    PrintUsage(stderr);
    return kExitUsage;
}

int RunCommand(const CliCommand& command, const QStringList& words) {
    try {
        std::optional<CliArgs> args = ParseCommand(command, words);
        if (!args) {
            PrintCommandHelp(command);
            return kExitOk;
        }
        CliContext context;
        if (const auto limit = args->TakeInt("--timeout", 1, 86400)) {
            context.SetTimeLimit(std::chrono::seconds(*limit));
        }
        if (const auto logFile = args->TakeOption("--log")) {
            context.SetLogFile(*logFile);
        }
        const bool timing = args->TakeFlag("--timing");
        const int status = command.run(*args, context);
        if (const auto worked = context.LinkWorkTime(); timing && worked) {
            std::fprintf(stderr, "tonedesk-cli %s: worked with the projector for %.1f ms\n",
                         command.name, std::chrono::duration<double, std::milli>(*worked).count());
        }
        return status;
    } catch (const InputError& e) {
        std::fprintf(stderr, "tonedesk-cli %s: %s\n", command.name, e.what());
        return kExitUsage;
    } catch (const UsageError& e) {
        std::fprintf(stderr,
                     "tonedesk-cli %s: %s\nUsage: tonedesk-cli %s\n"
                     "Try 'tonedesk-cli %s --help'.\n",
                     command.name, e.what(), command.synopsis, command.name);
        return kExitUsage;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tonedesk-cli %s: %s\n", command.name, e.what());
        return kExitFailed;
    }
}

int Run(int argc, char** argv) {
    const QStringList arguments = tonedesk::ArgumentList(argc, argv);
    const CliCommand* command = argc >= 2 ? FindCommand(argv[1]) : nullptr;
    if (!command) {
        return RunWithoutCommand(arguments);
    }
    return RunCommand(*command, arguments.mid(2));
}

} // namespace

int main(int argc, char** argv) {
    return FinishOutput(Run(argc, argv));
}
