// The component on real pseudo-terminals; the test plays the far side and runs the main loop.

#include "SerialError.h"
#include "SerialTestSupport.h"
#include "TspComm.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <poll.h>
#include <thread>

using namespace talvern::serial;
using namespace talvern::serial::testing;
using namespace std::chrono_literals;

namespace {

class TspCommPtyTest : public ::testing::TestWithParam<Delivery> {
protected:
    void SetUp() override {
        m_map.map().setEntry(1, m_pty.path());
        m_rs.SetPortMap(m_map.map());
        m_loop.attach(m_rs, GetParam());
        m_rs.SetStreamProtocol(TStreamProtocol::spNone); // as the program stores it
        m_rs.SetErrorDisplay([this](const std::string& text) { m_shown.push_back(text); });
        m_rs.OnAfterReceive = [this](TspBaseIO* com, const uint8_t* data, uint32_t n) {
            EXPECT_EQ(com, &m_rs);
            EXPECT_TRUE(m_loop.onMainThread());
            m_received.append(reinterpret_cast<const char*>(data), n);
            ++m_receiveCalls;
        };
        m_rs.OnClose = [this](TspBaseIO*) { ++m_closes; };
    }

    TempMap m_map;
    PtyPair m_pty;
    MainLoop m_loop;
    TspComm m_rs;
    std::string m_received;
    int m_receiveCalls = 0;
    std::atomic<int> m_closes{0};
    std::vector<std::string> m_shown;
};

TEST_P(TspCommPtyTest, OpensSendsAndReceivesInOrderOnTheMainThread) {
    m_rs.SetActive(true);
    ASSERT_TRUE(m_rs.Active());
    EXPECT_EQ(m_rs.GetPortName(), "COM1");

    const std::string frame("\x5A\x03\x10\x00\x49", 5);
    m_rs.SendString(frame);
    EXPECT_EQ(m_pty.read(frame.size()), frame);

    std::string expected;
    for (int i = 0; i < 200; ++i) {
        const std::string chunk = "<" + std::to_string(i) + std::string(static_cast<size_t>(i % 37), 'x') + ">";
        expected += chunk;
        m_pty.write(chunk);
        if (i % 50 == 0)
            std::this_thread::sleep_for(2ms);
    }
    EXPECT_TRUE(m_loop.pumpUntil([&] { return m_received.size() >= expected.size(); }));
    EXPECT_EQ(m_received, expected); // split or merged, but every byte, in order
    EXPECT_GE(m_receiveCalls, 1);

    m_rs.SendChar(0x41);
    m_rs.SendData("BCD", 3);
    m_rs.SendString("EF");
    EXPECT_EQ(m_pty.read(6), "ABCDEF");

    m_rs.SetActive(false);
    EXPECT_FALSE(m_rs.Active());
    EXPECT_EQ(m_closes, 1);
}

TEST_P(TspCommPtyTest, SlowHandlerStillGetsEveryByteInOrder) {
    // While the main thread is busy in a handler, new bytes wait behind the event in hand; the
    // next idle moment may hand the next event over by the doorbell again.
    bool inHandler = false;
    bool overlapped = false;
    m_rs.OnAfterReceive = [&](TspBaseIO*, const uint8_t* data, uint32_t n) {
        overlapped = overlapped || inHandler;
        inHandler = true;
        m_received.append(reinterpret_cast<const char*>(data), n);
        std::this_thread::sleep_for(std::chrono::microseconds(300 * (n % 4)));
        inHandler = false;
    };
    m_rs.SetActive(true);
    std::string expected;
    std::thread farSide([&] {
        for (int i = 0; i < 300; ++i) {
            m_pty.write("[" + std::to_string(i) + "]");
            std::this_thread::sleep_for(std::chrono::microseconds(50 * (i % 7)));
        }
    });
    for (int i = 0; i < 300; ++i)
        expected += "[" + std::to_string(i) + "]";
    EXPECT_TRUE(m_loop.pumpUntil([&] { return m_received.size() >= expected.size(); }, 10s));
    farSide.join();
    EXPECT_EQ(m_received, expected);
    EXPECT_FALSE(overlapped);
}

TEST_P(TspCommPtyTest, BurstLargerThanTheReadBufferArrivesWholeAndInOrder) {
    // The read takes what arrives while it reads, up to the 8 KiB buffer; a burst fills it
    // often, and the rest comes through follow-up events that must stay in order with the new
    // arrivals behind them.
    bool inHandler = false;
    bool overlapped = false;
    int fullReads = 0;
    m_rs.OnAfterReceive = [&](TspBaseIO*, const uint8_t* data, uint32_t n) {
        EXPECT_TRUE(m_loop.onMainThread());
        EXPECT_LE(n, 8192u);
        fullReads += n == 8192 ? 1 : 0;
        overlapped = overlapped || inHandler;
        inHandler = true;
        m_received.append(reinterpret_cast<const char*>(data), n);
        inHandler = false;
    };
    m_rs.SetActive(true);
    std::string expected;
    for (int i = 0; expected.size() < (1u << 20); ++i)
        expected += std::to_string(i) + ",";
    std::thread farSide([&] {
        for (size_t at = 0; at < expected.size(); at += 4096)
            m_pty.write(expected.substr(at, 4096));
    });
    EXPECT_TRUE(m_loop.pumpUntil([&] { return m_received.size() >= expected.size(); }, 20s));
    farSide.join();
    EXPECT_TRUE(m_received == expected) << m_received.size() << " of " << expected.size() << " bytes";
    EXPECT_FALSE(overlapped);
    RecordProperty("full_reads", fullReads);
}

TEST_P(TspCommPtyTest, SwitchingUseMainThreadWhileOpenLosesNoByte) {
    // Which thread runs the handlers changes while the port is open; no byte is lost or
    // repeated, whether it comes between the switches or during one.
    std::mutex mutex;
    std::string received;
    m_rs.OnAfterReceive = [&](TspBaseIO*, const uint8_t* data, uint32_t n) {
        std::lock_guard lock(mutex);
        received.append(reinterpret_cast<const char*>(data), n);
    };
    const auto receivedSoFar = [&] {
        std::lock_guard lock(mutex);
        return received;
    };
    m_rs.SetActive(true);
    std::string expected;
    for (int round = 0; round < 6; ++round) {
        const std::string piece = "<" + std::to_string(round) + ">";
        expected += piece;
        m_pty.write(piece);
        // Either thread may be the one delivering: keep the main loop running while waiting.
        EXPECT_TRUE(m_loop.pumpUntil([&] { return receivedSoFar() == expected; }))
            << "round " << round << " got " << receivedSoFar();
        m_rs.SetUseMainThread(round % 2 == 1);
    }
    std::string stream;
    for (int i = 0; i < 400; ++i)
        stream += "(" + std::to_string(i) + ")";
    expected += stream;
    std::thread farSide([&] {
        for (size_t at = 0; at < stream.size(); at += 7) {
            m_pty.write(stream.substr(at, 7));
            std::this_thread::sleep_for(100us);
        }
    });
    for (int i = 0; i < 40; ++i) {
        m_rs.SetUseMainThread(i % 2 == 0);
        m_loop.pumpFor(2ms);
    }
    farSide.join();
    m_rs.SetUseMainThread(true);
    EXPECT_TRUE(m_loop.pumpUntil([&] { return receivedSoFar().size() >= expected.size(); }));
    EXPECT_EQ(receivedSoFar(), expected);
}

TEST_P(TspCommPtyTest, LineSettingsReachTheDevice) {
    m_rs.SetActive(true);
    termios tio{};
    ASSERT_EQ(::tcgetattr(m_pty.far(), &tio), 0); // a pty shares the termios between its sides
    EXPECT_EQ(::cfgetospeed(&tio), B19200);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_NE(tio.c_cflag & CLOCAL, 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);

    m_rs.SetBaudRate(115200); // applied at once, without a close
    ASSERT_EQ(::tcgetattr(m_pty.far(), &tio), 0);
    EXPECT_EQ(::cfgetospeed(&tio), B115200);
    m_rs.SetStreamProtocol(TStreamProtocol::spXonXoff);
    ASSERT_EQ(::tcgetattr(m_pty.far(), &tio), 0);
    EXPECT_NE(tio.c_iflag & IXON, 0u);
    EXPECT_EQ(m_closes, 0);
}

TEST_P(TspCommPtyTest, ComPortChangedWhileOpenClosesAndReopens) {
    PtyPair second;
    m_map.map().setEntry(2, second.path());
    m_rs.SetActive(true);
    m_rs.SetComPort(TComPort::cpCOM2);
    EXPECT_EQ(m_closes, 1);
    EXPECT_TRUE(m_rs.Active());
    EXPECT_EQ(m_rs.ComPortNo(), 2);
    m_rs.SendString("on two");
    EXPECT_EQ(second.read(6), "on two");
    second.write("back");
    EXPECT_TRUE(m_loop.pumpUntil([&] { return m_received == "back"; }));

    m_rs.SetComPort(TComPort::cpCOMxx); // ignored
    EXPECT_EQ(m_rs.ComPortNo(), 2);
    EXPECT_EQ(m_closes, 1);
}

TEST_P(TspCommPtyTest, DeactivatingAClosedPortFiresNothing) {
    m_rs.SetActive(false);
    EXPECT_EQ(m_closes, 0);
    m_rs.SendString("nothing"); // closed: nothing written, nothing reported
    int errors = 0;
    m_rs.OnCommError = [&](TspBaseIO*, uint32_t, uint32_t, TComStateFlags, bool&) { ++errors; };
    m_rs.SendChar('x');
    m_rs.SendData("x", 1);
    EXPECT_EQ(errors, 0);
    EXPECT_EQ(m_pty.read(1, 50ms), "");
}

TEST_P(TspCommPtyTest, MissingDeviceRaisesTheOpenErrorAndStaysInactive) {
    m_map.map().setEntry(3, m_map.folder() + "/no-such-device");
    m_rs.SetComPortNo(3);
    TTraceStates traced;
    m_rs.OnTraceState = [&](TspBaseIO*, TTraceStates flags) { traced = flags; };
    try {
        m_rs.SetActive(true);
        FAIL() << "no error raised";
    } catch (const SerialError& error) {
        // The first line names the port, the second the device of the port map that was tried.
        EXPECT_EQ(std::string(error.what()),
                  "Device \"COM3\" Open Error !!!\r" + m_map.folder() + "/no-such-device: No such file or directory");
    }
    EXPECT_FALSE(m_rs.Active());
    EXPECT_EQ(m_closes, 0);
    EXPECT_EQ(traced, TTraceStates{TTraceState::tsTxEmpty}); // the close before the open still reports
}

TEST_P(TspCommPtyTest, FatalErrorHandlerCanKeepTheOpenErrorQuiet) {
    m_map.map().setEntry(3, m_map.folder() + "/no-such-device");
    m_rs.SetComPortNo(3);
    std::string seen;
    m_rs.OnFatalError = [&](TspBaseIO*, uint32_t code, uint32_t detail, const std::string& text, bool& raise) {
        EXPECT_EQ(code, 1u);
        EXPECT_EQ(detail, 0u);
        seen = text;
        raise = false;
    };
    EXPECT_NO_THROW(m_rs.SetActive(true));
    EXPECT_FALSE(m_rs.Active());
    EXPECT_EQ(seen.rfind("Device \"COM3\" Open Error !!!\r", 0), 0u);
}

TEST_P(TspCommPtyTest, SecondOpenOfTheSamePortFails) {
    m_rs.SetActive(true);
    TspComm other;
    other.SetPortMap(m_map.map());
    try {
        other.SetActive(true);
        FAIL() << "the port was opened twice";
    } catch (const SerialError& error) {
        EXPECT_EQ(std::string(error.what()).rfind("Device \"COM1\" Open Error !!!\r", 0), 0u);
    }
    EXPECT_FALSE(other.Active());
    EXPECT_EQ(other.LastOpenError(), EBUSY);
    m_rs.SetActive(false);
    EXPECT_NO_THROW(other.SetActive(true)); // free again after the close
    EXPECT_TRUE(other.Active());
}

TEST_P(TspCommPtyTest, ExceptionInReceiveHandlerIsShownOncePerEventAndLaterEventsArrive) {
    int calls = 0;
    m_rs.OnAfterReceive = [&](TspBaseIO*, const uint8_t* data, uint32_t n) {
        ++calls;
        m_received.append(reinterpret_cast<const char*>(data), n);
        throw std::runtime_error("bad frame");
    };
    m_rs.SetActive(true);
    for (const char* part : {"a", "b", "c"}) {
        const size_t before = m_received.size();
        m_pty.write(part);
        ASSERT_TRUE(m_loop.pumpUntil([&] { return m_received.size() > before; }));
    }
    EXPECT_EQ(m_received, "abc");
    EXPECT_EQ(m_shown.size(), static_cast<size_t>(calls));
    for (const auto& text : m_shown)
        EXPECT_EQ(text, "bad frame");
    EXPECT_TRUE(m_rs.Active());
}

TEST_P(TspCommPtyTest, BytesWithoutReceiverWaitInTheQueueUntilOneIsAssigned) {
    auto handler = m_rs.OnAfterReceive;
    m_rs.OnAfterReceive = nullptr;
    m_rs.SetActive(true);
    m_pty.write("early");
    m_loop.pumpFor(100ms);
    EXPECT_EQ(m_rs.ComStat().cbInQue, 5u); // still in the driver's queue
    m_rs.OnAfterReceive = handler;
    m_pty.write("+late");
    EXPECT_TRUE(m_loop.pumpUntil([&] { return m_received == "early+late"; }));
}

TEST_P(TspCommPtyTest, WithoutMainThreadTheMessageThreadDelivers) {
    std::mutex mutex;
    std::string received;
    bool onMain = true;
    m_rs.SetUseMainThread(false);
    m_rs.OnAfterReceive = [&](TspBaseIO*, const uint8_t* data, uint32_t n) {
        std::lock_guard lock(mutex);
        received.append(reinterpret_cast<const char*>(data), n);
        onMain = m_loop.onMainThread();
    };
    m_rs.SetActive(true);
    m_pty.write("direct");
    const auto until = std::chrono::steady_clock::now() + 5s;
    for (;;) {
        {
            std::lock_guard lock(mutex);
            if (received == "direct" || std::chrono::steady_clock::now() > until)
                break;
        }
        std::this_thread::sleep_for(1ms);
    }
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(received, "direct");
        EXPECT_FALSE(onMain);
    }

