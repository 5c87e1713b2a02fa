#include "link/ServiceLog.h"
#include "LinkFixture.h"
#include "gamma/GammaTransfer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace tonedesk::test {
namespace {

// 2026-12-08T09:32:01.123Z
constexpr std::int64_t kWallMs = 1796722321123;

std::string GammaBlockBytes(bool goodChecksum) {
    std::string block(kGammaBlockSize - 1, '\x7f');
    unsigned sum = 0;
    for (const char c : block) {
        sum += static_cast<unsigned char>(c);
    }
    block.push_back(static_cast<char>((sum + (goodChecksum ? 0 : 1)) & 0xFF));
    return block;
}

// The log's lines without their time stamps, from the port on.
std::vector<std::string> Tails(const ServiceLog& log) {
    std::vector<std::string> tails;
    for (const std::string& line : log.Lines()) {
        tails.push_back(line.substr(line.find(" COM")));
    }
    return tails;
}

TEST(ServiceLogFormat, OneLinePerEventKind) {
    const std::string good = GammaBlockBytes(true);
    const std::string bad = GammaBlockBytes(false);
    struct Row {
        ExchangeKind kind;
        std::string bytes;
        int announced;
        const char* text; // after "<stamp> COM3"
    };
    const std::vector<Row> rows = {
        {ExchangeKind::Opened, "", -1, " -- open at 38400 baud"},
        {ExchangeKind::Closed, "", -1, " -- close"},
        {ExchangeKind::HungUp, "", -1, " -- hang-up"},
        {ExchangeKind::TimedOut, "", -1, " -- time-out"},
        {ExchangeKind::Sent, "POWR????\r", -1,
         " >> POWR???"
         "?<13>"},
        {ExchangeKind::Received, std::string("OK\r\x04\0", 5), -1, " << OK<13><4><0>"},
        // "<" itself is escaped, so a byte and its escape never read the same.
        {ExchangeKind::Received, "a<13>\xff", -1, " << a<60>13><255>"},
        {ExchangeKind::Sent, good, 5, " >> gamma block 5, 257 bytes, checksum ok"},
        {ExchangeKind::Sent, bad, 0, " >> gamma block 0, 257 bytes, checksum BAD"},
        {ExchangeKind::Sent, good, -1, " >> gamma block ?, 257 bytes, checksum ok"},
    };
    for (const Row& row : rows) {
        const ExchangeEvent event{row.kind, 3, 38400, row.bytes};
        EXPECT_EQ(ServiceLog::FormatLine(event, kWallMs, row.announced),
                  std::string("2026-12-08T09:32:01.123Z COM3") + row.text);
    }
    EXPECT_EQ(ServiceLog::FormatStamp(kWallMs + 8), "2026-12-08T09:32:01.131Z");
    EXPECT_EQ(ServiceLog::FormatStamp(0), "1970-01-01T00:00:00.000Z");
}

class ServiceLogTest : public ::testing::Test {
protected:
    void Record(ExchangeKind kind, std::string_view bytes = {}) {
        log.Record({kind, 2, 9600, bytes});
    }

