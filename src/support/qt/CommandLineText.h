#pragma once

// Helpers for the programs' command lines on QCommandLineParser, usable before (or without) an
// application object, so that --help, --version and bad options need no display.

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <string>

namespace tonedesk {

// The arguments of main as QCoreApplication reads them (the local 8-bit encoding).
QStringList ArgumentList(int argc, char** argv);

// The parser's help text with its first line replaced by "Usage: " and `usage` (without an
// application object Qt cannot name the program there).
std::string HelpText(const QCommandLineParser& parser, const QString& usage);

// The parser's complaint about the last parse as one line that starts in lower case, to follow
// "PROGRAM: " ("unknown option --colour", "missing value after '--port'").
std::string ParseErrorText(const QCommandLineParser& parser);

} // namespace tonedesk
