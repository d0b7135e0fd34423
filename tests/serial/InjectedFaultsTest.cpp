// What a pseudo-terminal cannot produce — modem-line changes, line errors, EINTR, EAGAIN, EIO —
// injected through the backend, with a real pty under it for everything else.

#include "SerialBackend.h"
#include "SerialTestSupport.h"
#include "TspComm.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <deque>
#include <mutex>
#include <sys/ioctl.h>

using namespace talvern::serial;
using namespace talvern::serial::testing;
using namespace std::chrono_literals;

namespace {

class FaultBackend : public SerialBackend {
public:
    int modemLines(int) override {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }
    int setModemLines(int, int bits, bool on) override {
        std::lock_guard lock(m_mutex);
        m_lineCalls.push_back({bits, on});
        return 0;
    }
    int errorCounters(int, ErrorCounters& counters) override {
        std::lock_guard lock(m_mutex);
        counters = m_counters;
        return 0;
    }
    ssize_t write(int fd, const void* buffer, size_t count) override {
        {
            std::lock_guard lock(m_mutex);
            if (!m_writeResults.empty()) {
                const int injected = m_writeResults.front();
                m_writeResults.pop_front();
                if (injected < 0)
                    return injected;
                count = std::min(count, static_cast<size_t>(injected)); // a short write
            }
        }
        return SerialBackend::write(fd, buffer, count);
    }
    ssize_t read(int fd, void* buffer, size_t count) override {
        {
            std::lock_guard lock(m_mutex);
            if (m_readEintr > 0) {
                --m_readEintr;
                return -EINTR;
            }
        }
        return SerialBackend::read(fd, buffer, count);
    }
    int flush(int fd, int selector) override {
        {
            std::lock_guard lock(m_mutex);
            m_flushes.push_back(selector);
        }
        return SerialBackend::flush(fd, selector);
    }

    void setLines(int bits) {
        std::lock_guard lock(m_mutex);
        m_lines = bits;
    }
    void addFrameError() {
        std::lock_guard lock(m_mutex);
        ++m_counters.frame;
    }
    void addBreak() {
        std::lock_guard lock(m_mutex);
        ++m_counters.brk;
    }
    void injectWrites(std::initializer_list<int> results) {
        std::lock_guard lock(m_mutex);
        m_writeResults.insert(m_writeResults.end(), results);
    }
    void injectReadEintr(int times) {
        std::lock_guard lock(m_mutex);
        m_readEintr = times;
    }
    std::vector<std::pair<int, bool>> lineCalls() {
        std::lock_guard lock(m_mutex);
        return m_lineCalls;
    }
    std::vector<int> flushes() {
        std::lock_guard lock(m_mutex);
        return m_flushes;
    }

private:
    std::mutex m_mutex;
    int m_lines = TIOCM_DSR | TIOCM_CD;
    ErrorCounters m_counters;
    std::deque<int> m_writeResults;
    int m_readEintr = 0;
    std::vector<std::pair<int, bool>> m_lineCalls;
    std::vector<int> m_flushes;
};

class CheckBox : public TspCheckable {
public:
    void SetChecked(bool checked) override { value = checked; }
    bool value = false;
};

class InjectedFaultsTest : public ::testing::TestWithParam<Delivery> {
protected:
    void SetUp() override {
        m_map.map().setEntry(1, m_pty.path());
        m_rs.SetPortMap(m_map.map());
        m_loop.attach(m_rs, GetParam());
        m_rs.SetStreamProtocol(TStreamProtocol::spNone);
        m_rs.OnAfterReceive = [this](TspBaseIO*, const uint8_t* data, uint32_t n) {
            m_received.append(reinterpret_cast<const char*>(data), n);
        };
        m_rs.OnCommError = [this](TspBaseIO*, uint32_t code, uint32_t err, TComStateFlags, bool& flash) {
            EXPECT_TRUE(m_loop.onMainThread());
            m_commErrors.push_back({code, err});
            flash = m_flashOnError;
        };
        m_rs.OnTraceState = [this](TspBaseIO*, TTraceStates flags) { m_traces.push_back(flags); };
    }

