// The program as main.cpp builds it (RunProgram: the production services) with a scripted user
// who leads it to a resting point and leaves it there, so that what the resting program costs
// can be read from outside (scripts/perf-figures.sh reads /proc/PID/stat and VmRSS).
//
//   idle_session connect N   rests in the connection dialog once N projectors are listed and
//                            the scan has ended
//   idle_session gamma N     once N projectors are listed, picks the first one and rests in
//                            the gamma editor
//   idle_session write N     as gamma, but first writes the bank with the editor's write
//                            button and prints "wrote MS" with the time from the click to the
//                            link's handling of the last answer
//
// Prints "ready" on stdout once the user has stopped; runs until it is ended (SIGTERM).
// The profile is the user's ($XDG_CONFIG_HOME), as for the program.

#include "app/ConnectDialog.h"
#include "app/MainFrame.h"
#include "app/Program.h"
#include "ui/gamma/GammaDialog.h"
#include "ui/widgets/ResourceBundle.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string_view>

int main(int argc, char* argv[]) {
    const std::string_view mode = argc == 3 ? argv[1] : "";
    if (mode != "connect" && mode != "gamma" && mode != "write") {
        std::fprintf(stderr, "usage: idle_session connect|gamma|write PROJECTORS\n");
        return 2;
    }
    const bool inGamma = mode != "connect";
    bool mustWrite = mode == "write";
    using SteadyTime = std::chrono::steady_clock::time_point;
    SteadyTime clicked;
    SteadyTime lastAnswer;
    const int projectors = std::atoi(argv[2]);

    QApplication app(argc, argv);
    QTimer user;
    return tonedesk::RunProgram([&](tonedesk::CProgram& program) {
        const auto rest = [&user] {
            user.stop();
            std::printf("ready\n");
            std::fflush(stdout);
        };
        QObject::connect(&user, &QTimer::timeout, [&, rest] {
            tonedesk::CProjectorLink& link = program.App().Frame()->Link();
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* connect = qobject_cast<tonedesk::CConnectDialog*>(modal)) {
                auto* list = connect->findChild<QComboBox*>(
                    tonedesk::ControlName(tonedesk::kConnectProjectorList));
                if (!list || list->count() < projectors) {
                    return;
                }
                if (!inGamma) {
                    if (!link.Scanning()) {
                        rest();
                    }
                    return;
                }
                list->setCurrentIndex(0);
                connect->findChild<QAbstractButton*>(tonedesk::ControlName(1))->click();
            } else if (auto* editor = qobject_cast<tonedesk::CGammaDialog*>(modal);
                       editor && editor->isEnabled() && !link.IsBusy()) {
                if (clicked != SteadyTime{}) {
                    std::printf(
                        "wrote %.1f\n",
                        std::chrono::duration<double, std::milli>(lastAnswer - clicked).count());
                }
                if (!mustWrite) {
                    rest();
                    return;
                }
                mustWrite = false;
                // The link's trace names every answer line it handles.
                link.SetTraceSink([&lastAnswer](const std::string& text) {
                    if (text.starts_with("Recv:")) {
                        lastAnswer = std::chrono::steady_clock::now();
                    }
                });
                auto* write =
                    qobject_cast<QAbstractButton*>(editor->Control(tonedesk::kGammaWriteAll));
                clicked = std::chrono::steady_clock::now();
                write->click();
            }
        });
        user.start(20);
    });
}
