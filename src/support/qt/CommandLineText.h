#pragma once

// Helpers for the programs' command lines on QCommandLineParser, usable before (or without) an
// application object, so that --help, --version and bad options need no display.

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <string>

namespace tonedesk {

// The arguments of main for the parser: one character per byte, so that a word that is no
// valid text (a file name in another encoding) comes back unchanged through ArgumentText. The
// options' names are ASCII, which reads the same either way.
QStringList ArgumentList(int argc, char** argv);

// The bytes of a word of ArgumentList, or of a part of one (an option's value).
std::string ArgumentText(const QString& word);

// The parser's help text with its first line replaced by "Usage: " and `usage` (without an
// application object Qt cannot name the program there).
std::string HelpText(const QCommandLineParser& parser, const QString& usage);

// The parser's complaint about the last parse as one line that starts in lower case, to follow
// "PROGRAM: " ("unknown option --colour", "missing value after '--port'").
std::string ParseErrorText(const QCommandLineParser& parser);

} // namespace tonedesk
