#include "ProjectorSimulator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tonedesk::sim {
namespace {

constexpr Nanos kMs = kNanosPerMs;

std::string AsText(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// Sends bytes at `now` and returns everything answered by `now` (no wire time: at once).
std::string Exchange(ProjectorSimulator& sim, std::string_view bytes, Nanos now, int baud = 38400) {
    sim.Receive(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), baud, now);
    return AsText(sim.Transmit(now));
}

std::vector<std::uint8_t> GoodBlock(std::uint8_t seed) {
    std::vector<std::uint8_t> block(kGammaBlockBytes);
    for (std::size_t i = 0; i < kGammaDataBytes; ++i) {
        block[i] = static_cast<std::uint8_t>(seed + i * 7);
    }
    block[kGammaDataBytes] = GammaChecksum(block.data(), kGammaDataBytes);
    return block;
}

struct ProtocolCase {
    const char* commands; // sent one after the other
    const char* answers;  // everything answered
};

class Protocol : public testing::TestWithParam<ProtocolCase> {};

TEST_P(Protocol, AnswersAsAProjector) {
    SimulatorOptions options;
    options.name = "XP-7";
    options.values["LAMP"] = 1234;
    ProjectorSimulator sim(options);
    EXPECT_EQ(Exchange(sim, GetParam().commands, 5 * kMs), GetParam().answers);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, Protocol,
    testing::Values(ProtocolCase{"TNAM   1\r", "XP-7\r"}, ProtocolCase{"POWR????\r", "1\r"},
                    ProtocolCase{"LAMP????\r", "1234\r"}, ProtocolCase{"NONE????\r", "ERR\r"},
                    ProtocolCase{"ABCD  42\rABCD????\r", "OK\r42\r"},
                    ProtocolCase{"ABCD  -7\rABCD????\r", "OK\r-7\r"},
                    ProtocolCase{"MOUT   1\rMOUT????\r", "OK\r1\r"},
                    ProtocolCase{"POWR   0\rMOUT????\rMOUT   1\r", "OK\r0\rERR\r"},
                    ProtocolCase{"ABCD 4x2\r", "ERR\r"}, ProtocolCase{"ABCD    \r", "ERR\r"},
                    ProtocolCase{"TNAM 1\r", "ERR\r"}, ProtocolCase{"TNAM   1 \r", "ERR\r"},
                    ProtocolCase{"\rTNAM   1\r", "ERR\rXP-7\r"},
                    ProtocolCase{"TNAM   1\r\nTNAM   1\r\n", "XP-7\rXP-7\r"},
                    ProtocolCase{"GAMM  12\r", "ERR\r"}, ProtocolCase{"GAMM  -1\r", "ERR\r"},
                    ProtocolCase{"TLOG????\r",
                                 "TONEDESK PROJECTOR SIMULATOR\rLAMP HOURS 1234\rERRORS 0\x04"}));

TEST(ProjectorSimulator, TextCommandAndLinesAreConfigurable) {
    SimulatorOptions options;
    options.textCommand = "INFO";
    options.textLines = {"A", "B"};
    ProjectorSimulator sim(options);
    EXPECT_EQ(Exchange(sim, "INFO   0\r", 0), "A\rB\x04");
    EXPECT_EQ(Exchange(sim, "TLOG????\r", 0), "ERR\r");
}

TEST(ProjectorSimulator, BytesAtAnotherRateAreDroppedAndSpoilThePartialCommand) {
    ProjectorSimulator sim(SimulatorOptions{});
    EXPECT_EQ(Exchange(sim, "TNAM   1\r", 0, 9600), "");
    EXPECT_EQ(Exchange(sim, "TNAM   1\r", 0, 115200), "");
    EXPECT_EQ(sim.bytesDropped(), 18u);
    // Half a command at the right rate, then noise: the command does not survive.
    EXPECT_EQ(Exchange(sim, "TNAM", 0), "");
    EXPECT_EQ(Exchange(sim, "xx", 0, 9600), "");
    EXPECT_EQ(Exchange(sim, "   1\r", 0), "ERR\r");
    EXPECT_EQ(Exchange(sim, "TNAM   1\r", 0), "DEMO-100\r");
}

TEST(ProjectorSimulator, StoresGoodGammaBlocksAndAwaitsABadOneAgain) {
    ProjectorSimulator sim(SimulatorOptions{});
    std::vector<int> notified;
    sim.onGammaBlock = [&](int table) { notified.push_back(table); };

    auto block = GoodBlock(13); // holds CR bytes, which must not end the block
    EXPECT_EQ(Exchange(sim, "GAMM  11\r", 0), "OK\r");
    EXPECT_EQ(Exchange(sim, AsText(block), kMs), "OK\r");
    ASSERT_TRUE(sim.GammaBlocks()[11].has_value());
    EXPECT_EQ(*sim.GammaBlocks()[11], block);

    auto bad = GoodBlock(1);
    bad[kGammaDataBytes] ^= 1;
    EXPECT_EQ(Exchange(sim, "GAMM   0\r", 2 * kMs), "OK\r");
    EXPECT_EQ(Exchange(sim, AsText(bad), 3 * kMs), "ERR\r");
    EXPECT_FALSE(sim.GammaBlocks()[0].has_value());
    // The sender repeats the block alone.
    EXPECT_EQ(Exchange(sim, AsText(GoodBlock(1)), 60 * kMs), "OK\r");
    EXPECT_EQ(*sim.GammaBlocks()[0], GoodBlock(1));
    EXPECT_EQ(notified, (std::vector<int>{11, 0}));
    // Back to commands.
    EXPECT_EQ(Exchange(sim, "TNAM   1\r", 61 * kMs), "DEMO-100\r");
}

TEST(ProjectorSimulator, AbandonsABlockThatStopsArriving) {
    SimulatorOptions options;
    options.blockTimeout = 100 * kMs;
    ProjectorSimulator sim(options);
    EXPECT_EQ(Exchange(sim, "GAMM   5\r", 0), "OK\r");
    EXPECT_EQ(Exchange(sim, AsText(GoodBlock(3)).substr(0, 100), 50 * kMs), "");
    // 100 ms after the last byte the block is given up and a command is understood again.
    EXPECT_EQ(Exchange(sim, "TNAM   1\r", 151 * kMs), "DEMO-100\r");
    EXPECT_FALSE(sim.GammaBlocks()[5].has_value());
}

TEST(ProjectorSimulator, WireTimeDelaysBothDirectionsByTenBitsPerByte) {
    SimulatorOptions options;
    options.baud = 9600;
    options.wireTime = true;
    ProjectorSimulator sim(options);
    const Nanos byte = 10ULL * 1000000000ULL / 9600;
    const std::string probe = "TNAM   1\r";
    sim.Receive(reinterpret_cast<const std::uint8_t*>(probe.data()), probe.size(), 9600, 0);
    // The CR has not arrived before 9 byte times.
    EXPECT_EQ(AsText(sim.Transmit(9 * byte - 1)), "");
    EXPECT_EQ(sim.NextEvent(), 9 * byte);
    // The answer "DEMO-100\r" leaves one byte per byte time after that.
    EXPECT_EQ(AsText(sim.Transmit(10 * byte)), "D");
    EXPECT_EQ(AsText(sim.Transmit(17 * byte)), "EMO-100");
    EXPECT_EQ(sim.NextEvent(), 18 * byte);
    EXPECT_EQ(AsText(sim.Transmit(18 * byte)), "\r");
    EXPECT_EQ(sim.NextEvent(), std::nullopt);
}

TEST(ProjectorSimulator, WarmUpAfterSwitchingOnLeavesCommandsUnanswered) {
    SimulatorOptions options;
    options.power = 0;
    options.warmUp = 2000 * kMs;
    ProjectorSimulator sim(options);
    EXPECT_EQ(Exchange(sim, "POWR   1\r", 0), "OK\r");
    EXPECT_EQ(Exchange(sim, "POWR????\r", 1999 * kMs), "");
    EXPECT_EQ(Exchange(sim, "POWR????\r", 2000 * kMs), "1\r");
    // Switching on again while on starts no warm-up.
    EXPECT_EQ(Exchange(sim, "POWR   1\r", 2001 * kMs), "OK\r");
    EXPECT_EQ(Exchange(sim, "POWR????\r", 2002 * kMs), "1\r");
}

TEST(ProjectorSimulator, InjectsErrorsByCountAndByCode) {
    SimulatorOptions options;
    options.errEvery = 3;
    options.errCodes["ABCD"] = 2;
    options.errCodes[std::string(kBlockErrCode)] = 1;
    ProjectorSimulator sim(options);
    EXPECT_EQ(Exchange(sim, "ABCD   1\rABCD   1\rABCD   1\r", 0), "ERR\rERR\rERR\r"); // 3rd: every
    EXPECT_EQ(Exchange(sim, "ABCD   1\r", 0), "OK\r");
    EXPECT_EQ(Exchange(sim, "GAMM   2\r", 0), "OK\r");
    EXPECT_EQ(Exchange(sim, AsText(GoodBlock(9)), 0), "ERR\r"); // 6th command
    EXPECT_EQ(Exchange(sim, AsText(GoodBlock(9)), 0), "ERR\r"); // BLOCK:1
    EXPECT_EQ(Exchange(sim, AsText(GoodBlock(9)), 0), "OK\r");
    EXPECT_TRUE(sim.GammaBlocks()[2].has_value());
}

TEST(ProjectorSimulator, AnErrorForEveryCommandOfACode) {
    SimulatorOptions options;
    options.errCodes["POWR"] = -1;
    ProjectorSimulator sim(options);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(Exchange(sim, "POWR????\r", 0), "ERR\r");
    }
    EXPECT_EQ(Exchange(sim, "MOUT????\r", 0), "0\r");
}

