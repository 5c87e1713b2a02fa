#include "gamma/GammaFile.h"

#include "gamma/GammaTable.h"
#include "support/FileRead.h"
#include "support/FileReplace.h"
#include "support/Notifier.h"
#include "support/TextScan.h"

#include <cstdio>
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

GammaFileResult ReadGammaFile(const std::string& path, GammaFileTable& table, Notifier& notifier,
                              GammaReadBase base) {
    std::string text;
    if (const int error = ReadWholeFile(path, text); error != 0) {
        notifier.FileError(path, FileReadReason(error));
        return GammaFileResult::Failed;
    }
    ParseGammaFile(std::move(text), table, base);
    return GammaFileResult::Done;
}

void ParseGammaFile(std::string text, GammaFileTable& table, GammaReadBase base) {
    GammaFileTable read = base == GammaReadBase::Current ? table : GammaFileTable{};
    char* line = text.data();
    for (int i = 0; i < 256; ++i) {
        const char* lineEnd = nullptr;
        char* next = const_cast<char*>(NextLine(line, &lineEnd));
        // Numbers never run on into the next line: the line ends here for the parser.
        *const_cast<char*>(lineEnd) = '\0';
        const char* p = line;
        for (int column = 0; column < 3; ++column) {
            const char* end = nullptr;
            read.At(column, i) = static_cast<std::uint32_t>(ParseNumber(SkipBlanks(p), &end));
            if (*end != ',') {
                break;
            }
            p = end + 1;
        }
        line = next;
    }
    table = read;
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
