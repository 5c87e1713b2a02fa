#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tonedesk::sim {

// Time of the simulator in nanoseconds of a steady clock. The simulator never reads a clock
// itself: every call says what time it is, so tests drive it on virtual time.
using Nanos = std::uint64_t;

inline constexpr Nanos kNanosPerMs = 1000000;

// Number of gamma tables a projector holds, and the size of one transfer block.
inline constexpr int kGammaTables = 12;
inline constexpr std::size_t kGammaDataBytes = 256;
inline constexpr std::size_t kGammaBlockBytes = kGammaDataBytes + 1; // data + checksum

// The name under which `errCodes` counts the gamma data blocks.
inline constexpr std::string_view kBlockErrCode = "BLOCK";

struct SimulatorOptions {
    std::string name = "DEMO-100"; // answered to "TNAM"
    int baud = 38400;              // the only rate the projector understands
    int power = 1;                 // start value of "POWR"
    int menu = 0;                  // start value of "MOUT"
    Nanos warmUp = 0;              // after "POWR   1" from off: nothing is answered this long
    std::string textCommand = "TLOG";
    std::vector<std::string> textLines{"TONEDESK PROJECTOR SIMULATOR", "LAMP HOURS 1234",
                                       "ERRORS 0"};
    std::map<std::string, int> values;       // further status values: code -> value
    bool wireTime = false;                   // bytes take 10 bits at the line rate, both directions
    Nanos blockTimeout = 1000 * kNanosPerMs; // a gamma block silent this long is abandoned

    // Faults.
    bool silent = false;                 // nothing is ever answered
    int errEvery = 0;                    // every Nth command (blocks included) answers "ERR"
    std::map<std::string, int> errCodes; // code -> "ERR" answers still to give; -1 = always
    std::set<int> refusedBlocks;         // gamma blocks whose announce is always answered "ERR"
    Nanos delay = 0;                     // every answer starts this late
    Nanos splitGap = 0;                  // > 0: the second half of an answer follows this late
    int garbageEvery = 0;                // every Nth answer is preceded by a garbage line
    int longEvery = 0;                   // every Nth answer is replaced by an over-long line
    bool noise = false;                  // control bytes (0, LF, BEL) mixed into every answer
    int hangUpAfter = 0; // after N commands nothing more is heard or answered: HungUp()
    Nanos byteGap = 0;   // > 0: every answer byte follows the previous one this late
    // > 0: the line is cut (an adapter unplugged) once this many bytes arrived: Unplugged()
    std::size_t unplugAfterBytes = 0;
    // The faults above (but hang-up and unplug) disturb the commands from the `faultsFrom`th on
    // (1 the first), and when `faultsFor` > 0 only that many of them.
    int faultsFrom = 1;
    int faultsFor = 0;
};

// The status values projector-sim starts with beyond POWR and MOUT (unless told otherwise): one
// for every code of the DEMO-100 sample model, so that its control panel shows real values.
// Code and value, in the order --help lists them.
inline constexpr std::pair<std::string_view, int> kDemoValues[] = {
    {"BRIT", 50}, {"CONT", 50}, {"SHRP", 8}, {"COLT", 6500}, {"PMOD", 0}, {"INPT", 0}, {"MUTE", 0},
    {"VOLM", 20}, {"FOCN", 0},  {"PATT", 0}, {"FANS", 1},    {"KEYS", 0}, {"GAMA", 0},
};

// The length of the over-long line of `longEvery`: more than any line buffer of the program.
inline constexpr std::size_t kLongLineLength = 3000;

// A projector at the far end of a serial line, without the line: bytes go in with the time
// they were read and the rate the line runs at; answer bytes come out when they are due.
//
// Protocol: commands are 8 characters and CR, a code and a parameter ("%4d" or "????").
//   "TNAM...."           the name
//   text command         the text lines joined by CR, the last one ended by EOT (4)
//   "GAMM%4d" (0..11)    "OK", then 257 raw bytes: 256 data bytes and their sum modulo 256;
//                        a good block is stored and answered "OK", a bad one "ERR" (and the
//                        same table's block is awaited again, as the sender resends it alone)
//   "CODE????"           the stored value in decimal, "ERR" for a code never set
//   "CODE%4d"            stores the value, "OK"; "POWR   0" also clears "MOUT", "MOUT" cannot
//                        be set while the power is off ("ERR"), "POWR   1" from off starts
//                        the warm-up
//   anything else        "ERR"
// Every answer ends with CR (the text answer with EOT).
class ProjectorSimulator {
public:
    explicit ProjectorSimulator(SimulatorOptions options);

