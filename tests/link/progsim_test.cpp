// The simulated programmer: frame parsing, the virtual card, and the whole simulator on a real
// pseudo-terminal driven from the program's end of the line.
#include "ComPortMap.h"
#include "Control.h"
#include "FrameParser.h"
#include "PtySimulator.h"
#include "VirtualProgrammer.h"

#include "card/AccessBlocks.h"
#include "card/CardWrite.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

using namespace talvern;
using namespace talvern::progsim;
using card::Bytes;
using Kind = ParsedItem::Kind;

namespace {

struct ParseCase {
    const char* name;
    std::vector<Bytes> chunks; // fed one after another
    bool flushAtEnd;
    std::vector<ParsedItem> expected;
};

class FrameParsing : public ::testing::TestWithParam<ParseCase> {};

TEST_P(FrameParsing, SplitsResynchronisesAndReports) {
    FrameParser parser;
    std::vector<ParsedItem> items;
    for (const Bytes& chunk : GetParam().chunks) {
        auto out = parser.feed(chunk.data(), chunk.size());
        items.insert(items.end(), out.begin(), out.end());
    }
    if (GetParam().flushAtEnd) {
        auto out = parser.flush();
        items.insert(items.end(), out.begin(), out.end());
    }
    ASSERT_EQ(items.size(), GetParam().expected.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].kind, GetParam().expected[i].kind) << i;
        EXPECT_EQ(items[i].bytes, GetParam().expected[i].bytes) << i;
    }
    EXPECT_FALSE(GetParam().flushAtEnd && parser.pending());
}

const Bytes kConnect{0x5A, 0x03, 0x07, 0x5E};
const Bytes kRead{0x5A, 0x03, 0x08, 0x51};

INSTANTIATE_TEST_SUITE_P(
    Progsim, FrameParsing,
    ::testing::Values(ParseCase{"whole", {kConnect}, false, {{Kind::Frame, kConnect}}},
                      ParseCase{"byteByByte", {{0x5A}, {0x03}, {0x07}, {0x5E}}, false, {{Kind::Frame, kConnect}}},
                      ParseCase{"twoInOne",
                                {{0x5A, 0x03, 0x07, 0x5E, 0x5A, 0x03, 0x08, 0x51}},
                                false,
                                {{Kind::Frame, kConnect}, {Kind::Frame, kRead}}},
                      ParseCase{"garbageFirst",
                                {{0x00, 0xFF, 0x5A, 0x03, 0x07, 0x5E}},
                                false,
                                {{Kind::Garbage, {0x00, 0xFF}}, {Kind::Frame, kConnect}}},
                      ParseCase{"badChecksumThenGood",
                                {{0x5A, 0x03, 0x07, 0x00, 0x5A, 0x03, 0x08, 0x51}},
                                false,
                                {{Kind::BadChecksum, {0x5A, 0x03, 0x07, 0x00}},
                                 {Kind::Garbage, {0x03, 0x07, 0x00}},
                                 {Kind::Frame, kRead}}},
                      ParseCase{"strayStartByteBeforeFrame",
                                {{0x5A, 0x5A, 0x03, 0x07, 0x5E}},
                                false,
                                {{Kind::Garbage, {0x5A}}, {Kind::Frame, kConnect}}},
                      ParseCase{"impossibleLength",
                                {{0x5A, 0x01, 0x5A, 0x03, 0x08, 0x51}},
                                false,
                                {{Kind::Garbage, {0x5A, 0x01}}, {Kind::Frame, kRead}}},
                      // A stray start byte with a plausible length swallows a real frame until the line falls idle.
                      ParseCase{"idleGivesUpPartialFrame",
                                {{0x5A, 0x0D}, kConnect},
                                true,
                                {{Kind::Garbage, {0x5A, 0x0D}}, {Kind::Frame, kConnect}}},
                      ParseCase{"idleWithNothing", {{0x11}}, true, {{Kind::Garbage, {0x11}}}}),
    [](const auto& info) { return std::string(info.param.name); });

card::CardImage userCard(card::CardIdentity id) {
    card::ReaderAccess access;
    access.set(0);
    access.set(23);
    return card::cardImage(id, card::accessBlocks(access));
}

TEST(VirtualProgrammer, StoresBlocksWithTheRightKeyOnly) {
    VirtualProgrammer programmer;
    programmer.placeBlankCard();
    const auto steps = card::planCardWrite({300, 70000, 2}, card::kCardKey, card::noAccessBlocks());
    for (const auto& step : steps) {
        EXPECT_EQ(programmer.handle(step.frame).answer, Bytes{kAck});
    }
    EXPECT_EQ(programmer.card(), card::cardImage({300, 70000, 2}, card::noAccessBlocks()));
    EXPECT_EQ(programmer.handle(card::readCardFrame()).answer, (Bytes{0x01, 0x2C, 0x11, 0x70, 0x12}));

    const card::CardKey wrongKey{1, 2, 3, 4};
    const auto foreign = card::planCardWrite({1, 1, 0}, wrongKey, card::noAccessBlocks());
    EXPECT_EQ(programmer.handle(foreign[0].frame).answer, Bytes{kNak});
    EXPECT_EQ(programmer.card(), card::cardImage({300, 70000, 2}, card::noAccessBlocks()));
}

