// The trace log's messages and levels, the notify list, data processors, the timer and the file
// log.

#include "FileLog.h"
#include "SerialError.h"
#include "SerialTestSupport.h"
#include "TspComm.h"
#include "TspCustomDataProcessor.h"
#include "TspTimer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>

using namespace talvern::serial;
using namespace talvern::serial::testing;
using namespace std::chrono_literals;

namespace {

struct Line {
    int level;
    std::string text;
    bool operator==(const Line&) const = default;
};

class RecordingLog : public TspCustomLogFile {
public:
    void WriteLine(int level, const std::string& text) override { lines.push_back({level, text}); }
    void WriteEmpty() override { ++empties; }
    std::vector<Line> lines;
    int empties = 0;
};

std::string format(const TspLogMessage& m, auto... args) {
    char text[256];
    std::snprintf(text, sizeof text, m.Format, args...);
    return text;
}

// ---- the component's messages, each at the level of its table entry

TEST(TraceLog, EveryMessageOfTheComponentAtItsLevel) {
    TempMap map;
    PtyPair pty;
    map.map().setEntry(3, pty.path());
    RecordingLog log;
    TspComm rs;
    rs.SetPortMap(map.map());
    rs.SetComPortNo(3);
    rs.SetLog(&log);
    rs.SetActive(true);
    rs.SendString("AB");
    rs.SendChar(0x0A);
    rs.SendData("xyz", 3);
    rs.ReportCommError(0x0008, 5, 0);
    rs.OnFatalError = [](TspBaseIO*, uint32_t, uint32_t, const std::string&, bool& raise) { raise = false; };
    rs.ReportFatalError(7, 9, "boom", false);
    rs.SetActive(false);

    using namespace logmsg;
    const std::vector<std::pair<TspLogMessage, std::string>> expected = {
        {PortOpened, format(PortOpened, "COM3")},
        {SendString, format(SendString, "AB")},
        {SendChar, format(SendChar, 0x0A)},
        {SendData, format(SendData, 3)},
        {SendOk, SendOk.Format},
        {CommError, format(CommError, 8, 5)},
        {FatalError, format(FatalError, 7u, 9u, "boom")},
        {PortClosed, PortClosed.Format},
    };
    std::vector<Line> want;
    for (const auto& [message, text] : expected)
        want.push_back({message.Level, "spComm: " + text});
    EXPECT_EQ(log.lines, want);
    EXPECT_EQ(log.lines[2].text, "spComm: Try to send char  Ah ...");
}

TEST(TraceLog, TheMessageTableAsTheLogsShowIt) {
    // Texts and levels exactly as sites' log readers expect them, spelling included.
    const std::vector<std::pair<int, std::string>> table = {
        {0, "The port %s is opened succesfully"},
        {0, "The port is closed succesfully"},
        {0, "Fatal Error: %u, %u, %s"},
        {1, "Communication Error %d:%d"},
        {1, "The device connection was succesful tested"},
        {1, "Configuration was saved"},
        {1, "Configuration was loaded"},
        {2, "Try to send char %2Xh ..."},
        {2, "Try to send string %s ..."},
        {2, "Try to send the data with %d length ..."},
        {2, "... the data transmittion is OK!"},
    };
    ASSERT_EQ(TspLogMessages.size(), table.size());
    for (size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(TspLogMessages[i].Level, table[i].first) << table[i].second;
        EXPECT_EQ(TspLogMessages[i].Format, table[i].second);
    }
}

TEST(TraceLog, NothingIsWrittenWithoutALog) {
    TempMap map;
    PtyPair pty;
    map.map().setEntry(2, pty.path());
    TspComm rs;
    rs.SetPortMap(map.map());
    rs.SetComPortNo(2);
    rs.SetActive(true);
    rs.SendString("AB");
    rs.SetActive(false);
    RecordingLog log;
    rs.SetLog(&log);
    rs.ReportCommError(1, 0, 0);
    EXPECT_EQ(log.lines, (std::vector<Line>{{1, "spComm: Communication Error 1:0"}}));
    rs.SetLog(nullptr);
}

TEST(TraceLog, FormattedLinesAndTheEmptyMessage) {
    RecordingLog log;
    log.WriteFormat(2, "%s=%u", "n", 12u);
    log.WriteFormat(1, "%s", "");
    std::string longText(2000, 'x');
    log.WriteFormat(0, "<%s>", longText.c_str());
    ASSERT_EQ(log.lines.size(), 2u);
    EXPECT_EQ(log.lines[0], (Line{2, "n=12"}));
    EXPECT_EQ(log.lines[1].text, "<" + longText + ">");
    EXPECT_EQ(log.empties, 1);
}

TEST(TraceLog, LogFatalErrorRaisesUnlessCleared) {
    RecordingLog log;
    EXPECT_THROW(log.ReportFatalError(1, 2, "disk full"), SerialError);
    log.OnFatalError = [](TspCustomLogFile*, uint32_t, uint32_t, const std::string&, bool& raise) { raise = false; };
    EXPECT_NO_THROW(log.ReportFatalError(1, 2, "disk full"));
}

// ---- the notify list

struct Calls {
    std::vector<std::string> seen;
};

void callA(void* object, TspBaseIO*, int code) { static_cast<Calls*>(object)->seen.push_back("A" + std::to_string(code)); }
void callB(void* object, TspBaseIO*, int code) { static_cast<Calls*>(object)->seen.push_back("B" + std::to_string(code)); }

TEST(NotifyList, OneEntryPerRoutineAndObjectInInsertionOrder) {
    Calls one, two;
    TspNotifyList list;
    list.Add(&callB, &one);
    list.Add(&callA, &one);
    list.Add(&callB, &one); // again: still one entry
    list.Add(&callB, &two); // same routine, other object: an entry of its own
    list.Add(nullptr, &one);
    EXPECT_EQ(list.Count(), 3u);
    list.NotifyClients(nullptr, 2);
    EXPECT_EQ(one.seen, (std::vector<std::string>{"B2", "A2"}));
    EXPECT_EQ(two.seen, (std::vector<std::string>{"B2"}));
    list.Remove(&callB, &one);
    list.Remove(&callB, &one); // not present: nothing
    list.RemoveObject(&two);
    list.NotifyClients(nullptr, 1);
    EXPECT_EQ(one.seen, (std::vector<std::string>{"B2", "A2", "A1"}));
    EXPECT_EQ(two.seen.size(), 1u);
}

TEST(NotifyList, TheComponentTellsRoutinesAndReceiversOnceEach) {
    TspComm rs;
    Calls calls;
    rs.AddNotify(&callA, &calls);
    rs.AddNotify(&callA, &calls);
    rs.NotifyClients(3);
    rs.RemoveNotify(&callA, &calls);
    rs.NotifyClients(1);
    EXPECT_EQ(calls.seen, (std::vector<std::string>{"A3"}));
}

TEST(NotifyList, AnEntryRemovedDuringTheCallsIsNotCalled) {
    TspNotifyList list;
    Calls calls;
    struct Remover {
        TspNotifyList* list;
        Calls* victim;
    } remover{&list, &calls};
    list.Add([](void* o, TspBaseIO*, int) {
        auto* r = static_cast<Remover*>(o);
        r->list->Remove(&callA, r->victim);
    }, &remover);
    list.Add(&callA, &calls);
    list.NotifyClients(nullptr, 1);
    EXPECT_TRUE(calls.seen.empty());
}

// ---- data processors

class ProbeProcessor : public TspCustomDataProcessor {
public:
    using TspCustomDataProcessor::TspCustomDataProcessor;
    void DoReceive(TspBaseIO* io, const uint8_t* buffer, uint32_t count, bool& handled) override {
        received += std::string(reinterpret_cast<const char*>(buffer), count);
        if (handles)
            handled = true;
        else
            TspCustomDataProcessor::DoReceive(io, buffer, count, handled);
    }
    void DoSend(TspBaseIO*, bool&) override {
        ++timeouts;
        timeoutOnMain = loop != nullptr && loop->onMainThread();
    }
    std::string received;
    bool handles = false;
    std::atomic<int> timeouts{0};
    bool timeoutOnMain = false;
    MainLoop* loop = nullptr;
};

class RecordingTerminal : public TspTerminalControl {
public:
    void TypeChar(uint8_t ch) override { shown += static_cast<char>(ch); }
    void InsertText(const std::string& bytes) override { shown += bytes; }
    std::string shown;
};

struct ChainCase {
    const char* name;
    bool lastHandles;
    std::string terminalShows;
};

class ProcessorChain : public ::testing::TestWithParam<ChainCase> {};

TEST_P(ProcessorChain, PassesReceivedBytesOnAndHandledOnlyHidesTheTerminal) {
    const auto& c = GetParam();
    TspComm rs;
    ProbeProcessor first, second;
    TspCustomDataProcessor plain; // the base itself in the middle
    first.SetNext(&plain);
    plain.SetNext(&second);
    second.handles = c.lastHandles;
    RecordingTerminal terminal;
    std::string afterReceive;
    rs.SetDataProcessor(&first);
    rs.SetTerminal(&terminal);
    rs.OnAfterReceive = [&](TspBaseIO*, const uint8_t* b, uint32_t n) { afterReceive.append(reinterpret_cast<const char*>(b), n); };
    rs.DoAfterReceive(reinterpret_cast<const uint8_t*>("hey"), 3);
    EXPECT_EQ(first.received, "hey");
    EXPECT_EQ(second.received, "hey");
    EXPECT_EQ(terminal.shown, c.terminalShows);
    EXPECT_EQ(afterReceive, "hey");
    rs.SetTerminal(nullptr);
    rs.SetDataProcessor(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Chain, ProcessorChain,
                         ::testing::Values(ChainCase{"NobodyHandles", false, "hey"},
                                           ChainCase{"LastHandles", true, ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DataProcessor, TellsOpenAndCloseInItsOwnLogAndMovesWithTheComponent) {
    TempMap map;
    PtyPair pty;
    map.map().setEntry(1, pty.path());
    RecordingLog log;
    TspCustomDataProcessor processor;
    processor.SetLog(&log);
    processor.SetLogPrefix("proto: ");
    TspComm a, b;
    a.SetPortMap(map.map());
    a.SetComPortNo(1);
    a.SetDataProcessor(&processor);
    a.SetActive(true);
    a.SetActive(false);
    a.NotifyClients(3); // ignored
    b.SetDataProcessor(&processor);
    EXPECT_EQ(processor.IO(), &b);
    a.NotifyClients(2); // no longer its component
    b.NotifyClients(1);
    b.SetDataProcessor(nullptr);
    b.NotifyClients(2); // detached
    EXPECT_EQ(processor.IO(), nullptr);
    const std::vector<Line> expected = {
        {2, "proto: Medium Opened"}, {2, "proto: Medium Closed"}, {2, "proto: Medium Closed"}};
    EXPECT_EQ(log.lines, expected);
    EXPECT_EQ(a.DataProcessor(), &processor); // a still points at it until set otherwise
    a.SetDataProcessor(nullptr);
}

TEST(DataProcessor, DestroyedWhileAttachedDetachesItself) {
    TspComm rs;
    {
        TspCustomDataProcessor processor;
        rs.SetDataProcessor(&processor);
    }
    EXPECT_EQ(rs.DataProcessor(), nullptr);
    rs.NotifyClients(1); // no dangling entry
}

struct SendCase {
    const char* name;
    bool filterHandles;
    std::string portGets;
    std::vector<Line> logged;
    std::vector<std::string> filtered;
};

class ProcessorSend : public ::testing::TestWithParam<SendCase> {};

TEST_P(ProcessorSend, FilterFirstThenThePort) {
    const auto& c = GetParam();
    TempMap map;
    PtyPair pty;
    map.map().setEntry(4, pty.path());
    RecordingLog log;
    TspComm rs;
    rs.SetPortMap(map.map());
    rs.SetComPortNo(4);
    ProbeProcessor processor;
    processor.SetLog(&log);
    std::vector<std::string> filtered;
    processor.OnSendFilter = [&](TspCustomDataProcessor*, const void* data, uint32_t length, TspSendKind kind, bool& handled) {
        filtered.push_back(std::to_string(static_cast<int>(kind)) + ":" + std::string(static_cast<const char*>(data), length));
        handled = c.filterHandles;
    };
    rs.SetDataProcessor(&processor);
    rs.SetActive(true);
    log.lines.clear(); // "Medium Opened"
    processor.SendData("abc", 3);
    processor.SendString("de");
    processor.SendData(nullptr, 3); // nothing
    processor.SendData("abc", 0);   // nothing
    processor.SendString("");       // nothing
    EXPECT_EQ(filtered, c.filtered);
    EXPECT_EQ(pty.read(c.portGets.size(), 300ms), c.portGets);
    EXPECT_EQ(log.lines, c.logged);
    EXPECT_EQ(processor.Timer().Enabled(), c.filterHandles); // handled: the time-out restarts
    rs.SetActive(false);
    rs.SetDataProcessor(nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Send, ProcessorSend,
    ::testing::Values(SendCase{"NotHandled", false, "abcde", {{2, "DoDataSend: 3 bytes"}}, {"0:abc", "1:de"}},
                      SendCase{"Handled", true, "", {{2, "DoDataSend: 3 bytes"}}, {"0:abc", "1:de"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DataProcessor, SendErrorsAreSwallowed) {
    TspComm rs; // closed: SendData raises
    TspCustomDataProcessor processor;
    rs.SetDataProcessor(&processor);
    EXPECT_NO_THROW(processor.SendData("a", 1));
    EXPECT_NO_THROW(processor.SendString("a"));
    processor.OnSendFilter = [](TspCustomDataProcessor*, const void*, uint32_t, TspSendKind, bool&) { throw std::runtime_error("x"); };
    EXPECT_NO_THROW(processor.SendString("a"));
    rs.SetDataProcessor(nullptr);
}

TEST(DataProcessor, TimeOutFiresOnceOnTheMainThread) {
    MainLoop loop;
    ProbeProcessor processor(loop.dispatcher());
    processor.loop = &loop;
    EXPECT_FALSE(processor.Timer().Enabled()); // created disabled
    processor.StartTimeOut(20);
    ASSERT_TRUE(loop.pumpUntil([&] { return processor.timeouts == 1; }));
    EXPECT_TRUE(processor.timeoutOnMain);
    loop.pumpFor(80ms);
    EXPECT_EQ(processor.timeouts, 1); // stopped when it fired
    processor.StartTimeOut(20);
    processor.StartTimeOut(0); // stops it
    loop.pumpFor(80ms);
    EXPECT_EQ(processor.timeouts, 1);
}

// ---- the timer

struct TimerCase {
    const char* name;
    uint32_t interval;
    bool enabled;
    bool handler;
    bool ticks;
};

class TimerRules : public ::testing::TestWithParam<TimerCase> {};

TEST_P(TimerRules, RunsOnlyWithIntervalEnabledAndHandler) {
    const auto& c = GetParam();
    MainLoop loop;
    int ticks = 0;
    bool onMain = true;
    {
        TspTimer timer(loop.dispatcher());
        EXPECT_EQ(timer.Interval(), 1000u);
        EXPECT_TRUE(timer.Enabled());
        timer.SetInterval(c.interval);
        timer.SetEnabled(c.enabled);
        if (c.handler)
            timer.SetOnTimer([&](TspTimer*) {
                ++ticks;
                onMain = onMain && loop.onMainThread();
                throw std::runtime_error("swallowed");
            });
        EXPECT_EQ(timer.Running(), c.ticks);
        loop.pumpFor(100ms);
        timer.SetEnabled(false);
        const int atStop = ticks;
        loop.pumpFor(50ms); // a tick queued before the stop is dropped
        EXPECT_EQ(ticks, atStop);
    }
    loop.pumpFor(30ms); // ticks queued before destruction find no timer
    EXPECT_EQ(ticks > 0, c.ticks);
    EXPECT_TRUE(onMain);
}

INSTANTIATE_TEST_SUITE_P(Timer, TimerRules,
                         ::testing::Values(TimerCase{"Runs", 10, true, true, true},
                                           TimerCase{"ZeroInterval", 0, true, true, false},
                                           TimerCase{"Disabled", 10, false, true, false},
                                           TimerCase{"NoHandler", 10, true, false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Timer, WithoutDispatcherItDoesNotTick) {
    int ticks = 0;
    TspTimer timer;
    timer.SetInterval(5);
    timer.SetOnTimer([&](TspTimer*) { ++ticks; });
    EXPECT_FALSE(timer.Running());
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(ticks, 0);
}

TEST(Timer, AHandlerMayStopOrRestartItsTimer) {
    MainLoop loop;
    int ticks = 0;
    TspTimer timer(loop.dispatcher());
    timer.SetInterval(5);
    timer.SetOnTimer([&](TspTimer* t) {
        ++ticks;
        t->SetEnabled(false);
        if (ticks == 1)
            t->SetEnabled(true); // restart once, stop for good on the second tick
    });
    ASSERT_TRUE(loop.pumpUntil([&] { return ticks == 2; }));
    loop.pumpFor(50ms);
    EXPECT_EQ(ticks, 2);
    EXPECT_FALSE(timer.Running());
}

// ---- the file log

class FileLogTest : public ::testing::Test {
protected:
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("talvern-filelog-" + std::to_string(::getpid()) + "-" +
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    void SetUp() override { std::filesystem::create_directories(dir); }
    void TearDown() override { std::filesystem::remove_all(dir); }
    static std::vector<std::string> lines(const std::filesystem::path& p) {
        std::ifstream in(p);
        std::vector<std::string> out;
        for (std::string l; std::getline(in, l);)
            out.push_back(l);
        return out;
    }
};

TEST_F(FileLogTest, OneStampedLinePerEntryAppended) {
    const auto path = dir / "trace.log";
    std::ofstream(path) << "kept from before\n";
    {
        FileLog log(path.string());
        TspComm rs;
        rs.SetLog(&log);
        rs.ReportCommError(4, 0, 0);
        log.WriteLine(2, "two\nlines");
        rs.SetLog(nullptr);
    }
    const auto got = lines(path);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0], "kept from before");
    // "YYYY-MM-DD HH:MM:SS.mmm " checked by shape (std::regex draws a false warning from g++ 12's sanitizer builds).
    ASSERT_GE(got[1].size(), 24u) << got[1];
    const std::string shape = "dddd-dd-dd dd:dd:dd.ddd ";
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const char c = got[1][i];
        EXPECT_TRUE(shape[i] == 'd' ? (c >= '0' && c <= '9') : c == shape[i]) << got[1];
    }
    EXPECT_EQ(got[1].substr(24), "[1] spComm: Communication Error 4:0");
    EXPECT_EQ(got[2].substr(24), "[2] two lines");
}

TEST_F(FileLogTest, NeverGrowsPastItsBoundAndKeepsOneOlderFile) {
    const auto path = dir / "trace.log";
    const uint64_t bound = 300;
    {
        FileLog log(path.string(), bound);
        for (int i = 0; i < 100; ++i)
            log.WriteLine(2, "entry " + std::to_string(i));
    }
    EXPECT_LE(std::filesystem::file_size(path), bound);
    EXPECT_LE(std::filesystem::file_size(path.string() + ".1"), bound);
    EXPECT_FALSE(std::filesystem::exists(path.string() + ".2"));
    const auto current = lines(path);
    const auto older = lines(path.string() + ".1");
    ASSERT_FALSE(current.empty());
    EXPECT_EQ(current.back().substr(24), "[2] entry 99");
    // No entry lost across the turn: .1 ends right before the current file begins.
    const int firstNow = std::stoi(current.front().substr(24 + 10));
    EXPECT_EQ(older.back().substr(24), "[2] entry " + std::to_string(firstNow - 1));
}

TEST_F(FileLogTest, AFileThatCannotBeWrittenIsReportedOnce) {
    FileLog log((dir / "missing" / "trace.log").string());
    int reports = 0;
    log.OnFatalError = [&](TspCustomLogFile*, uint32_t, uint32_t, const std::string&, bool& raise) {
        ++reports;
        raise = false;
    };
    log.WriteLine(0, "a");
    log.WriteLine(0, "b");
    EXPECT_EQ(reports, 1);
}

} // namespace
