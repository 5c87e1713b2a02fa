#include "ProgramVersion.h"
#include "app/Program.h"

#include <QApplication>

#include <cstdio>
#include <string_view>

int main(int argc, char* argv[]) {
    // Answered before the application exists: it needs no display.
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--version") {
            std::printf("tonedesk %s\n", tonedesk::kProgramVersion);
            return 0;
        }
    }
    QApplication app(argc, argv);
    return tonedesk::RunProgram();
}
