// The line utilities and the stored port setup, on a real pty with the modem lines played by the
// backend (a pty has none): a device that answers DTR with DSR and sends its identification
// when RTS comes on.

#include "SerialBackend.h"
#include "SerialError.h"
#include "SerialTestSupport.h"
#include "TspComm.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <sys/ioctl.h>
#include <thread>

using namespace talvern::serial;
using namespace talvern::serial::testing;
using namespace std::chrono_literals;

namespace {

class ModemDevice : public SerialBackend {
public:
    explicit ModemDevice(const PtyPair& pty) : m_pty(pty) {}

    bool answersDsr = true;
    std::string identification; // sent on every RTS off -> on while DTR is on

    int modemLines(int fd) override {
        noteTouch(fd);
        std::lock_guard lock(m_mutex);
        return (m_dtr && answersDsr) ? TIOCM_DSR : 0;
    }
    int setModemLines(int fd, int bits, bool on) override {
        noteTouch(fd);
        std::string send;
        {
            std::lock_guard lock(m_mutex);
            if (bits & TIOCM_DTR)
                m_dtr = on;
            if (bits & TIOCM_RTS) {
                if (on && !m_rts && m_dtr)
                    send = identification;
                m_rts = on;
            }
        }
        if (!send.empty())
            m_pty.write(send);
        return 0;
    }
    int inputQueued(int fd) override {
        noteTouch(fd);
        return SerialBackend::inputQueued(fd);
    }
    void closeDevice(int fd) override {
        m_closed.insert(fd);
        SerialBackend::closeDevice(fd);
    }
    int openExclusive(const std::string& path) override {
        const int fd = SerialBackend::openExclusive(path);
        m_closed.erase(fd);
        std::lock_guard lock(m_mutex);
        m_dtr = m_rts = false; // a new open starts with the lines down
        return fd;
    }
    bool rts() {
        std::lock_guard lock(m_mutex);
        return m_rts;
    }
    // Calls on the test's thread with a descriptor the component had closed already.
    int touchedAfterClose() const { return m_touchedAfterClose; }
    std::thread::id mainThread = std::this_thread::get_id();

private:
    void noteTouch(int fd) {
        if (std::this_thread::get_id() == mainThread && m_closed.count(fd) != 0)
            ++m_touchedAfterClose;
    }
    const PtyPair& m_pty;
    std::mutex m_mutex;
    bool m_dtr = false;
    bool m_rts = false;
    std::multiset<int> m_closed; // main thread only
    std::atomic<int> m_touchedAfterClose{0};
};

class LogCapture : public TspCustomLogFile {
public:
    void WriteLine(int level, const std::string& text) override { lines.push_back({level, text}); }
    bool has(int level, const std::string& text) const {
        for (const auto& [l, t] : lines)
            if (l == level && t == "spComm: " + text)
                return true;
        return false;
    }
    std::vector<std::pair<int, std::string>> lines;
};

class MemoryStore : public ConfigStore {
public:
    std::optional<std::vector<uint8_t>> readBinary(const std::string&, const std::string&,
                                                   const std::string& name) override {
        if (failing)
            throw std::runtime_error("store failed");
        const auto it = values.find(name);
        return it == values.end() ? std::nullopt : std::optional(it->second);
    }
    void writeBinary(const std::string&, const std::string&, const std::string& name,
                     const std::vector<uint8_t>& bytes) override {
        if (failing)
            throw std::runtime_error("store failed");
        values[name] = bytes;
    }
    std::map<std::string, std::vector<uint8_t>> values;
    bool failing = false;
};

class LineUtilitiesTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_map.map().setEntry(1, m_pty.path());
        m_rs.SetPortMap(m_map.map());
        m_loop.attach(m_rs, Delivery::Queued);
        m_rs.SetStreamProtocol(TStreamProtocol::spNone);
        m_rs.SetLog(&m_log);
        m_rs.SetMessagePump([this] {
            ++m_pumped;
            m_loop.pumpFor(1ms);
        });
    }

    PtyPair m_pty;
    ModemDevice m_device{m_pty};
    TempMap m_map;
    MainLoop m_loop;
    LogCapture m_log;
    TspComm m_rs{&m_device};
    int m_pumped = 0;
};

TEST_F(LineUtilitiesTest, WaitsOnAClosedPortReturnFalseAtOnce) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(m_rs.WaitForInput(1, 500));
    EXPECT_FALSE(m_rs.WaitForModemSignal(static_cast<unsigned>(TModemSignal::msDSR), 500));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms);
}

