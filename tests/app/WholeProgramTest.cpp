#include "common/GuiTestKit.h"
#include "common/SimulatorLink.h"

#include "ProjectorSimulator.h"
#include "app/ConnectDialog.h"
#include "app/MainFrame.h"
#include "app/Program.h"
#include "common/ChildProcess.h"
#include "gamma/GammaFile.h"
#include "gamma/GammaGraph.h"
#include "gamma/GammaTransfer.h"
#include "link/PosixSerialPort.h"
#include "link/ProjectorLink.h"
#include "support/Clock.h"
#include "support/qt/QtSettingsStore.h"
#include "ui/gamma/GammaDialog.h"
#include "ui/panel/ControlSheet.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

namespace tonedesk::test {
namespace {

using namespace std::chrono_literals;

constexpr int kDemoCom = 4;
constexpr int kOtherCom = 2;

// A projector-sim for this test, logging every command and answer to a file.
struct Simulator {
    Simulator(const std::string& name, const std::filesystem::path& log,
              const std::filesystem::path& dump, const std::vector<std::string>& options = {})
        : process(Arguments(name, dump, options), {}, log.string()),
          terminal(process.ReadLine(10s).value_or("")) {}

    static std::vector<std::string> Arguments(const std::string& name,
                                              const std::filesystem::path& dump,
                                              const std::vector<std::string>& options) {
        std::vector<std::string> arguments{ProgramDir().toStdString() + "/projector-sim",
                                           "--stdin-exit",
                                           "--verbose",
                                           "--name",
                                           name,
                                           "--dump-gamma",
                                           dump.string()};
        arguments.insert(arguments.end(), options.begin(), options.end());
        return arguments;
    }

    ChildProcess process;
    std::string terminal;
};

// The values of the DEMO-100's save lists.
const std::vector<std::string> kDemoValues{
    "--value", "BRIT=50", "--value", "CONT=50", "--value", "SHRP=8", "--value", "COLT=6500",
    "--value", "PMOD=0",  "--value", "GAMA=0",  "--value", "INPT=0", "--value", "VOLM=20",
    "--value", "MUTE=0",  "--value", "PATT=0",  "--value", "FOCN=0", "--value", "KEYS=0"};

// The program in this process on its real services (the profile on QSettings, the POSIX serial
// ports, the steady clock), with two simulated projectors as its only ports: DEMO-100, whose
// model file lies beside the test programs, and a projector without a model file. The test
// acts as the user in the program's windows.
class WholeProgramTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        demo = std::make_unique<Simulator>("DEMO-100", temp.Path() / "demo.log", demoDump,
                                           kDemoValues);
        other = std::make_unique<Simulator>("OTHER-7", temp.Path() / "other.log", otherDump);
        ASSERT_FALSE(demo->terminal.empty()) << "projector-sim did not start";
        ASSERT_FALSE(other->terminal.empty()) << "projector-sim did not start";
        std::filesystem::create_directories(profile.parent_path());
        std::ofstream(profile) << "[PORTS]\nSYSTEM=0\nCOM" << kDemoCom << "=" << demo->terminal
                               << "\nCOM" << kOtherCom << "=" << other->terminal << "\n";
        QApplication::setQuitOnLastWindowClosed(false);
    }
    void TearDown() override {
        QApplication::setQuitOnLastWindowClosed(true);
        std::filesystem::remove_all(profile.parent_path());
        GuiTest::TearDown();
    }

    // What the projector stores after receiving bank 0 of the model's first gamma file, loaded
    // as the gamma editor loads it.
    std::string ExpectedDump() {
        const std::string model = ProgramDir().toStdString() + "/DEMO-100.ini";
        std::ifstream in(model);
        std::string line;
        std::string gammaFile;
        while (std::getline(in, line)) {
            if (line.rfind("GAMMAFILE1=", 0) == 0) {
                gammaFile = line.substr(11);
                while (!gammaFile.empty() && gammaFile.back() == '\r') {
                    gammaFile.pop_back();
                }
            }
        }
        EXPECT_FALSE(gammaFile.empty()) << model << " names no GAMMAFILE1";
        GammaFileTable file;
        RecordingNotifier quiet;
        EXPECT_EQ(ReadGammaFile(ProgramDir().toStdString() + "/" + gammaFile, file, quiet),
                  GammaReadResult::Read);
        MemorySettings none;
        CGammaGraph graph(none);
        graph.OpenTable(file);
        graph.RecomputeLevels();
        EXPECT_EQ(GammaTransferEntries(0, graph.Active(), kAllChannels).size(), 12u);
        return ExpectedGammaDump(0, graph.Active(), kAllChannels);
    }
    // The program's own services on the profile the fixture wrote, with recording message boxes
    // and prompts.
    struct ProgramServices {
        explicit ProgramServices(const std::filesystem::path& lockFolder) {
            host.port.lockFolder = lockFolder.string();
        }
        AppServices App() { return {settings, clock, ports, notifier, prompts}; }

        QtSettingsStore settings;
        SteadyClock clock;
        PosixPortHost host;
        PosixSerialPortFactory ports{settings, host};
        RecordingNotifier notifier;
        RecordingPrompts prompts;
    };

