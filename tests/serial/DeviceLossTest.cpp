// Device loss (the far side of the pty hangs up, as a pulled USB adapter does) and the
// open/close life cycle: no hang, no crash, OnClose once, nothing left behind.

#include "SerialError.h"
#include "SerialTestSupport.h"
#include "TspComm.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <thread>

using namespace talvern::serial;
using namespace talvern::serial::testing;
using namespace std::chrono_literals;

namespace {

class DeviceLossTest : public ::testing::TestWithParam<Delivery> {
protected:
    void SetUp() override {
        // COM1 names the device through a link, as a /dev/serial/by-id name does; the link goes
        // when the adapter is pulled. Pointing at the pty's own name instead would let another
        // test's new pty, given the freed number, answer a later open.
        m_link = m_map.folder() + "/usb-adapter";
        ASSERT_EQ(::symlink(m_pty.path().c_str(), m_link.c_str()), 0);
        m_map.map().setEntry(1, m_link);
        m_rs.SetPortMap(m_map.map());
        m_loop.attach(m_rs, GetParam());
        m_rs.SetStreamProtocol(TStreamProtocol::spNone);
        m_rs.SetErrorDisplay([](const std::string&) {});
        m_rs.OnAfterReceive = [this](TspBaseIO*, const uint8_t* data, uint32_t n) {
            m_received.append(reinterpret_cast<const char*>(data), n);
        };
        m_rs.OnClose = [this](TspBaseIO*) { ++m_closes; };
    }

    TempMap m_map;
    PtyPair m_pty;
    std::string m_link;
    MainLoop m_loop;
    TspComm m_rs;
    std::string m_received;
    std::atomic<int> m_closes{0};
};

TEST_P(DeviceLossTest, FarSideClosedMidStream) {
    m_rs.SetActive(true);
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        // The far side streams until it hangs up.
        for (int i = 0; i < 200 && !stop; ++i) {
            m_pty.write("0123456789");
            std::this_thread::sleep_for(100us);
        }
    });
    ASSERT_TRUE(m_loop.pumpUntil([&] { return m_received.size() >= 100; }));
    stop = true;
    writer.join();
    m_pty.closeFar();
    ::unlink(m_link.c_str());
    EXPECT_TRUE(m_loop.pumpUntil([&] { return !m_rs.Active(); }));
    m_loop.pumpFor(50ms);
    EXPECT_EQ(m_closes, 1);
    EXPECT_FALSE(m_rs.Active());

    // Sends on the lost port do nothing; a later open reports the missing device.
    m_rs.SendString("nothing");
    EXPECT_THROW(m_rs.SetActive(true), SerialError);
    EXPECT_FALSE(m_rs.Active());
    EXPECT_EQ(m_closes, 1);
}

TEST_P(DeviceLossTest, FarSideClosedWhileABlockingWriteWaits) {
    m_rs.SetTimeoutWrite(0); // no time-out: only the loss can end the write
    std::atomic<int> errors{0};
    std::atomic<uint32_t> sysError{0};
    m_rs.OnCommError = [&](TspBaseIO*, uint32_t code, uint32_t err, TComStateFlags, bool&) {
        EXPECT_EQ(code, 0u);
        sysError = err;
        ++errors;
    };
    m_rs.SetActive(true);
    std::thread hangup([&] {
        std::this_thread::sleep_for(100ms);
        m_pty.closeFar();
    });
    // Nobody reads the far side: the pty's queue fills and the write waits for room.
    m_rs.SendString(std::string(1 << 20, 'x'));
    hangup.join();
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(sysError, static_cast<uint32_t>(EIO));
    EXPECT_TRUE(m_loop.pumpUntil([&] { return m_closes == 1; }));
    EXPECT_FALSE(m_rs.Active());
}

TEST_P(DeviceLossTest, WriteTimeoutWithBytesLeftIsReported) {
    std::vector<uint32_t> errors;
    m_rs.OnCommError = [&](TspBaseIO*, uint32_t, uint32_t err, TComStateFlags, bool&) { errors.push_back(err); };
    m_rs.SetActive(true);
    m_pty.fillTowardsFar(); // the device takes nothing more: nobody reads the far side
    m_rs.SendString("frame"); // 5 bytes, 100 ms each at most
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], static_cast<uint32_t>(ETIMEDOUT));
    EXPECT_TRUE(m_rs.Active());
}

