// Start-up time of TALVERN, from exec to the locked window on screen, beside the start-up time of
// a bare Qt window started the same way. Prints both and their ratio (the figure to watch; the
// goal is at most 1.2), and beside them a bare window with one line of text: the font system's
// start alone, which any window that shows a word pays. It also prints when TALVERN's table pages,
// built just after the locked window first appears, are ready.
//
//   startup_bench [--runs N] [--site DIR]
//
// Each run starts the probe in a site folder with its own config folder. The empty site's tables
// are created by the first start; with --site the figures are printed a second time for a site
// holding copies of the tables of DIR (such as one written by make_large_site). The probes take
// turns, so that all meet the same machine load. Runs offscreen unless DISPLAY is set and
// QT_QPA_PLATFORM is not.

#include "BenchProcess.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace talvern::bench;

namespace {

struct Start {
    double shown = -1; // milliseconds from spawn to the window on screen; negative when it failed
    double ready = -1; // milliseconds from spawn to the work left after that done
};

Start timeOneStart(const std::string& probe, const fs::path& site) {
    Start result;
    Child child = spawnReading({probe}, site);
    if (child.pid < 0)
        return result;
    const auto since = [start = child.started] {
        return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    };
    std::string line;
    if (readLine(child.out, line) && line == "shown") {
        result.shown = since();
        if (readLine(child.out, line) && line == "ready")
            result.ready = since();
    }
    waitFor(child);
    if (result.ready < 0)
        result.shown = -1;
    return result;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double lowest(const std::vector<double>& values) {
    return *std::min_element(values.begin(), values.end());
}

struct Probes {
    std::string talvern, bare, text;
};

// Times the three probes in site, taking turns; false when a probe failed.
bool timeSite(const Probes& probes, const fs::path& site, const std::string& siteName, int runs) {
    // The first start creates the settings (and, for an empty site, the tables); it is timed apart.
    const Start first = timeOneStart(probes.talvern, site);
    std::vector<double> talvernTimes, readyTimes, bareTimes, textTimes;
    for (int i = 0; i < runs; ++i) {
        const Start b = timeOneStart(probes.bare, site);
        const Start t = timeOneStart(probes.talvern, site);
        const Start x = timeOneStart(probes.text, site);
        if (first.shown < 0 || b.shown < 0 || t.shown < 0 || x.shown < 0) {
            std::fprintf(stderr, "a probe failed to start\n");
            return false;
        }
        bareTimes.push_back(b.shown);
        talvernTimes.push_back(t.shown);
        readyTimes.push_back(t.ready);
        textTimes.push_back(x.shown);
    }
    const double t = median(talvernTimes), b = median(bareTimes), x = median(textTimes);
    std::printf("site:                  %s\n", siteName.c_str());
    std::printf("first start (ms):      %.1f\n", first.shown);
    std::printf("TALVERN median (ms):   %.1f (min %.1f)\n", t, lowest(talvernTimes));
    std::printf("bare Qt median (ms):   %.1f (min %.1f)\n", b, lowest(bareTimes));
    std::printf("ratio:                 %.2f (goal <= 1.20)\n", t / b);
    std::printf("Qt with text (ms):     %.1f (min %.1f)\n", x, lowest(textTimes));
    std::printf("ratio to text window:  %.2f\n", t / x);
    std::printf("pages ready (ms):      %.1f (min %.1f)\n", median(readyTimes), lowest(readyTimes));
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    int runs = 15;
    fs::path largeSite;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--runs") && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--site") && i + 1 < argc)
            largeSite = fs::absolute(argv[++i]);
        else {
            std::fprintf(stderr, "usage: %s [--runs N] [--site DIR]\n", argv[0]);
            return 2;
        }
    }
    const fs::path here = benchFolder();
    const Probes probes{(here / "talvern_startup_probe").string(), (here / "bare_window_probe").string(),
                        (here / "text_window_probe").string()};

    const fs::path scratch = makeScratchHome("talvern-startup");
    if (scratch.empty())
        return 1;
    std::printf("platform:              %s\n", platformName());
    if (!std::getenv("DISPLAY"))
        std::printf("                       (no display: for the figures an operator sees, run under xvfb-run -a)\n");
    std::printf("runs:                  %d\n", runs);

    bool ok = true;
    const fs::path empty = scratch / "empty";
    fs::create_directories(empty);
    ok = timeSite(probes, empty, "empty", runs);
    if (ok && !largeSite.empty()) {
        const fs::path site = scratch / "site";
        fs::create_directories(site);
        for (const auto& entry : fs::directory_iterator(largeSite))
            fs::copy(entry.path(), site / entry.path().filename());
        ok = timeSite(probes, site, largeSite.string(), runs);
    }
    fs::remove_all(scratch);
    return ok ? 0 : 1;
}