    // Runs the program's event loop with `user` acting every 10 ms, for at most a minute: on
    // time-out the open modal window is closed and the loop ends with 2 (timedOut set).
    static int RunEventLoop(QTimer& user, bool& timedOut) {
        user.start(10);
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, [&] {
            timedOut = true;
            if (QWidget* modal = QApplication::activeModalWidget()) {
                modal->close();
            }
            QCoreApplication::exit(2);
        });
        limit.start(60s);
        return QApplication::exec();
    }
    // The commands a simulator received, in order.
    static std::vector<std::string> Received(const std::filesystem::path& log) {
        std::ifstream in(log);
        std::vector<std::string> commands;
        const std::string mark = "projector-sim: << ";
        for (std::string line; std::getline(in, line);) {
            if (line.starts_with(mark)) {
                commands.push_back(line.substr(mark.size()));
            }
        }
        return commands;
    }
    // How many lines of a simulator's log start with `prefix`.
    static int LogLines(const std::filesystem::path& log, const std::string& prefix) {
        std::ifstream in(log);
        int count = 0;
        for (std::string line; std::getline(in, line);) {
            count += line.find(prefix) != std::string::npos ? 1 : 0;
        }
        return count;
    }

    std::filesystem::path profile =
        std::filesystem::path(ConfigHome().toStdString()) / "VANTO" / "Vanto Tonedesk.conf";
    std::filesystem::path demoDump = temp.Path() / "demo-gamma.txt";
    std::filesystem::path otherDump = temp.Path() / "other-gamma.txt";
    std::unique_ptr<Simulator> demo;
    std::unique_ptr<Simulator> other;
};

TEST_F(WholeProgramTest, ChosenProjectorReceivesBankZeroQueuedAtCloseAndTheProgramEnds) {
    ProgramServices services(temp.Path());
    RecordingNotifier& notifier = services.notifier;
    RecordingPrompts& prompts = services.prompts;
    CProgram program(services.App());
    ASSERT_EQ(program.Start(), std::nullopt);
    CMainFrame& frame = *program.App().Frame();
    QSignalSpy closed(&frame, &CMainFrame::Closed);

    // The user: picks DEMO-100 once it is listed, then in the gamma editor writes the whole
    // bank and closes the editor at once, while the write is still queued.
    bool chose = false;
    bool wrote = false;
    bool queuedAtClose = false;
    bool timedOut = false;
    QStringList listed;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* connect = qobject_cast<CConnectDialog*>(modal); connect && !chose) {
            auto* list = connect->findChild<QComboBox*>(ControlName(kConnectProjectorList));
            const int demoItem =
                list ? list->findText(QStringLiteral("COM%1 / DEMO-100 /").arg(kDemoCom),
                                      Qt::MatchStartsWith)
                     : -1;
            if (demoItem >= 0) {
                chose = true;
                for (int i = 0; i < list->count(); ++i) {
                    listed << list->itemText(i);
                }
                list->setCurrentIndex(demoItem);
                connect->findChild<QAbstractButton*>(ControlName(1))->click();
            }
        } else if (auto* editor = qobject_cast<CGammaDialog*>(modal);
                   editor && !wrote && editor->isEnabled()) {
            wrote = true;
            qobject_cast<QAbstractButton*>(editor->Control(kGammaWriteAll))->click();
            queuedAtClose = frame.Link().IsBusy();
            // The editor waits for the write and its Close button with it: the command the
            // button sends is given directly.
            editor->OnCommand(kGammaClose);
        }
    });
    const int exitCode = RunEventLoop(user, timedOut);
    user.stop();

    EXPECT_FALSE(timedOut);
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(closed.count(), 1);
    EXPECT_TRUE(chose);
    // The projector without a model file is not offered.
    EXPECT_EQ(listed, QStringList{QStringLiteral("COM%1 / DEMO-100 / 38400").arg(kDemoCom)});
    EXPECT_TRUE(wrote);
    EXPECT_TRUE(queuedAtClose);
    EXPECT_FALSE(frame.Link().IsBusy());
    EXPECT_TRUE(notifier.messages.empty());
    EXPECT_TRUE(prompts.shown.empty());

    // The chosen port stays the current one; the other projector's port was closed after the
    // scan had asked it for its name.
    ASSERT_NE(frame.Link().CurrentPort(), nullptr);
    EXPECT_EQ(frame.Link().CurrentPort()->ComNumber(), kDemoCom);
    int otherEntries = 0;
    for (const PortEntry& entry : frame.Link().Ports()) {
        if (entry.ComNumber() == kOtherCom) {
            ++otherEntries;
            EXPECT_FALSE(entry.IsOpen());
        }
    }
    EXPECT_EQ(otherEntries, 1);

    EXPECT_EQ(demo->process.Stop(10s), 0);
    EXPECT_EQ(other->process.Stop(10s), 0);
    const std::filesystem::path demoLog = temp.Path() / "demo.log";
    const std::filesystem::path otherLog = temp.Path() / "other.log";
    EXPECT_EQ(LogLines(demoLog, "<< GAMM"), 6) << TempDir::Read(demoLog);
    EXPECT_EQ(LogLines(demoLog, "<< gamma block"), 6);
    EXPECT_EQ(LogLines(demoLog, "checksum wrong"), 0);
    EXPECT_EQ(TempDir::Read(demoDump), ExpectedDump());
    EXPECT_GE(LogLines(otherLog, "<< TNAM"), 1);
    EXPECT_EQ(LogLines(otherLog, "<< GAMM"), 0);
    EXPECT_EQ(TempDir::Read(otherDump), "");
}

