#pragma once
// The simulated card programmer on a pseudo-terminal. The program opens the terminal's device path
// as if it were the serial port the programmer hangs on; the simulator answers on the other end.
//
// While it runs, the simulator can register its device as COM<n> in the user's COM-port map, so the
// program finds it by port number; the entry that was there before is put back when it ends.
//
// Thread rules: one worker thread reads the line, parses frames and answers them; every public call
// may be made from any other thread at any time. Answers can be paced at the line's baud rate
// (ten bit times per byte), as a real programmer on a 19200-baud line delivers them.

#include "FrameParser.h"
#include "VirtualProgrammer.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace talvern::progsim {

struct SimulatorOptions {
    unsigned comPort = 0;       // 0: not registered in the COM-port map
    std::string comPortMapFile; // empty: the user's map
    bool pace = true;
    unsigned baudRate = 19200;
    std::string logFile;                           // empty: no log file
    std::function<void(const std::string&)> onLog; // gets every log line as well
    bool blankCard = true;                         // a blank card lies on the programmer at start
    // A partial frame that gets no further byte for this long is given up as garbage.
    std::chrono::milliseconds idleFlush{50};
};

struct ReceivedFrame {
    Bytes bytes;
    std::chrono::steady_clock::time_point at; // when its last byte was read
};

class PtySimulator {
public:
    // Throws std::system_error when no pseudo-terminal can be had or the map cannot be written.
    explicit PtySimulator(SimulatorOptions options = {});
    ~PtySimulator();
    PtySimulator(const PtySimulator&) = delete;
    PtySimulator& operator=(const PtySimulator&) = delete;

    // The terminal's device path (/dev/pts/N), the program's end of the line.
    const std::string& devicePath() const { return m_devicePath; }

    void placeCard(const CardImage& image);
    void placeBlankCard();
    void removeCard();
    // The next write of block (1..6) is acknowledged but not stored (VirtualProgrammer).
    void dropNextWriteOf(std::uint8_t block);
    std::optional<CardImage> card() const;
    std::string describeCard() const;

    // Every well-formed frame received, in order.
    std::vector<ReceivedFrame> frames() const;
    void clearFrames();
    // Waits until at least count frames have been received; false on time-out.
    bool waitForFrames(std::size_t count, std::chrono::milliseconds timeout) const;
    std::size_t badChecksums() const;

    // Closes the line as a pulled cable would: the program's end sees its device vanish. The
    // simulator answers nothing afterwards.
    void hangUp();

private:
    void run();
    void process(const std::vector<ParsedItem>& items, std::chrono::steady_clock::time_point at);
    void send(const Bytes& answer);
    void log(const std::string& line);
    void stopWorker();
    void closeLine();

    SimulatorOptions m_options;
    int m_master = -1;
    int m_slave = -1; // held open so the line survives the program closing and reopening its end
    int m_wake = -1;
    std::string m_devicePath;
    std::optional<std::string> m_previousEntry;
    bool m_registered = false;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    VirtualProgrammer m_programmer;
    std::vector<ReceivedFrame> m_frames;
    std::size_t m_badChecksums = 0;

    std::mutex m_logMutex;
    std::FILE* m_logFile = nullptr;

    std::thread m_worker;
};

} // namespace talvern::progsim