    // Switched on while open, the main thread gets the handlers from then on.
    m_rs.SetUseMainThread(true);
    m_pty.write("+main");
    EXPECT_TRUE(m_loop.pumpUntil([&] {
        std::lock_guard lock(mutex);
        return received == "direct+main";
    }));
    std::lock_guard lock(mutex);
    EXPECT_TRUE(onMain);
}

TEST_P(TspCommPtyTest, CloseFromInsideTheReceiveHandler) {
    m_rs.OnAfterReceive = [&](TspBaseIO*, const uint8_t* data, uint32_t n) {
        m_received.append(reinterpret_cast<const char*>(data), n);
        m_rs.SetActive(false);
    };
    m_rs.SetActive(true);
    m_pty.write("bye");
    EXPECT_TRUE(m_loop.pumpUntil([&] { return !m_rs.Active(); }));
    EXPECT_EQ(m_closes, 1);
    m_loop.pumpFor(50ms);
}

TEST_P(TspCommPtyTest, NoReceiveAfterTheCloseOfANormalClose) {
    m_rs.SetActive(true);
    m_pty.write("pending");
    std::this_thread::sleep_for(20ms); // the event is queued for the main thread, not yet run
    m_rs.SetActive(false);
    const size_t afterClose = m_received.size();
    m_loop.pumpFor(100ms);
    EXPECT_EQ(m_received.size(), afterClose);
}

