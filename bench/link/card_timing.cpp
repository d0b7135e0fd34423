// How much time the program adds to the programmer's own pacing. A card write is paced by six
// fixed pauses (150+150+200+200+200+200 ms; the last frame goes out after the first five, 900 ms),
// a card read by 250 ms and three ticks of 100 ms (about 550 ms). The figure is what the program
// takes beyond those pauses: from "Program" to the last frame on the line, from "Program" to the
// end of the handler, and from "Read" to the card information window.
//
// The same is measured with the read-back after the write (the Settings page's check: one read-card
// exchange, aim at most 300 ms added), and the time of one card journal append (a row forced to disk).
//
// Runs the real program offscreen on a demo site in a temporary folder, with the simulated
// programmer on a pseudo-terminal as COM1.
#include "E2eSite.h"

#include "CardJournal.h"
#include "TForm4.h"
#include "card/CardWrite.h"

#include <QTemporaryDir>

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <numeric>
#include <vector>

using namespace talvern;
using Clock = std::chrono::steady_clock;

namespace {

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void report(const char* what, double pacing, std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    const double median = samples[samples.size() / 2];
    std::printf("%-34s pacing %6.0f ms   measured median %7.1f ms (min %7.1f, max %7.1f)   overhead %5.1f ms\n", what,
                pacing, median, samples.front(), samples.back(), median - pacing);
}

double median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

// One site, written and read rounds times; returns the median time of "Program" to the handler's end.
double measure(QApplication& app, int rounds, bool verify);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const double plain = measure(app, rounds, false);
    const double verified = measure(app, rounds, true);
    if (plain < 0 || verified < 0) {
        return 1;
    }
    std::printf("read-back after the write adds %.1f ms to \"Program\" (median %.1f ms without, %.1f ms with)\n",
                verified - plain, plain, verified);

    QTemporaryDir folder;
    journal::CardJournal cardJournal(folder.path().toStdString());
    journal::CardJournalRow row;
    row.kind = journal::JournalKind::kUserCard;
    row.number = 1;
    row.surname = "User 1";
    row.group = "Staff";
    row.access = std::string(24, '0');
    row.result = journal::JournalResult::kVerified;
    row.mode = journal::JournalMode::kAdministrator;
    std::vector<double> appends;
    for (int n = 0; n < std::max(rounds, 20); ++n) {
        const auto start = Clock::now();
        cardJournal.append(row);
        appends.push_back(ms(Clock::now() - start));
    }
    report("journal append (row forced to disk)", 0, appends);
    return 0;
}

namespace {

double measure(QApplication& app, int rounds, bool verify) {
    std::printf("%s\n", verify ? "--- with the read-back after the write" : "--- without the read-back");
    e2e::Site site(70000, verify);
    std::vector<e2e::User> users;
    for (int n = 1; n <= rounds; ++n) {
        users.push_back({n, "User " + std::to_string(n), "Staff"});
    }
    site.addGroups({{"Staff", {1, 2, 3, 24, 96}}});
    site.addUsers(users);
    TForm1& form = site.start();
    if (!site.connect()) {
        std::fprintf(stderr, "the simulated programmer did not see the connect frame\n");
        return -1;
    }
    const auto pauses = card::kBlockPauses;
    const double beforeLast = ms(std::accumulate(pauses.begin(), pauses.end() - 1, Clock::duration{}));
    const double whole = ms(std::accumulate(pauses.begin(), pauses.end(), Clock::duration{}));

    std::vector<double> toLastFrame, toHandlerEnd, toCardInfo;
    form.Table1().first();
    for (int round = 0; round < rounds; ++round) {
        site.simulator->clearFrames();
        const auto start = Clock::now();
        site.click("Button4");
        const auto handlerEnd = Clock::now();
        if (!site.simulator->waitForFrames(6, std::chrono::seconds(5))) {
            std::fprintf(stderr, "the card write did not reach the programmer\n");
            return -1;
        }
        toLastFrame.push_back(ms(site.simulator->frames()[5].at - start));
        toHandlerEnd.push_back(ms(handlerEnd - start));
        app.processEvents();
    }
    for (int round = 0; round < rounds; ++round) {
        form.Form4()->hide();
        const auto start = Clock::now();
        site.click("Button2");
        while (!form.Form4()->isVisible() && Clock::now() - start < std::chrono::seconds(5)) {
            app.processEvents(QEventLoop::AllEvents, 1);
        }
        if (!form.Form4()->isVisible()) {
            std::fprintf(stderr, "the card information window did not show\n");
            return -1;
        }
        toCardInfo.push_back(ms(Clock::now() - start));
    }
    std::printf("card programmer timing, %d rounds each\n", rounds);
    report("Program -> last frame on the line", beforeLast, toLastFrame);
    report("Program -> handler done", whole, toHandlerEnd);
    report("Read -> card information window", 550, toCardInfo);
    return median(toHandlerEnd);
}

} // namespace