TEST(ProjectorSimulator, SilentProjectorAnswersNothingButCounts) {
    SimulatorOptions options;
    options.silent = true;
    ProjectorSimulator sim(options);
    EXPECT_EQ(Exchange(sim, "TNAM   1\rGAMM   1\r", 0), "");
    EXPECT_EQ(sim.commandsReceived(), 2);
    EXPECT_EQ(sim.NextEvent(), std::nullopt);
}

TEST(ProjectorSimulator, DelayedAndSplitAnswers) {
    SimulatorOptions options;
    options.delay = 10 * kMs;
    options.splitGap = 5 * kMs;
    ProjectorSimulator sim(options);
    EXPECT_EQ(Exchange(sim, "POWR????\r", 0), "");
    EXPECT_EQ(sim.NextEvent(), 10 * kMs);
    EXPECT_EQ(AsText(sim.Transmit(10 * kMs)), "1");
    EXPECT_EQ(AsText(sim.Transmit(14 * kMs)), "");
    EXPECT_EQ(AsText(sim.Transmit(15 * kMs)), "\r");
}

TEST(ProjectorSimulator, GarbageLongLinesAndNoiseDisturbTheAnswers) {
    SimulatorOptions options;
    options.garbageEvery = 2;
    options.longEvery = 3;
    ProjectorSimulator sim(options);
    EXPECT_EQ(Exchange(sim, "POWR????\r", 0), "1\r");
    const std::string second = Exchange(sim, "POWR????\r", 0);
    ASSERT_GT(second.size(), 2u);
    EXPECT_EQ(second.substr(second.size() - 2), "1\r");
    EXPECT_EQ(second.find('\r'), second.size() - 3) << "one garbage line, then the answer";
    EXPECT_EQ(Exchange(sim, "POWR????\r", 0), std::string(kLongLineLength, 'X') + "\r");

    SimulatorOptions noisy;
    noisy.noise = true;
    ProjectorSimulator noise(noisy);
    std::string answer = Exchange(noise, "TNAM   1\r", 0);
    EXPECT_GT(answer.size(), 9u);
    std::string clean;
    for (const char c : answer) {
        if (static_cast<unsigned char>(c) >= 32 || c == '\r') {
            clean += c;
        }
    }
    EXPECT_EQ(clean, "DEMO-100\r");
}

