// The log lines, the notify list and the terminal output of the component.

#include "SerialTestSupport.h"
#include "TspComm.h"

#include <gtest/gtest.h>

using namespace talvern::serial;
using namespace talvern::serial::testing;
using namespace std::chrono_literals;

namespace {

class RecordingLog : public TspCustomLogFile {
public:
    void WriteLine(int level, const std::string& text) override { lines.push_back(std::to_string(level) + " " + text); }
    std::vector<std::string> lines;
};

class RecordingReceiver : public TspNotifyReceiver {
public:
    void SerialNotify(TspBaseIO*, int code) override { codes.push_back(code); }
    std::vector<int> codes;
};

class RecordingTerminal : public TspTerminalControl {
public:
    void TypeChar(uint8_t ch) override { out.push_back("char:" + std::string(1, static_cast<char>(ch))); }
    void InsertText(const std::string& bytes) override { out.push_back("text:" + bytes); }
    std::vector<std::string> out;
};

TEST(Attachments, LogLinesOfAnOpenSendAndClose) {
    TempMap map;
    PtyPair pty;
    map.map().setEntry(2, pty.path());
    RecordingLog log;
    TspComm rs;
    rs.SetPortMap(map.map());
    rs.SetComPortNo(2);
    rs.SetLog(&log);
    rs.SetActive(true);
    rs.SendString("");  // nothing at all
    rs.SendString("AB");
    rs.SendChar(0x0A);
    rs.SendData("xyz", 3);
    rs.SetActive(false);
    rs.SendString("closed"); // nothing at all
    const std::vector<std::string> expected = {
        "0 spComm: The port COM2 is opened succesfully",
        "2 spComm: Try to send string AB ...",
        "2 spComm: Try to send char  Ah ...",
        "2 spComm: Try to send the data with 3 length ...",
        "2 spComm: ... the data transmittion is OK!",
        "0 spComm: The port is closed succesfully",
    };
    EXPECT_EQ(log.lines, expected);
    EXPECT_EQ(pty.read(6), "AB\nxyz");
}

TEST(Attachments, FatalAndCommErrorLines) {
    RecordingLog log;
    TspComm rs;
    rs.SetLog(&log);
    rs.ReportCommError(0x0008, 0, 0);
    rs.OnFatalError = [](TspBaseIO*, uint32_t, uint32_t, const std::string&, bool& raise) { raise = false; };
    rs.ReportFatalError(1, 2, "boom", false);
    const std::vector<std::string> expected = {"1 spComm: Communication Error 8:0", "0 spComm: Fatal Error: 1, 2, boom"};
    EXPECT_EQ(log.lines, expected);
}

TEST(Attachments, NotifyListTellsOpenCloseAndChangeOnce) {
    TempMap map;
    PtyPair pty;
    map.map().setEntry(1, pty.path());
    RecordingReceiver receiver;
    TspComm rs;
    rs.SetPortMap(map.map());
    rs.AddNotify(&receiver);
    rs.AddNotify(&receiver); // the same receiver twice is one entry
    rs.SetActive(true);
    rs.SetComPortNo(1); // close, reopen, changed
    rs.SetActive(false);
    rs.RemoveNotify(&receiver);
    rs.SetActive(true);
    EXPECT_EQ(receiver.codes, (std::vector<int>{2, 1, 2, 3, 1}));
}

struct TerminalCase {
    const char* name;
    std::string bytes;
    std::vector<std::string> shown;
};

class TerminalOutputCases : public ::testing::TestWithParam<TerminalCase> {};

TEST_P(TerminalOutputCases, SplitsAtZeroBytes) {
    TspComm rs;
    RecordingTerminal terminal;
    rs.SetTerminal(&terminal);
    const auto& c = GetParam();
    rs.TerminalOutput(reinterpret_cast<const uint8_t*>(c.bytes.data()), static_cast<uint32_t>(c.bytes.size()));
    EXPECT_EQ(terminal.out, c.shown);
    rs.SetTerminal(nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Terminal, TerminalOutputCases,
    ::testing::Values(TerminalCase{"Runs", std::string("A\0BC", 4), {"text:A", "text:BC"}},
                      TerminalCase{"LeadingZero", std::string("\0BC", 3), {"text:BC"}},
                      TerminalCase{"SingleByte", "Q", {"char:Q"}},
                      TerminalCase{"OnlyZeros", std::string("\0\0", 2), {}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
