#include "gamma/GammaFile.h"

#include "gamma/GammaTable.h"
#include "support/FileRead.h"
#include "support/FileReplace.h"
#include "support/Notifier.h"
#include "support/TextScan.h"

#include <cctype>
#include <cstdio>
#include <string_view>
#include <utility>

namespace tonedesk {

GammaFileTable GammaFileTable::Identity() {
    GammaFileTable t;
    for (int c = 0; c < 3; ++c) {
        for (int i = 0; i < 256; ++i) {
            t.At(c, i) = static_cast<std::uint32_t>(4 * i);
        }
    }
    return t;
}

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// A line's text as the user is shown it: control characters as '?', at most 80 characters.
std::string Shown(std::string_view line) {
    constexpr std::size_t kLongest = 80;
    std::string shown(line.substr(0, kLongest));
    for (char& c : shown) {
        const auto u = static_cast<unsigned char>(c);
        c = u < 0x20 || u == 0x7F ? '?' : c;
    }
    return line.size() > kLongest ? shown + "..." : shown;
}

// Reads the three colour values of one line (NUL-terminated) into line `i` of `table`. Whether
// the line read completely; `anyNumber` tells whether any value had digits.
bool ReadLine(const char* p, int i, GammaFileTable& table, bool& anyNumber) {
    bool complete = true;
    anyNumber = false;
    for (int column = 0; column < 3; ++column) {
        const char* start = SkipBlanks(p);
        const char* end = nullptr;
        table.At(column, i) = static_cast<std::uint32_t>(ParseNumber(start, &end));
        const bool digits = ParsedDigits(start, end);
        anyNumber = anyNumber || digits;
        complete = complete && digits;
        const char* after = SkipBlanks(end);
        // The fourth column, the input position, is not read.
        if (*after != ',') {
            return complete && column == 2 && *after == '\0';
        }
        p = after + 1;
    }
    return complete;
}

} // namespace

GammaReadResult ReadGammaFile(const std::string& path, GammaFileTable& table, Notifier& notifier,
                              GammaReadBase base, GammaTextReport* report) {
    std::string text;
    if (const int error = ReadWholeFile(path, text); error != 0) {
        notifier.FileError(path, FileReadReason(error));
        return GammaReadResult::Unreadable;
    }
    GammaFileTable read = table;
    GammaTextReport seen = ParseGammaFile(std::move(text), read, base);
    const bool gammaFile = seen.IsGammaFile();
    if (!gammaFile) {
        // Taken as it is, such a file would blank the projector's curves.
        notifier.FileError(path, seen.binary
                                     ? "not a gamma file: it holds binary data or text "
                                       "that is not ASCII"
                                     : "not a gamma file: none of its lines holds a number");
    } else {
        table = read;
    }
    if (report) {
        *report = std::move(seen);
    }
    return gammaFile ? GammaReadResult::Read : GammaReadResult::NotAGammaFile;
}

GammaTextReport ParseGammaFile(std::string text, GammaFileTable& table, GammaReadBase base) {
    GammaTextReport report;
    GammaFileTable read = base == GammaReadBase::Current ? table : GammaFileTable{};
    const std::size_t first = text.starts_with(kUtf8Mark) ? kUtf8Mark.size() : 0;
    // The text ends at a NUL or the end mark; text after a NUL is binary data or UTF-16.
    const std::size_t textEnd = text.find_first_of(std::string_view("\0\x1a", 2), first);
    report.binary =
        textEnd != std::string::npos && text[textEnd] == '\0' &&
        text.find_first_not_of(std::string_view("\0\x1a", 2), textEnd) != std::string::npos;
    char* line = text.data() + first;
    for (int i = 0; i < 256; ++i) {
        const bool pastTheEnd = *line == '\0' || *line == '\x1a';
        const char* lineEnd = nullptr;
        char* next = const_cast<char*>(NextLine(line, &lineEnd));
        // CR CR LF, left by a second conversion of LF to CR LF, ends one line.
        if (lineEnd[0] == '\r' && lineEnd[1] == '\r' && lineEnd[2] == '\n') {
            next = const_cast<char*>(lineEnd) + 3;
        }
        const std::string_view lineText(line, static_cast<std::size_t>(lineEnd - line));
        // Numbers never run on into the next line: the line ends here for the parser.
        *const_cast<char*>(lineEnd) = '\0';
        bool anyNumber = false;
        const bool complete = ReadLine(line, i, read, anyNumber);
        if (!pastTheEnd) {
            report.lines = i + 1;
            report.dataLines += anyNumber ? 1 : 0;
            if (!complete) {
                report.incomplete.push_back({i + 1, Shown(lineText)});
            }
        }
        line = next;
    }
    for (const char* rest = line; *rest != '\0' && *rest != '\x1a'; ++rest) {
        report.moreLines = report.moreLines || std::isspace(static_cast<unsigned char>(*rest)) == 0;
    }
    table = read;
    return report;
}

std::vector<std::string> DescribeGammaTextIssues(const GammaTextReport& report) {
    std::vector<std::string> texts;
    for (const GammaLineIssue& issue : report.incomplete) {
        texts.push_back("line " + std::to_string(issue.line) + " did not read completely: '" +
                        issue.text + "'");
    }
    if (report.lines < 256) {
        texts.push_back("the file ends after line " + std::to_string(report.lines) + ": lines " +
                        std::to_string(report.lines + 1) + " to 256 are missing");
    }
    if (report.moreLines) {
        texts.push_back("the file goes on after line 256: the rest is not read");
    }
    return texts;
}

std::string FormatGammaFile(const GammaTable& table, bool fourColumns) {
    std::array<std::array<std::uint32_t, 256>, kChannelCount> marks{};
    for (int c = 0; c < kChannelCount; ++c) {
        const ControlPointList& list = table.points[c];
        for (int k = 0; k < list.count; ++k) {
            const int line = list.points[k].x / 4;
            if (line >= 0 && line < 256) {
                marks[c][line] = kControlPointMark;
            }
        }
    }
    std::string text;
    text.reserve(256 * kFourColumnLineLength);
    char buffer[64];
    for (int i = 0; i < 256; ++i) {
        const auto value = [&](int c) {
            return static_cast<unsigned>(table.levels[c][i] + marks[c][i]);
        };
        const int n = fourColumns ? std::snprintf(buffer, sizeof buffer, "%08u,%08u,%08u,%08d\r\n",
                                                  value(0), value(1), value(2), 4 * i)
                                  : std::snprintf(buffer, sizeof buffer, "%08u,%08u,%08u\r\n",
                                                  value(0), value(1), value(2));
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

GammaFileResult WriteGammaFile(const std::string& path, const GammaTable& table, bool fourColumns,
                               Notifier& notifier) {
    return WriteTextFile(path, FormatGammaFile(table, fourColumns), notifier) == 0
               ? GammaFileResult::Done
               : GammaFileResult::Failed;
}

} // namespace tonedesk