TEST(ProjectorSimulator, HangsUpAfterAnsweringNCommands) {
    SimulatorOptions options;
    options.hangUpAfter = 2;
    options.delay = kMs;
    ProjectorSimulator sim(options);
    Exchange(sim, "TNAM   1\r", 0);
    EXPECT_FALSE(sim.HungUp());
    Exchange(sim, "TNAM   1\r", 0);
    EXPECT_FALSE(sim.HungUp()) << "the answer is still to be sent";
    EXPECT_EQ(AsText(sim.Transmit(kMs)), "DEMO-100\rDEMO-100\r");
    EXPECT_TRUE(sim.HungUp());
    // Deaf from then on.
    EXPECT_EQ(Exchange(sim, "TNAM   1\r", 2 * kMs), "");
    EXPECT_EQ(AsText(sim.Transmit(10 * kMs)), "");
    EXPECT_EQ(sim.commandsReceived(), 2);
}

TEST(ProjectorSimulator, FaultsConfinedToASpanOfCommandsAnswerByteByByte) {
    SimulatorOptions options;
    options.silent = true;
    options.byteGap = 3 * kMs;
    options.faultsFrom = 2;
    options.faultsFor = 1;
    ProjectorSimulator sim(options);
    EXPECT_EQ(Exchange(sim, "POWR????\r", 0), "1\r") << "before the span: well";
    EXPECT_EQ(Exchange(sim, "POWR????\r", 0), "") << "in the span: silent";
    EXPECT_EQ(Exchange(sim, "POWR????\r", 0), "1\r") << "after the span: well";

    options.silent = false;
    options.faultsFor = 0;
    ProjectorSimulator slow(options);
    Exchange(slow, "POWR????\r", 0);
    EXPECT_EQ(Exchange(slow, "TNAM   1\r", 0), "D");
    EXPECT_EQ(AsText(slow.Transmit(5 * kMs)), "E");
    EXPECT_EQ(slow.NextEvent(), 6 * kMs);
}

