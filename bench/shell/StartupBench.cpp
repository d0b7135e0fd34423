// Start-up time of TALVERN, from exec to the locked window on screen, beside the start-up time of
// a bare Qt window started the same way. Prints both and their ratio (the figure to watch; the
// goal is at most 1.2), and beside them a bare window with one line of text: the font system's
// start alone, which any window that shows a word pays.
//
//   startup_bench [--runs N] [--site DIR]
//
// Each run starts the probe in a site folder (by default an empty one, whose tables the first
// start creates; --site copies the tables of DIR, such as a large generated site) with its own
// config folder. The two probes take turns, so that both meet the same machine load.
// Runs offscreen unless DISPLAY is set and QT_QPA_PLATFORM is not.

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Milliseconds from spawn to the probe's "shown"; negative when it failed.
double timeOneStart(const std::string& probe, const fs::path& site) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    const std::string previous = fs::current_path();
    fs::current_path(site);
    char* args[] = {const_cast<char*>(probe.c_str()), nullptr};
    pid_t pid = 0;
    const auto start = Clock::now();
    const int spawned = posix_spawn(&pid, probe.c_str(), &actions, nullptr, args, environ);
    fs::current_path(previous);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        return -1;
    }
    char line[16] = {};
    const ssize_t n = read(pipeFds[0], line, sizeof line - 1);
    const auto shown = Clock::now();
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (n <= 0 || std::strncmp(line, "shown", 5) != 0)
        return -1;
    return std::chrono::duration<double, std::milli>(shown - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    int runs = 15;
    fs::path largeSite;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--runs") && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--site") && i + 1 < argc)
            largeSite = argv[++i];
        else {
            std::fprintf(stderr, "usage: %s [--runs N] [--site DIR]\n", argv[0]);
            return 2;
        }
    }
    const fs::path here = fs::canonical("/proc/self/exe").parent_path();
    const std::string talvern = (here / "talvern_startup_probe").string();
    const std::string bare = (here / "bare_window_probe").string();
    const std::string text = (here / "text_window_probe").string();

    char pattern[] = "/tmp/talvern-startup-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    const fs::path scratch = pattern;
    const fs::path site = scratch / "site";
    fs::create_directories(site);
    setenv("HOME", scratch.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (scratch / "config").c_str(), 1);
    if (!std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!largeSite.empty())
        for (const auto& entry : fs::directory_iterator(largeSite))
            fs::copy(entry.path(), site / entry.path().filename());

    // The first start creates the settings (and, for an empty site, the tables); it is timed apart.
    const double first = timeOneStart(talvern, site);
    std::vector<double> talvernTimes, bareTimes, textTimes;
    for (int i = 0; i < runs; ++i) {
        const double b = timeOneStart(bare, site);
        const double t = timeOneStart(talvern, site);
        const double x = timeOneStart(text, site);
        if (b < 0 || t < 0 || x < 0) {
            std::fprintf(stderr, "a probe failed to start\n");
            fs::remove_all(scratch);
            return 1;
        }
        bareTimes.push_back(b);
        talvernTimes.push_back(t);
        textTimes.push_back(x);
    }
    fs::remove_all(scratch);

    const double t = median(talvernTimes), b = median(bareTimes);
    std::printf("platform:              %s\n", std::getenv("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "xcb");
    std::printf("site:                  %s\n", largeSite.empty() ? "empty" : largeSite.c_str());
    std::printf("runs:                  %d\n", runs);
    std::printf("first start (ms):      %.1f\n", first);
    std::printf("TALVERN median (ms):   %.1f (min %.1f)\n", t, *std::min_element(talvernTimes.begin(), talvernTimes.end()));
    std::printf("bare Qt median (ms):   %.1f (min %.1f)\n", b, *std::min_element(bareTimes.begin(), bareTimes.end()));
    std::printf("ratio:                 %.2f (goal <= 1.20)\n", t / b);
    const double x = median(textTimes);
    std::printf("Qt with text (ms):     %.1f (min %.1f)\n", x, *std::min_element(textTimes.begin(), textTimes.end()));
    std::printf("ratio to text window:  %.2f\n", t / x);
    return 0;
}