TEST_P(TspCommPtyTest, LoadingRecordsActiveAndOpensWhenLoaded) {
    m_rs.BeginLoading();
    m_rs.SetActive(true);
    EXPECT_TRUE(m_rs.Active()); // the value last assigned
    EXPECT_FALSE(m_rs.IsOpen());
    m_rs.Loaded();
    EXPECT_TRUE(m_rs.IsOpen());
    EXPECT_TRUE(m_shown.empty());
}

TEST_P(TspCommPtyTest, OpenFailureAfterLoadingIsShownNotRaised) {
    m_map.map().setEntry(3, m_map.folder() + "/no-such-device");
    m_rs.BeginLoading();
    m_rs.SetComPortNo(3);
    m_rs.SetActive(true);
    EXPECT_NO_THROW(m_rs.Loaded());
    EXPECT_FALSE(m_rs.Active());
    EXPECT_EQ(m_shown, std::vector<std::string>{"error"});
}

TEST_P(TspCommPtyTest, FailingCloseHandlerDoesNotStopTheClose) {
    m_rs.OnClose = [this](TspBaseIO*) {
        ++m_closes;
        throw std::runtime_error("handler failed");
    };
    m_rs.SetActive(true);
    EXPECT_NO_THROW(m_rs.SetActive(false));
    EXPECT_FALSE(m_rs.Active());
    EXPECT_EQ(m_closes, 1);
    EXPECT_NO_THROW(m_rs.SetActive(true)); // the port was released
}