    // Bytes read from the line at `now` while the line is set to `lineBaud` bit/s. At any
    // other rate than the projector's they are garbage to it and are dropped.
    void Receive(const std::uint8_t* data, std::size_t size, int lineBaud, Nanos now);
    // Handles what has arrived by `now` and returns the answer bytes due by then.
    std::vector<std::uint8_t> Transmit(Nanos now);
    // When something is next due (a byte arriving or leaving), or nothing.
    std::optional<Nanos> NextEvent() const;
    // True once the projector has taken `hangUpAfter` commands and sent its last answer: the
    // line is to be closed (a moment later, so that the other side can read that answer).
    bool HungUp() const;
    // True once `unplugAfterBytes` bytes have arrived: the line is to be cut at once.
    bool Unplugged() const;
    // How many more bytes the line carries before it is cut; nothing when it is never cut.
    std::optional<std::size_t> BytesBeforeUnplug() const;
    // The projector is switched off at its own button: POWR and MOUT become 0; it still answers.
    void SwitchOff();
    // The projector's mains: while off it hears and answers nothing; back on, it answers with
    // the values it had.
    void SetMains(bool on) { mainsOff_ = !on; }
    bool MainsOn() const { return !mainsOff_; }
    // The line is back after a hang-up or an unplug (a new terminal): what was on its way in
    // either direction is lost, the projector keeps its values and tables, and it neither hangs
    // up nor is unplugged again.
    void ComeBack();

    // The good gamma blocks received, by table number: 257 bytes each (data and checksum).
    const std::array<std::optional<std::vector<std::uint8_t>>, kGammaTables>& GammaBlocks() const {
        return gamma_;
    }
    // A status value, or nothing when the code was never set.
    std::optional<int> ValueOf(std::string_view code) const;

    // Counters for tests and the log.
    int commandsReceived() const { return commands_; }
    std::size_t bytesDropped() const { return dropped_; }

    // Called with one line per command and answer (for the --verbose log), and after every
    // good gamma block (for the dump file).
    std::function<void(const std::string&)> onLog;
    std::function<void(int table)> onGammaBlock;

private:
    struct Pending {
        Nanos at;
        std::uint8_t byte;
    };

    void HandleByte(std::uint8_t byte, Nanos at);
    void HandleCommand(const std::string& command, Nanos at);
    void HandleBlock(Nanos at);
    std::string AnswerCommand(const std::string& command, Nanos at);
    bool InjectError(const std::string& code);
    // The faults disturb the command being handled (see `faultsFor`).
    bool FaultsActive() const;
    void SendAnswer(std::string answer, Nanos at);
    // Answer bytes leaving from `at` on, each at least `gap` after the one before.
    void Queue(std::string_view bytes, Nanos at, Nanos gap);
    Nanos ByteTime() const;
    void Log(const std::string& line) const;

    SimulatorOptions options_;
    std::map<std::string, int> values_;
    std::deque<Pending> received_; // bytes on their way in, with their arrival times
    std::deque<Pending> outgoing_; // answer bytes with the time they leave
    Nanos lastIn_ = 0;
    Nanos lastOut_ = 0;
    std::string command_; // the command being received
    int blockTable_ = -1; // table whose data block is awaited, -1 none
    std::vector<std::uint8_t> block_;
    Nanos lastBlockByte_ = 0;
    Nanos warmUpEnd_ = 0;
    int commands_ = 0;
    int answers_ = 0;
    std::size_t dropped_ = 0;
    std::size_t bytesIn_ = 0; // bytes received at the projector's rate
    bool mainsOff_ = false;
    std::array<std::optional<std::vector<std::uint8_t>>, kGammaTables> gamma_;
};

// The checksum of a gamma data block: the sum of its bytes modulo 256.
std::uint8_t GammaChecksum(const std::uint8_t* data, std::size_t size);

// The text of the gamma dump file: one line per received table, in table order, "<table>
// <hex>" with the 257 bytes of the block as 514 lower-case hex digits.
std::string
FormatGammaDump(const std::array<std::optional<std::vector<std::uint8_t>>, kGammaTables>& blocks);

} // namespace tonedesk::sim