// The user opens the control panel from the gamma editor, saves a settings file with its Save
// button, moves the brightness slider and loads the file again with its Load button: the
// projector receives the saved values again, byte for byte.
TEST_F(WholeProgramTest, SettingsFileSavedAndLoadedThroughTheControlPanel) {
    ProgramServices services(temp.Path());
    RecordingNotifier& notifier = services.notifier;
    RecordingPrompts& prompts = services.prompts;
    CProgram program(services.App());
    ASSERT_EQ(program.Start(), std::nullopt);
    CMainFrame& frame = *program.App().Frame();
    const std::string file = (temp.Path() / "lobby.txt").string();

    enum class Step { Connect, OpenPanel, Save, Change, Load, Loaded, ClosePanel, Done };
    Step step = Step::Connect;
    bool timedOut = false;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        CControlSheet* sheet = frame.ControlSheet();
        const bool idle = !frame.Link().IsBusy() && !frame.SaveInProgress();
        if (auto* connect = qobject_cast<CConnectDialog*>(modal); connect) {
            auto* list = connect->findChild<QComboBox*>(ControlName(kConnectProjectorList));
            const int demoItem =
                list ? list->findText(QStringLiteral("COM%1 / DEMO-100 /").arg(kDemoCom),
                                      Qt::MatchStartsWith)
                     : -1;
            if (step == Step::Connect && demoItem >= 0) {
                step = Step::OpenPanel;
                list->setCurrentIndex(demoItem);
                connect->findChild<QAbstractButton*>(ControlName(1))->click();
            }
        } else if (auto* editor = qobject_cast<CGammaDialog*>(modal); editor) {
            auto* panel = qobject_cast<QAbstractButton*>(editor->Control(kGammaControlPanel));
            if (step == Step::OpenPanel && panel && panel->isEnabled()) {
                step = Step::Save;
                // Queued: the panel runs modally, and this timer ticks on meanwhile.
                QMetaObject::invokeMethod(panel, &QAbstractButton::click, Qt::QueuedConnection);
            } else if (step == Step::Done) {
                editor->OnCommand(kGammaClose);
            }
        } else if (sheet && modal == sheet && idle) {
            QPushButton* save = sheet->CommandButton(kCommandFileSaveAs);
            QPushButton* load = sheet->CommandButton(kCommandFileOpen);
            auto* brightness = FindControl<QSlider>(sheet, 1001);
            if (step == Step::Save && save->isEnabled()) {
                step = Step::Change;
                prompts.answers = {file};
                save->click();
            } else if (step == Step::Change && brightness && std::filesystem::exists(file)) {
                step = Step::Load;
                brightness->triggerAction(QAbstractSlider::SliderPageStepAdd);
            } else if (step == Step::Load && load->isEnabled()) {
                // The sheet enables its buttons on a timer of its own: on a busy machine it may
                // not have ticked since the save ended, and a disabled button takes no click.
                step = Step::Loaded;
                prompts.answers = {file};
                load->click();
            } else if (step == Step::Loaded) {
                step = Step::Done;
                sheet->reject();
            }
        }
    });
    const int exitCode = RunEventLoop(user, timedOut);
    user.stop();

    EXPECT_FALSE(timedOut);
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(step, Step::Done);
    EXPECT_TRUE(notifier.messages.empty());
    const std::string saved = TempDir::Read(file);
    EXPECT_EQ(saved, "DEMO-100\r\nBRIT  50\r\nCONT  50\r\nSHRP   8\r\nCOLT6500\r\n"
                     "PMOD   0\r\nGAMA   0\r\nINPT   0\r\nVOLM  20\r\nMUTE   0\r\n");

    EXPECT_EQ(demo->process.Stop(10s), 0);
    const std::vector<std::string> received = Received(temp.Path() / "demo.log");
    const auto moved = std::find(received.begin(), received.end(), "BRIT  60");
    ASSERT_NE(moved, received.end()) << "the slider's value was not sent";
    // After the slider's value, the file's lines arrive as they stand, in order.
    std::vector<std::string> loaded;
    for (auto it = moved + 1; it != received.end(); ++it) {
        if (it->substr(4) != "????" && it->rfind("TNAM", 0) != 0) {
            loaded.push_back(*it);
        }
    }
    EXPECT_EQ(loaded,
              (std::vector<std::string>{"BRIT  50", "CONT  50", "SHRP   8", "COLT6500", "PMOD   0",
                                        "GAMA   0", "INPT   0", "VOLM  20", "MUTE   0"}));
}

} // namespace
} // namespace tonedesk::test