// The main thread reads arriving bytes without asking the doorbell's set what woke it. Bytes
// nobody takes must still not keep the set readable (the event loop would spin), and must come
// with the next arrival once someone takes them; bytes read leave the set quiet too.
TEST(DoorbellTest, BytesLeftUnreadKeepNoLoopAwakeAndComeWithTheNextArrival) {
    TempMap map;
    PtyPair pty;
    MainLoop loop;
    TspComm rs;
    map.map().setEntry(1, pty.path());
    rs.SetPortMap(map.map());
    loop.attach(rs, Delivery::Doorbell);
    rs.SetActive(true);
    ASSERT_TRUE(rs.Active());
    pollfd doorbell{rs.WatchDoorbell(), POLLIN, 0};

    pty.write("abc"); // no receiver and no tsRxChar: left in the driver
    loop.pumpFor(50ms);
    EXPECT_EQ(::poll(&doorbell, 1, 0), 0);

    std::string received;
    rs.OnAfterReceive = [&](TspBaseIO*, const uint8_t* data, uint32_t n) {
        received.append(reinterpret_cast<const char*>(data), n);
    };
    pty.write("de");
    EXPECT_TRUE(loop.pumpUntil([&] { return received == "abcde"; })) << received;
    loop.pumpFor(20ms);
    EXPECT_EQ(::poll(&doorbell, 1, 0), 0);
    rs.SetActive(false);
}

INSTANTIATE_TEST_SUITE_P(Delivery, TspCommPtyTest, ::testing::Values(Delivery::Queued, Delivery::Doorbell),
                         [](const auto& info) { return deliveryName(info.param); });

} // namespace
