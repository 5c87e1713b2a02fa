#include "ProgramVersion.h"
#include "app/Program.h"
#include "support/qt/CommandLineText.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <optional>
#include <string>

namespace {

// Qt's own options, which the application takes out of the command line: known here, so that
// they are no bad options, and hidden from the help. The first ones take a value.
constexpr const char* kQtOptionsWithValue[] = {"platform",
                                               "platformpluginpath",
                                               "platformtheme",
                                               "plugin",
                                               "qwindowgeometry",
                                               "qwindowicon",
                                               "qwindowtitle",
                                               "session",
                                               "display",
                                               "geometry",
                                               "title",
                                               "icon",
                                               "name",
                                               "style",
                                               "stylesheet",
                                               "qmljsdebugger"};
constexpr const char* kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "testability"};

struct ProgramCommandLine {
    std::optional<int> exitStatus; // set: the program ends at once with it
    std::string logFile;
};

// Reads the command line before the application exists, so that --help, --version and a bad
// option need no display.
ProgramCommandLine ReadCommandLine(int argc, char** argv) {
    QCommandLineParser parser;
    // Qt's options are single words after one dash ("-platform offscreen").
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral(
        "The service tool for video projectors on RS-232 lines: it looks for projectors on the\n"
        "serial ports, connects to the one chosen and opens its gamma editor and control panel.\n"
        "It also takes Qt's own options, such as -platform NAME and -style NAME."));
    const QCommandLineOption log(
        QStringLiteral("log"),
        QStringLiteral("append every exchange with the projectors to FILE (in place of the "
                       "profile's ENV/LOGFILE)"),
        QStringLiteral("FILE"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("show this text"));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("print the program's name and version"));
    parser.addOptions({log, help, version});
    for (const char* name : kQtOptionsWithValue) {
        QCommandLineOption option(QLatin1String(name), {}, QStringLiteral("VALUE"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char* name : kQtFlags) {
        QCommandLineOption option(QLatin1String(name), {});
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    ProgramCommandLine result;
    const bool parsed = parser.parse(tonedesk::ArgumentList(argc, argv));
    if (!parsed || !parser.positionalArguments().isEmpty()) {
        const std::string error =
            parsed ? "unexpected argument '" +
                         tonedesk::ArgumentText(parser.positionalArguments()[0]) + "'"
                   : tonedesk::ParseErrorText(parser);
        std::fprintf(stderr, "tonedesk: %s\nTry 'tonedesk --help'.\n", error.c_str());
        result.exitStatus = 2;
    } else if (parser.isSet(help)) {
        std::fputs(tonedesk::HelpText(parser, QStringLiteral("tonedesk [OPTION]...")).c_str(),
                   stdout);
        result.exitStatus = 0;
    } else if (parser.isSet(version)) {
        std::printf("tonedesk %s\n", tonedesk::kProgramVersion);
        result.exitStatus = 0;
    } else if (parser.values(log).size() > 1) {
        std::fprintf(stderr, "tonedesk: --log is given twice\nTry 'tonedesk --help'.\n");
        result.exitStatus = 2;
    } else {
        result.logFile = tonedesk::ArgumentText(parser.value(log));
    }
    return result;
}

} // namespace

int main(int argc, char* argv[]) {
    const ProgramCommandLine commandLine = ReadCommandLine(argc, argv);
    if (commandLine.exitStatus) {
        return *commandLine.exitStatus;
    }
    QApplication app(argc, argv);
    return tonedesk::RunProgram({}, commandLine.logFile);
}