TEST(VirtualProgrammer, AnswersConnectDisconnectAndShortAnswers) {
    VirtualProgrammer programmer;
    EXPECT_EQ(programmer.handle(card::connectFrame()).answer, Bytes{kAck});
    EXPECT_EQ(programmer.handle(card::disconnectFrame()).answer, Bytes{kAck});
    EXPECT_EQ(programmer.handle(card::readCardFrame()).answer, Bytes{kNak}); // no card
    const auto steps = card::planCardWrite({5, 5, 0}, card::kCardKey, card::noAccessBlocks());
    EXPECT_EQ(programmer.handle(steps[0].frame).answer, Bytes{kNak}); // no card to write
    programmer.placeBlankCard();
    EXPECT_EQ(programmer.handle(card::readCardFrame()).answer, Bytes{kNak}); // blank: does not decode
    card::CardImage damaged = userCard({7, 70000, 0});
    damaged[1][3] ^= 0x02; // a column-parity bit
    programmer.placeCard(damaged);
    EXPECT_EQ(programmer.handle(card::readCardFrame()).answer, Bytes{kNak});
    EXPECT_TRUE(programmer.handle(card::AppendChecksum({0x5A, 0x03, 0x33})).answer.empty());
}

TEST(VirtualProgrammer, DescribesTheCard) {
    EXPECT_EQ(describeCard(std::nullopt), "no card");
    const std::string text = describeCard(userCard({42, 70000, 2}));
    EXPECT_NE(text.find("user 42, system code 70000, duplicate 2"), std::string::npos) << text;
    EXPECT_NE(text.find("readers: 1 24"), std::string::npos) << text;
    EXPECT_NE(describeCard(card::CardImage{}).find("does not decode"), std::string::npos);
}

// The program's end of the line, opened as the serial component opens a port.
class ProgramEnd {
public:
    explicit ProgramEnd(const std::string& path) : m_fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {
        EXPECT_GE(m_fd, 0) << path;
        termios raw{};
        ::tcgetattr(m_fd, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(m_fd, TCSANOW, &raw);
    }
    ~ProgramEnd() { ::close(m_fd); }
    void write(const Bytes& bytes) { ASSERT_EQ(::write(m_fd, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
    int tryWrite(const Bytes& bytes) { return ::write(m_fd, bytes.data(), bytes.size()) < 0 ? errno : 0; }
    // Reads until count bytes arrived or the line stays quiet for the given time.
    Bytes read(std::size_t count, int quietMs = 2000) {
        Bytes out;
        while (out.size() < count) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, quietMs) <= 0) {
                break;
            }
            std::uint8_t b[64];
            const ssize_t n = ::read(m_fd, b, std::min(sizeof b, count - out.size()));
            if (n <= 0) {
                m_lastError = n < 0 ? errno : 0;
                m_ended = true;
                break;
            }
            out.insert(out.end(), b, b + n);
        }
        return out;
    }
    int lastError() const { return m_lastError; }
    bool ended() const { return m_ended; }

private:
    int m_fd;
    int m_lastError = 0;
    bool m_ended = false;
};

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "progsim-test-XXXXXX").string();
        m_path = ::mkdtemp(pattern.data());
    }
    ~TempFolder() { std::filesystem::remove_all(m_path); }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

TEST(PtySimulator, ProgramsAndReadsACardOverTheLine) {
    std::vector<std::string> log;
    std::mutex logMutex;
    SimulatorOptions options;
    options.onLog = [&](const std::string& line) {
        std::lock_guard lock(logMutex);
        log.push_back(line);
    };
    PtySimulator simulator(options);
    ProgramEnd program(simulator.devicePath());

    program.write(card::connectFrame());
    EXPECT_EQ(program.read(1), Bytes{kAck});
    for (const auto& step : card::planCardWrite({300, 70000, 2}, card::kCardKey, card::noAccessBlocks())) {
        program.write(step.frame);
    }
    EXPECT_EQ(program.read(6), Bytes(6, kAck));
    EXPECT_EQ(simulator.card(), card::cardImage({300, 70000, 2}, card::noAccessBlocks()));
    program.write(card::readCardFrame());
    EXPECT_EQ(program.read(5), (Bytes{0x01, 0x2C, 0x11, 0x70, 0x12}));
    ASSERT_TRUE(simulator.waitForFrames(8, std::chrono::seconds(2)));
    EXPECT_EQ(simulator.frames().front().bytes, card::connectFrame());

    // Garbage and a damaged frame are skipped; the next good frame is answered.
    program.write({0x00, 0x5A, 0x03, 0x07, 0x00, 0x13, 0x5A, 0x03, 0x09, 0x50});
    EXPECT_EQ(program.read(1), Bytes{kAck});
    EXPECT_EQ(simulator.badChecksums(), 1u);
    ASSERT_TRUE(simulator.waitForFrames(9, std::chrono::seconds(2)));
    EXPECT_EQ(simulator.frames().back().bytes, card::disconnectFrame());

    simulator.removeCard();
    program.write(card::readCardFrame());
    EXPECT_EQ(program.read(5, 300), Bytes{kNak});

    std::lock_guard lock(logMutex);
    bool sawBadChecksum = false;
    for (const auto& line : log) {
        sawBadChecksum |= line.find("<- 5A 03 07 00  bad checksum, ignored") != std::string::npos;
    }
    EXPECT_TRUE(sawBadChecksum);
    EXPECT_NE(log.front().find("programmer ready on " + simulator.devicePath()), std::string::npos);
}