    ManualClock clock{5000};
    std::int64_t wall = kWallMs;
    ServiceLog log{clock, [this] { return wall++; }};
    TempDir dir;
};

TEST_F(ServiceLogTest, GammaBlockTakesTheNumberOfTheAnnounceBeforeIt) {
    Record(ExchangeKind::Sent, "GAMM   7\r");
    Record(ExchangeKind::Received, "OK\r");
    Record(ExchangeKind::Sent, GammaBlockBytes(true));
    Record(ExchangeKind::Sent, GammaBlockBytes(true)); // no announce before this one
    ASSERT_EQ(log.Lines().size(), 4u);
    EXPECT_NE(log.Lines()[2].find("gamma block 7,"), std::string::npos) << log.Lines()[2];
    EXPECT_NE(log.Lines()[3].find("gamma block ?,"), std::string::npos) << log.Lines()[3];
}

// Lines go after what the file held, once 200 ms passed and at the end.
TEST_F(ServiceLogTest, FileIsAppendedOnce200MsPassedAndAtTheEnd) {
    const auto file = dir.Write("service.log", "earlier session\n");
    log.SetFile(file.string());
    Record(ExchangeKind::Opened);
    clock.Advance(150);
    Record(ExchangeKind::Sent, "POWR????\r");
    clock.Advance(kServiceLogFlushMs - 151);
    log.Poll();
    EXPECT_EQ(TempDir::Read(file).find("POWR"), std::string::npos) << "written too early";
    EXPECT_GT(log.Pending(), 0u);
    clock.Advance(1);
    log.Poll();
    EXPECT_EQ(log.Pending(), 0u);
    const std::string first = TempDir::Read(file);
    EXPECT_TRUE(first.starts_with("earlier session\n2026-12-08T09:32:01.123Z COM2 -- open at"))
        << first;
    EXPECT_NE(first.find("COM2 -- open at 9600 baud\n"), std::string::npos) << first;
    EXPECT_NE(first.find("COM2 >> POWR???"
                         "?<13>\n"),
              std::string::npos)
        << first;

    // The next line starts a new 200 ms wait; what is left goes out with Flush.
    Record(ExchangeKind::Received, "1\r");
    clock.Advance(kServiceLogFlushMs - 1);
    log.Poll();
    EXPECT_EQ(TempDir::Read(file), first);
    log.Flush();
    EXPECT_EQ(TempDir::Read(file), first + "2026-12-08T09:32:01.125Z COM2 << 1<13>\n");
    EXPECT_TRUE(log.TakeWarning().empty());
}

TEST_F(ServiceLogTest, FullDiskWarnsOnceAndKeepsTheLinesInMemory) {
    log.SetFile("/dev/full");
    for (int i = 0; i < 3; ++i) {
        Record(ExchangeKind::Sent, "POWR????\r");
        clock.Advance(kServiceLogFlushMs);
        log.Poll();
        EXPECT_EQ(log.Pending(), 0u) << "a full disk must not make the buffer grow";
        const std::string warning = log.TakeWarning();
        if (i == 0) {
            EXPECT_EQ(warning, std::strerror(ENOSPC));
        } else {
            EXPECT_EQ(warning, "");
        }
    }
    EXPECT_EQ(log.Lines().size(), 3u);

    // Writing resumes at another file.
    const auto file = dir.Path() / "later.log";
    log.SetFile(file.string());
    Record(ExchangeKind::HungUp);
    log.Flush();
    EXPECT_NE(TempDir::Read(file).find("-- hang-up"), std::string::npos);
}

TEST_F(ServiceLogTest, KeepsTheLast10000Lines) {
    for (std::size_t i = 0; i < kServiceLogLinesKept + 2; ++i) {
        Record(ExchangeKind::Sent, std::to_string(i));
    }
    ASSERT_EQ(log.Lines().size(), kServiceLogLinesKept);
    EXPECT_NE(log.Lines().front().find(">> 2"), std::string::npos) << log.Lines().front();
    EXPECT_NE(log.Lines().back().find(">> 10001"), std::string::npos);
}

// However the port's reads cut an answer, it is one line: it ends at CR or EOT, at the port's
// next event, or when its end has not come within the flush time.
TEST_F(ServiceLogTest, ReceivedBytesMakeOneLinePerAnswer) {
    Record(ExchangeKind::Received, "O");
    Record(ExchangeKind::Received, "K\rTEXT");
    Record(ExchangeKind::Received, "\x04"
                                   "ER");
    log.Record({ExchangeKind::Received, 5, 9600, "1\r"}); // another port's answer
    Record(ExchangeKind::TimedOut);
    Record(ExchangeKind::Received, "GARB");
    clock.Advance(kServiceLogFlushMs - 1);
    log.Poll();
    ASSERT_EQ(log.Lines().size(), 5u);
    clock.Advance(1);
    log.Poll();
    EXPECT_EQ(Tails(log),
              (std::vector<std::string>{" COM2 << OK<13>", " COM2 << TEXT<4>", " COM5 << 1<13>",
                                        " COM2 << ER", " COM2 -- time-out", " COM2 << GARB"}));
}

// The link reports its exchange to the sink as it happens.
class LinkExchangeLogTest : public LinkFixture {};

TEST_F(LinkExchangeLogTest, OpenCommandAnswerTimeOutAndCloseReachTheLog) {
    SetEnv("REC_TIMEOUT_OFF", 100);
    SetEnv("RETRY", 1);
    ServiceLog log(clock, [] { return kWallMs; });
    MakeLink().SetExchangeSink(log.Sink());
    Connect(4);
    Queue("BRIT????\r", AnswerKind::Value);
    Queue("NAME????\r", AnswerKind::Value);
    Step();
    line->Feed("1\r");
    Step();
    RunFor(150); // NAME???? is never answered
    link->CloseOtherPorts(-1);
    EXPECT_EQ(Tails(log), (std::vector<std::string>{" COM4 -- open at 9600 baud",
                                                    " COM4 >> BRIT???"
                                                    "?<13>",
                                                    " COM4 << 1<13>",
                                                    " COM4 >> NAME???"
                                                    "?<13>",
                                                    " COM4 -- time-out", " COM4 -- close"}));
}

} // namespace
} // namespace tonedesk::test