TEST_F(LineUtilitiesTest, WaitsSeeTheirConditionAndKeepTheMainLoopRunning) {
    m_rs.SetTraceStates({TTraceState::tsRxChar, TTraceState::tsCTS});
    m_rs.SetActive(true);
    m_pty.write("xy");
    EXPECT_TRUE(m_rs.WaitForInput(2, 2000));
    EXPECT_FALSE(m_rs.WaitForInput(3, 50)); // only two came
    EXPECT_EQ(m_rs.TraceStates(), (TTraceStates{TTraceState::tsRxChar, TTraceState::tsCTS}));
    EXPECT_GT(m_pumped, 0);

    m_rs.SetDTR(true);
    EXPECT_TRUE(m_rs.WaitForModemSignal(static_cast<unsigned>(TModemSignal::msDSR), 500));
    EXPECT_FALSE(m_rs.WaitForModemSignal(static_cast<unsigned>(TModemSignal::msCTS), 30));
    // An ordinal above 7 never matches: the full time runs out.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(m_rs.WaitForModemSignal(8, 50));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);
}

// The pump runs the application's events, which may close the port (or close and open it
// again) while a wait runs: the wait ends with False and asks nothing more of the device.
TEST_F(LineUtilitiesTest, AWaitEndsWhenItsPortClosesUnderIt) {
    m_device.answersDsr = false; // nothing ends the waits but the close
    struct Case {
        const char* name;
        bool reopen;
        bool signalWait;
    };
    for (const Case c : {Case{"close during input wait", false, false}, Case{"reopen during input wait", true, false},
                         Case{"close during signal wait", false, true}, Case{"reopen during signal wait", true, true}}) {
        SCOPED_TRACE(c.name);
        m_rs.SetActive(true);
        int passes = 0;
        m_rs.SetMessagePump([&] {
            if (++passes == 3) {
                m_rs.SetActive(false);
                if (c.reopen)
                    m_rs.SetActive(true);
            }
        });
        const auto start = std::chrono::steady_clock::now();
        const bool result = c.signalWait ? m_rs.WaitForModemSignal(static_cast<unsigned>(TModemSignal::msDSR), 2000)
                                         : m_rs.WaitForInput(1, 2000);
        EXPECT_FALSE(result);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 1000ms);
        EXPECT_EQ(passes, 3);
        EXPECT_EQ(m_device.touchedAfterClose(), 0);
        EXPECT_EQ(m_rs.Active(), c.reopen);
        m_rs.SetActive(false);
    }
}

TEST_F(LineUtilitiesTest, TestConnectionWithAndWithoutDsr) {
    for (const bool dsr : {true, false}) {
        SCOPED_TRACE(dsr ? "DSR answers" : "no DSR");
        m_device.answersDsr = dsr;
        m_log.lines.clear();
        m_rs.SetActive(true);
        if (dsr) {
            EXPECT_NO_THROW(m_rs.TestConnection());
            EXPECT_TRUE(m_device.rts());
            EXPECT_TRUE(m_log.has(1, "The device connection was succesful tested"));
        } else {
            EXPECT_THROW(
                {
                    try {
                        m_rs.TestConnection();
                    } catch (const SerialError& e) {
                        EXPECT_STREQ(e.what(), "Device Connect Initialization Error");
                        throw;
                    }
                },
                SerialError);
            EXPECT_FALSE(m_device.rts());
        }
        m_rs.SetActive(false);
    }
}

TEST_F(LineUtilitiesTest, ReadPnPIdRestoresWhatItChanged) {
    struct Case {
        const char* name;
        std::string sent;
        bool openBefore;
        std::string expected;
    };
    const Case cases[] = {
        {"identification, closed before", "(ABC)", false, "(ABC)"},
        {"identification, open before", "(ABC)", true, "(ABC)"},
        {"bytes after the closing one stay out", "(ABC)xyz", false, "(ABC)"},
        {"0x08 ... 0x09 form", "\x08PNP\x09", false, "\x08PNP\x09"},
        {"a first byte of another kind", "ABC", false, ""},
        {"nothing sent, closed before", "", false, ""},
        {"nothing sent, open before", "", true, ""},
    };
    m_rs.SetBaudRate(9600);
    m_rs.SetByteSize(8);
    const TTraceStates traced{TTraceState::tsRxChar, TTraceState::tsDSR};
    m_rs.SetTraceStates(traced);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_device.identification = c.sent;
        m_rs.SetActive(c.openBefore);
        const TDCB before = m_rs.LineRecord();
        EXPECT_EQ(m_rs.ReadPnPId(), c.expected);
        EXPECT_EQ(std::memcmp(&before, &m_rs.LineRecord(), sizeof before), 0);
        EXPECT_EQ(m_rs.TraceStates(), traced);
        EXPECT_EQ(m_rs.Active(), c.openBefore);
        m_rs.SetActive(false);
        ::tcflush(m_pty.far(), TCIOFLUSH);
    }
}

