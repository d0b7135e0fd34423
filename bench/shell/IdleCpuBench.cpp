// The program's processor time while it sits connected to its card programmer and nobody touches
// it (the goal is at most 0.3 % of one core). The simulated programmer (talvern-progsim) is COM1 on
// a pseudo-terminal; connected_probe is the program, logged in and connected; this reads the
// probe's /proc/<pid>/stat (user and system time, in clock ticks) and the run time of all its
// threads (/proc/<pid>/task/*/schedstat, in nanoseconds) over a window of idle time.
//
// On a machine shared with other work one window's figure moves by a third from run to run, so the
// bench takes several rounds and gives their median, and it measures the floor the same way in
// between: ticking_window_probe, a bare window of the same size woken by the same 50 ms timer.
//
//   idle_cpu_bench [--seconds N] [--rounds R]
//
// Settings, COM-port map and site live in a scratch folder: no real user's files. Runs offscreen
// unless DISPLAY is set and QT_QPA_PLATFORM is not.

#include "BenchProcess.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace talvern::bench;

namespace {

// User plus system time of the process in clock ticks (fields 14 and 15 of /proc/<pid>/stat).
long long statTicks(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')'); // the command name may hold blanks
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14)
            utime = std::atoll(field.c_str());
        if (i == 15)
            stime = std::atoll(field.c_str());
    }
    return utime + stime;
}

// Time on a processor of all the process's threads, in nanoseconds, and how many times they were
// put on one (each wake-up counts once).
struct RunTime {
    long long ns = 0;
    long long runs = 0;
};

RunTime threadsRunTime(pid_t pid) {
    RunTime total;
    std::error_code error;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream in(task.path() / "schedstat");
        long long ns = 0, waiting = 0, runs = 0;
        if (in >> ns >> waiting >> runs) {
            total.ns += ns;
            total.runs += runs;
        }
    }
    return total;
}

// One window of idle time: the process's processor time, as a share of one core, from the threads'
// run times and from /proc stat, and its wake-ups a second.
struct Idle {
    double percent = 0;
    double statPercent = 0;
    long long statTicks = 0;
    double wakeUps = 0;
};

Idle measureIdle(pid_t pid, int seconds) {
    const long long ticks0 = statTicks(pid);
    const RunTime run0 = threadsRunTime(pid);
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const long long ticks1 = statTicks(pid);
    const RunTime run1 = threadsRunTime(pid);
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    Idle idle;
    idle.statTicks = ticks1 - ticks0;
    idle.statPercent = 100.0 * double(idle.statTicks) / double(sysconf(_SC_CLK_TCK)) / wall;
    idle.percent = 100.0 * double(run1.ns - run0.ns) / 1e9 / wall;
    idle.wakeUps = double(run1.runs - run0.runs) / wall;
    return idle;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv) {
    int seconds = 10;
    int rounds = 3;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) {
            seconds = std::max(1, std::atoi(argv[++i]));
        } else if (!std::strcmp(argv[i], "--rounds") && i + 1 < argc) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: %s [--seconds N] [--rounds R]\n", argv[0]);
            return 2;
        }
    }
    const fs::path here = benchFolder();
    const fs::path probe = here / "connected_probe";
    const fs::path floorProbe = here / "ticking_window_probe";
    const fs::path simulatorProgram = here.parent_path().parent_path() / "tools" / "talvern-progsim";

    const fs::path scratch = makeScratchHome("talvern-idle");
    if (scratch.empty())
        return 1;
    // The programmer on COM1, the administrator's password 9.
    fs::create_directories(scratch / "config" / "talvern");
    std::ofstream(scratch / "config" / "talvern" / "settings.reg")
        << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SoftwareRegQ5]\r\n\"Port\"=dword:00000001\r\n"
           "\"sys_nr\"=\"1\"\r\n\"admin\"=\"9\"\r\n\"admin2\"=\"5\"\r\n\r\n";
    fs::create_directories(scratch / "site");

    int status = 1;
    Child simulator = spawnReading({simulatorProgram.string(), "--com", "1"}, scratch);
    Child program;
    Child floorWindow;
    if (simulator.pid < 0 || !waitForLine(simulator.out, "COM1 is")) {
        std::fprintf(stderr, "the simulated programmer did not start (%s)\n", simulatorProgram.c_str());
    } else if (program = spawnReading({probe.string()}, scratch / "site");
               program.pid < 0 || !waitForLine(program.out, "connected")) {
        std::fprintf(stderr, "the program did not connect\n");
    } else if (floorWindow = spawnReading({floorProbe.string()}, scratch);
               floorWindow.pid < 0 || !waitForLine(floorWindow.out, "connected")) {
        std::fprintf(stderr, "the bare ticking window did not start (%s)\n", floorProbe.c_str());
    } else {
        std::this_thread::sleep_for(std::chrono::seconds(1)); // the start-up's last work done
        std::printf("platform:                     %s\n", platformName());
        std::printf("idle, connected, %d rounds of %d s, the bare window measured between them\n", rounds, seconds);
        std::vector<double> programPercents, floorPercents, programWakeUps;
        for (int round = 1; round <= rounds; ++round) {
            const Idle idle = measureIdle(program.pid, seconds);
            const Idle bare = measureIdle(floorWindow.pid, seconds);
            std::printf("  round %d: program %.3f %% (/proc stat %.3f %%, %lld ticks), bare window %.3f %%\n", round,
                        idle.percent, idle.statPercent, idle.statTicks, bare.percent);
            programPercents.push_back(idle.percent);
            floorPercents.push_back(bare.percent);
            programWakeUps.push_back(idle.wakeUps);
        }
        const double programMedian = median(programPercents);
        const double floorMedian = median(floorPercents);
        std::printf("  CPU from thread run times:  %.3f %% of one core, median (goal <= 0.3)\n", programMedian);
        std::printf("  bare window, 50 ms timer:   %.3f %% of one core, median\n", floorMedian);
        std::printf("  the tick's own work:        %.3f %% of one core\n", programMedian - floorMedian);
        std::printf("  wake-ups:                   %.1f a second\n", median(programWakeUps));
        status = 0;
    }
    end(floorWindow);
    end(program);
    end(simulator);
    fs::remove_all(scratch);
    return status;
}