TEST(ProjectorSimulator, SwitchedOffAtItsButtonAnswersPowerZeroAndAtTheMainsNothing) {
    SimulatorOptions options;
    options.menu = 1;
    ProjectorSimulator sim(options);
    sim.SwitchOff();
    EXPECT_EQ(Exchange(sim, "POWR????\rMOUT????\r", 0), "0\r0\r");
    EXPECT_EQ(Exchange(sim, "POWR   1\rPOWR????\r", 0), "OK\r1\r");

    sim.SetMains(false);
    EXPECT_EQ(Exchange(sim, "POWR????\r", 0), "");
    sim.SetMains(true);
    EXPECT_EQ(Exchange(sim, "POWR????\r", 0), "1\r");
}

TEST(ProjectorSimulator, UnplugCutsTheLineAtAByteCountAndComingBackEndsTheCuts) {
    SimulatorOptions options;
    options.unplugAfterBytes = 12;
    options.hangUpAfter = 5;
    ProjectorSimulator sim(options);
    EXPECT_EQ(sim.BytesBeforeUnplug(), 12u);
    Exchange(sim, "POWR????\r", 0);
    EXPECT_EQ(sim.BytesBeforeUnplug(), 3u);
    EXPECT_FALSE(sim.Unplugged());
    sim.Receive(reinterpret_cast<const std::uint8_t*>("GAM"), 3, 38400, 0);
    EXPECT_TRUE(sim.Unplugged());

    sim.ComeBack();
    EXPECT_FALSE(sim.Unplugged());
    EXPECT_EQ(sim.BytesBeforeUnplug(), std::nullopt);
    EXPECT_EQ(Exchange(sim, "POWR????\r", 0), "1\r") << "the half command was lost";
    for (int i = 0; i < 5; ++i) {
        Exchange(sim, "POWR????\r", 0);
    }
    EXPECT_FALSE(sim.HungUp());
}

TEST(ProjectorSimulator, GammaDumpListsReceivedTablesInOrderAsHex) {
    std::array<std::optional<std::vector<std::uint8_t>>, kGammaTables> blocks;
    EXPECT_EQ(FormatGammaDump(blocks), "");
    blocks[10] = std::vector<std::uint8_t>(kGammaBlockBytes, 0xAB);
    blocks[2] = std::vector<std::uint8_t>(kGammaBlockBytes, 0x01);
    const std::string dump = FormatGammaDump(blocks);
    const std::string line2 = "2 " + [] {
        std::string s;
        for (std::size_t i = 0; i < kGammaBlockBytes; ++i) {
            s += "01";
        }
        return s;
    }() + "\n";
    ASSERT_EQ(dump.size(), 2 * line2.size() + 1);
    EXPECT_EQ(dump.substr(0, line2.size()), line2);
    EXPECT_EQ(dump.substr(line2.size(), 5), "10 ab");
}

TEST(ProjectorSimulator, ChecksumIsTheByteSumModulo256) {
    std::vector<std::uint8_t> levels;
    for (int i = 0; i < 128; ++i) {
        levels.push_back(0x03);
        levels.push_back(0xFF);
    }
    EXPECT_EQ(GammaChecksum(levels.data(), levels.size()), 0);
    const std::uint8_t few[] = {200, 100, 1};
    EXPECT_EQ(GammaChecksum(few, 3), 45);
}

} // namespace
} // namespace tonedesk::sim