// Without DSR the error is raised; the port the caller had closed is closed again.
TEST_F(LineUtilitiesTest, ReadPnPIdWithoutDsrLeavesActiveAsItWas) {
    m_device.answersDsr = false;
    for (const bool openBefore : {false, true}) {
        SCOPED_TRACE(openBefore ? "open before" : "closed before");
        m_rs.SetActive(openBefore);
        EXPECT_THROW(m_rs.ReadPnPId(), SerialError);
        EXPECT_EQ(m_rs.Active(), openBefore);
        // The same when an OnFatalError handler keeps the error from being raised.
        m_rs.OnFatalError = [](TspBaseIO*, uint32_t, uint32_t, const std::string&, bool& raise) { raise = false; };
        EXPECT_EQ(m_rs.ReadPnPId(), "");
        EXPECT_EQ(m_rs.Active(), openBefore);
        m_rs.OnFatalError = nullptr;
        m_rs.SetActive(false);
    }
}

TEST_F(LineUtilitiesTest, LoadConfigTakesOnlyA49ByteValue) {
    MemoryStore store;
    m_rs.SetConfigStore(&store);
    m_rs.SetBaudRate(19200);
    m_rs.SetTimeoutWrite(250);
    m_rs.SaveConfig("HKEY_CURRENT_USER", "Software\\Test", "Port");
    EXPECT_TRUE(m_log.has(1, "Configuration was saved"));
    ASSERT_EQ(store.values["Port"].size(), 49u);
    EXPECT_EQ(store.values["Port"][0], 1);
    const std::vector<uint8_t> saved = store.values["Port"];

    struct Case {
        const char* name;
        std::vector<uint8_t> value;
        uint32_t expectedBaud;
    };
    // The wrong lengths name another port too: nothing of them may be taken.
    std::vector<uint8_t> shorter(saved.begin(), saved.end() - 1);
    shorter[0] = 3;
    std::vector<uint8_t> longer = saved;
    longer[0] = 3;
    longer.push_back(0);
    for (const Case& c : {Case{"48 bytes", shorter, 4800}, Case{"50 bytes", longer, 4800}, Case{"49 bytes", saved, 19200}}) {
        SCOPED_TRACE(c.name);
        store.values["Port"] = c.value;
        m_rs.SetBaudRate(4800);
        m_rs.SetTimeoutWrite(100);
        m_log.lines.clear();
        m_rs.LoadConfig("HKEY_CURRENT_USER", "Software\\Test", "Port");
        EXPECT_EQ(m_rs.BaudRate(), c.expectedBaud);
        EXPECT_EQ(m_rs.TimeoutWrite(), c.expectedBaud == 19200 ? 250u : 100u);
        EXPECT_EQ(m_rs.ComPortNo(), 1);
        EXPECT_TRUE(m_log.has(1, "Configuration was loaded"));
    }
}

TEST_F(LineUtilitiesTest, AFailingStoreIsReported) {
    MemoryStore store;
    store.failing = true;
    for (ConfigStore* s : {static_cast<ConfigStore*>(&store), static_cast<ConfigStore*>(nullptr)}) {
        m_rs.SetConfigStore(s);
        m_log.lines.clear();
        try {
            m_rs.SaveConfig("HKEY_CURRENT_USER", "Software\\Test", "Port");
            ADD_FAILURE() << "no error";
        } catch (const SerialError& e) {
            EXPECT_STREQ(e.what(), "Error on save config information from registry");
        }
        try {
            m_rs.LoadConfig("HKEY_CURRENT_USER", "Software\\Test", "Port");
            ADD_FAILURE() << "no error";
        } catch (const SerialError& e) {
            EXPECT_STREQ(e.what(), "Error on load config information from registry");
        }
        EXPECT_FALSE(m_log.has(1, "Configuration was loaded"));
    }
}

} // namespace