    FaultBackend m_backend;
    CheckBox m_cts, m_dsr, m_rlsd; // outlive the component that points at them
    TempMap m_map;
    PtyPair m_pty;
    MainLoop m_loop;
    TspComm m_rs{&m_backend};
    std::string m_received;
    std::vector<std::pair<uint32_t, uint32_t>> m_commErrors;
    std::vector<TTraceStates> m_traces;
    bool m_flashOnError = false;
};

TEST_P(InjectedFaultsTest, ModemLineChangesReachTraceStateAndMonitors) {
    m_rs.MonitorCTS = &m_cts;
    m_rs.MonitorDSR = &m_dsr;
    m_rs.MonitorRLSD = &m_rlsd;
    m_rs.SetTraceStates({TTraceState::tsCTS, TTraceState::tsRing});
    m_rs.SetActive(true);
    m_traces.clear();
    m_backend.setLines(TIOCM_DSR | TIOCM_CD | TIOCM_CTS);
    ASSERT_TRUE(m_loop.pumpUntil([&] { return !m_traces.empty(); }));
    EXPECT_EQ(m_traces[0], TTraceStates{TTraceState::tsCTS});
    EXPECT_TRUE(m_cts.value);
    EXPECT_TRUE(m_dsr.value);
    EXPECT_TRUE(m_rlsd.value);
    EXPECT_TRUE(m_rs.ModemSignals().contains(TModemSignal::msCTS));

    // DSR is not traced: its change brings no event.
    m_traces.clear();
    m_backend.setLines(TIOCM_CTS);
    m_loop.pumpFor(60ms);
    EXPECT_TRUE(m_traces.empty());
}

TEST_P(InjectedFaultsTest, LineErrorComesFirstAndTheBytesWithTheNextEvent) {
    m_rs.SetActive(true);
    m_backend.addFrameError();
    m_pty.write("AB");
    ASSERT_TRUE(m_loop.pumpUntil([&] { return !m_commErrors.empty(); }));
    EXPECT_EQ(m_commErrors[0], std::make_pair(ce::Frame, 0u));
    m_loop.pumpFor(50ms);
    EXPECT_EQ(m_received, ""); // held back with the error
    m_pty.write("C");
    ASSERT_TRUE(m_loop.pumpUntil([&] { return m_received == "ABC"; }));
    EXPECT_EQ(m_commErrors.size(), 1u);
}

TEST_P(InjectedFaultsTest, FlashBuffersFromTheHandlerPurgesBothQueues) {
    m_flashOnError = true;
    m_rs.SetActive(true);
    m_backend.addFrameError();
    m_pty.write("junk");
    ASSERT_TRUE(m_loop.pumpUntil([&] { return !m_commErrors.empty(); }));
    const auto flushes = m_backend.flushes();
    EXPECT_NE(std::find(flushes.begin(), flushes.end(), TCIOFLUSH), flushes.end());
}

TEST_P(InjectedFaultsTest, TracedBreakIsReportedAsALineError) {
    // The break event brings the error word with it, and a line error ends the event's handling.
    m_rs.SetTraceStates({TTraceState::tsBreak});
    m_rs.SetActive(true);
    m_backend.addBreak();
    ASSERT_TRUE(m_loop.pumpUntil([&] { return !m_commErrors.empty(); }));
    EXPECT_EQ(m_commErrors[0], std::make_pair(ce::Break, 0u));
}

TEST_P(InjectedFaultsTest, InterruptedAndShortWritesStillSendEverything) {
    m_rs.SetActive(true);
    m_backend.injectWrites({-EINTR, 2, -EAGAIN, -EINTR, 1});
    m_rs.SendString("0123456789");
    EXPECT_EQ(m_pty.read(10), "0123456789");
    EXPECT_TRUE(m_commErrors.empty());

    m_backend.injectWrites({-EAGAIN, 3});
    m_rs.SendData("abcdef", 6); // the rest goes out from the watcher
    EXPECT_EQ(m_pty.read(6), "abcdef");
    EXPECT_TRUE(m_commErrors.empty());
}

TEST_P(InjectedFaultsTest, FailedWriteIsReportedWithItsSystemError) {
    m_rs.SetActive(true);
    m_backend.injectWrites({-EIO});
    m_rs.SendString("lost");
    ASSERT_EQ(m_commErrors.size(), 1u);
    EXPECT_EQ(m_commErrors[0], std::make_pair(0u, static_cast<uint32_t>(EIO)));
    m_backend.injectWrites({-ENXIO});
    m_rs.SendData("x", 1);
    ASSERT_EQ(m_commErrors.size(), 2u);
    EXPECT_EQ(m_commErrors[1], std::make_pair(0u, static_cast<uint32_t>(ENXIO)));
}

TEST_P(InjectedFaultsTest, InterruptedReadIsRetried) {
    m_rs.SetActive(true);
    m_backend.injectReadEintr(2);
    m_pty.write("xyz");
    EXPECT_TRUE(m_loop.pumpUntil([&] { return m_received == "xyz"; }));
}

TEST_P(InjectedFaultsTest, EmulatedRS485RaisesRtsForSendingAndDropsItWhenEmpty) {
    m_rs.SetRS485Mode(true);
    m_rs.SetActive(true);
    ASSERT_TRUE(m_rs.RtsEmulation()); // a pty offers no RS-485 mode
    EXPECT_NE(m_rs.EventMask() & ev::TxEmpty, 0u);
    const size_t before = m_backend.lineCalls().size();
    m_rs.SendString("485");
    EXPECT_EQ(m_pty.read(3), "485");
    ASSERT_TRUE(m_loop.pumpUntil([&] {
        const auto calls = m_backend.lineCalls();
        return calls.size() >= before + 2 && calls.back() == std::make_pair(int(TIOCM_RTS), false);
    }));
    EXPECT_EQ(m_backend.lineCalls()[before], std::make_pair(int(TIOCM_RTS), true));
}

TEST_P(InjectedFaultsTest, TransmitEmptyFiresOnAfterSendWhenTraced) {
    int sent = 0;
    m_rs.OnAfterSend = [&](TspBaseIO*) { ++sent; };
    m_rs.SetTraceStates({TTraceState::tsTxEmpty});
    m_rs.SetActive(true);
    m_rs.SendString("done");
    EXPECT_EQ(m_pty.read(4), "done");
    EXPECT_TRUE(m_loop.pumpUntil([&] { return sent == 1; }));
}

INSTANTIATE_TEST_SUITE_P(Delivery, InjectedFaultsTest, ::testing::Values(Delivery::Queued, Delivery::Doorbell),
                         [](const auto& info) { return deliveryName(info.param); });

} // namespace