TEST_P(DeviceLossTest, WatchingStopsAfterTheLoss) {
    m_rs.SetActive(true);
    EXPECT_EQ(countWorkerThreads(), 2u);
    m_pty.closeFar();
    ASSERT_TRUE(m_loop.pumpUntil([&] { return m_closes == 1; }));
    // Both workers end by themselves: nothing is left polling the hung-up device.
    EXPECT_TRUE(m_loop.pumpUntil([&] { return countWorkerThreads() == 0; }));
    m_loop.pumpFor(50ms);
    EXPECT_EQ(m_closes, 1);
}

TEST_P(DeviceLossTest, DestroyingAnOpenComponentWithAnEventQueuedForTheMainThread) {
    auto rs = std::make_unique<TspComm>();
    rs->SetPortMap(m_map.map());
    m_loop.attach(*rs, GetParam());
    int received = 0;
    rs->OnAfterReceive = [&](TspBaseIO*, const uint8_t*, uint32_t) { ++received; };
    rs->SetActive(true);
    m_pty.write("late");
    std::this_thread::sleep_for(30ms); // the call (or the ring) waits in the main loop
    m_loop.detach();                   // as the program's event-loop bridge goes before the port
    rs.reset();                        // must neither hang nor let the late call touch it
    m_loop.pumpFor(50ms);
    EXPECT_EQ(received, 0);
}

class OpenCloseCycles : public ::testing::TestWithParam<Delivery> {};

TEST_P(OpenCloseCycles, FiveHundredCyclesLeaveNothingBehind) {
    TempMap map;
    PtyPair pty;
    map.map().setEntry(1, pty.path());
    MainLoop loop;
    TspComm rs;
    rs.SetPortMap(map.map());
    loop.attach(rs, GetParam());
    std::string received;
    rs.OnAfterReceive = [&](TspBaseIO*, const uint8_t* data, uint32_t n) {
        received.append(reinterpret_cast<const char*>(data), n);
    };
    int closes = 0;
    rs.OnClose = [&](TspBaseIO*) { ++closes; };

    rs.SetActive(true); // warm up whatever the first open allocates once
    rs.SetActive(false);
    loop.pumpFor(10ms);
    const size_t descriptors = countOpenDescriptors();
    for (int i = 0; i < 500; ++i) {
        rs.SetActive(true);
        if (i % 50 == 0) {
            pty.write("x");
            loop.pumpUntil([&] { return received.size() == static_cast<size_t>(i / 50 + 1); });
        }
        rs.SetActive(false);
    }
    loop.pumpFor(20ms);
    EXPECT_EQ(closes, 501);
    EXPECT_EQ(received, std::string(10, 'x'));
    EXPECT_EQ(countOpenDescriptors(), descriptors);
    EXPECT_EQ(countWorkerThreads(), 0u);
}

TEST_P(OpenCloseCycles, DeviceLossThenReopenOnANewDevice) {
    TempMap map;
    MainLoop loop;
    TspComm rs;
    rs.SetPortMap(map.map());
    loop.attach(rs, GetParam());
    std::atomic<int> closes{0};
    rs.OnClose = [&](TspBaseIO*) { ++closes; };
    for (int i = 0; i < 20; ++i) {
        PtyPair pty;
        map.map().setEntry(1, pty.path());
        rs.SetActive(true);
        pty.closeFar();
        ASSERT_TRUE(loop.pumpUntil([&] { return closes == i + 1; }));
    }
    rs.SetActive(false); // joins what the last loss left
    EXPECT_EQ(countWorkerThreads(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Delivery, OpenCloseCycles, ::testing::Values(Delivery::Queued, Delivery::Doorbell),
                         [](const auto& info) { return deliveryName(info.param); });

INSTANTIATE_TEST_SUITE_P(Delivery, DeviceLossTest, ::testing::Values(Delivery::Queued, Delivery::Doorbell),
                         [](const auto& info) { return deliveryName(info.param); });

} // namespace