TEST(PtySimulator, PacesItsAnswersAtTheBaudRate) {
    SimulatorOptions options;
    options.baudRate = 9600; // about 1.04 ms per byte
    PtySimulator simulator(options);
    simulator.placeCard(userCard({42, 70000, 2}));
    ProgramEnd program(simulator.devicePath());
    const auto start = std::chrono::steady_clock::now();
    program.write(card::readCardFrame());
    EXPECT_EQ(program.read(5).size(), 5u);
    // Five bytes of ten bit times each cannot arrive sooner than this after the request.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::microseconds(4 * 10'000'000 / 9600));
}

TEST(PtySimulator, HangUpLooksLikeAVanishedDevice) {
    PtySimulator simulator;
    ProgramEnd program(simulator.devicePath());
    simulator.hangUp();
    // The terminal is hung up: reading ends at once instead of waiting, writing fails.
    const Bytes got = program.read(1, 1000);
    EXPECT_TRUE(got.empty());
    EXPECT_TRUE(program.ended());
    EXPECT_TRUE(program.lastError() == 0 || program.lastError() == EIO) << program.lastError();
    EXPECT_EQ(program.tryWrite(card::connectFrame()), EIO);
}

TEST(PtySimulator, RegistersItselfInTheComPortMapWhileItRuns) {
    TempFolder folder;
    const std::string mapFile = folder.file("comports");
    { std::ofstream(mapFile) << "# adapters\nCOM2 = /dev/ttyUSB0\nCOM1 = /dev/ttyS7\n"; }
    const serial::ComPortMap map(mapFile);
    {
        SimulatorOptions options;
        options.comPort = 1;
        options.comPortMapFile = mapFile;
        PtySimulator simulator(options);
        EXPECT_EQ(map.resolve(1), simulator.devicePath());
        EXPECT_EQ(map.resolve(2), "/dev/ttyUSB0");
    }
    EXPECT_EQ(map.entry(1), "/dev/ttyS7"); // the entry that was there before is back
    {
        SimulatorOptions options;
        options.comPort = 3;
        options.comPortMapFile = mapFile;
        PtySimulator simulator(options);
        EXPECT_EQ(map.resolve(3), simulator.devicePath());
    }
    EXPECT_FALSE(map.entry(3).has_value());
    EXPECT_EQ(map.entry(2), "/dev/ttyUSB0");
    // The entry of a simulator that was killed outright names a terminal that is gone.
    map.setEntry(4, "/dev/pts/987654");
    {
        SimulatorOptions options;
        options.comPort = 4;
        options.comPortMapFile = mapFile;
        PtySimulator simulator(options);
    }
    EXPECT_FALSE(map.entry(4).has_value());
}

TEST(Control, CommandsPlaceShowAndRemoveCards) {
    SimulatorOptions options;
    options.blankCard = false;
    PtySimulator simulator(options);
    EXPECT_EQ(runCommand(simulator, "show"), "no card");
    EXPECT_EQ(runCommand(simulator, "place"), "blank card placed");
    EXPECT_EQ(simulator.card(), card::CardImage{});
    EXPECT_NE(runCommand(simulator, "place 42 70000 2").find("user 42, system code 70000, duplicate 2"),
              std::string::npos);
    EXPECT_NE(runCommand(simulator, "place 70000 1").find("refused"), std::string::npos);
    EXPECT_NE(runCommand(simulator, "place x 1").find("not a number"), std::string::npos);
    EXPECT_NE(runCommand(simulator, "fly").find("unknown command"), std::string::npos);
    EXPECT_EQ(runCommand(simulator, "remove"), "card removed");
    EXPECT_FALSE(simulator.card().has_value());

    // The same through the control socket, as `talvern-progsim show` sends it.
    TempFolder folder;
    const std::string path = folder.file("control.sock");
    const int listener = listenControlSocket(path);
    std::thread server([&] {
        const int connection = ::accept(listener, nullptr, nullptr);
        serveControlConnection(connection, simulator);
    });
    EXPECT_EQ(sendControlCommand(path, "place"), "blank card placed\n");
    server.join();
    ::close(listener);
    EXPECT_THROW(sendControlCommand(folder.file("nobody.sock"), "show"), std::system_error);
}

} // namespace
