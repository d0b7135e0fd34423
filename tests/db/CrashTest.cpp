#include "CardJournal.h"
#include "DbfError.h"
#include "StandardTables.h"
#include "TTable.h"
#include "TableCheck.h"
#include "ProcessRun.h"
#include "TempDir.h"
#include "UserNumbers.h"

#include <gtest/gtest.h>

#include <csignal>
#include <iostream>
#include <sstream>
#include <fcntl.h>
#include <poll.h>
#include <map>
#include <random>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

// A writer killed with SIGKILL at random instants must leave tables that open cleanly, pass the check and
// hold every post that had returned before the kill.
namespace talvern::db::test {
namespace {

constexpr int kKills = 220;

// Reads what the writer has acknowledged into acks until its first line is in, for at most two
// seconds. Every other round waits for that before its random pause: on a slow machine (a sanitizer
// build beside other work) a pause alone may end every writer while it is still starting, and the
// drill would never kill one in the middle of its writes.
void awaitFirstAcknowledgement(int fd, std::string& acks) {
    for (int waited = 0; acks.find('\n') == std::string::npos && waited < 2000; ++waited) {
        struct pollfd ready {fd, POLLIN, 0};
        if (::poll(&ready, 1, 1) <= 0)
            continue;
        char buffer[512];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return;
        acks.append(buffer, static_cast<std::size_t>(n));
    }
}

std::string noteFor(long seq) {
    // Lengths vary so that notes take one, two or three memo blocks.
    return "note " + std::to_string(seq) + " " + std::string(static_cast<std::size_t>(seq * 37 % 1400), 'x');
}

void sendLine(int fd, const std::string& line) {
    std::string text = line + "\n";
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n <= 0) {
            _exit(3);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

// The child: appends users and rewrites existing ones, reporting each post after it returned.
// "A <number> <seq>": user <number> appended with NAME/INFO of seq; "E <number> <seq>": user rewritten.
[[noreturn]] void writer(const std::string& dir, int ackFd, unsigned seed) {
    try {
        TTable users("Table1");
        users.open(dir + "/osoby.dbf");
        std::mt19937 random(seed);
        long seq = seed * 100000L;
        for (;;) {
            ++seq;
            if (users.isEmpty() || random() % 3 != 0) {
                const std::int64_t number = nextUserNumber(users);
                users.append();
                users.fieldByName("NUMBER").setAsInteger(number);
                users.fieldByName("NAME").setAsString(std::to_string(seq));
                users.fieldByName("INFO").setAsString(noteFor(seq));
                users.post();
                sendLine(ackFd, "A " + std::to_string(number) + " " + std::to_string(seq));
            } else {
                users.moveTo(1 + static_cast<int>(random() % static_cast<unsigned>(users.recordCount())));
                const std::int64_t number = users.fieldByName("NUMBER").asInteger();
                users.edit();
                users.fieldByName("NAME").setAsString(std::to_string(seq));
                users.fieldByName("INFO").setAsString(noteFor(seq));
                users.post();
                sendLine(ackFd, "E " + std::to_string(number) + " " + std::to_string(seq));
            }
        }
    } catch (const std::exception& e) {
        sendLine(ackFd, std::string("X ") + e.what());
        _exit(2);
    }
}

TEST(Crash, KilledWriterLeavesSoundTablesWithEveryReturnedPost) {
    TempDir dir;
    ASSERT_TRUE(ensureStandardTables(dir.path()));
    const unsigned seed = static_cast<unsigned>(::time(nullptr));
    std::mt19937 random(seed);
    std::cout << "seed " << seed << "\n";

    // The newest acknowledged seq of every user; users may also hold a newer, unacknowledged one.
    std::map<std::int64_t, long> acknowledged;
    long posts = 0;
    for (int round = 0; round < kKills; ++round) {
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipeFds[0]);
            writer(dir.path(), pipeFds[1], seed + static_cast<unsigned>(round) + 1);
        }
        ::close(pipeFds[1]);
        std::string acks;
        if (round % 2 == 1)
            awaitFirstAcknowledgement(pipeFds[0], acks);
        struct timespec pause {0, static_cast<long>(random() % 3000) * 1000L};
        ::nanosleep(&pause, nullptr);
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself";

        char buffer[4096];
        ssize_t n;
        while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0) {
            acks.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(pipeFds[0]);
        std::istringstream lines(acks);
        std::string line;
        while (std::getline(lines, line)) {
            char kind;
            std::int64_t number;
            long seq;
            std::istringstream fields(line);
            ASSERT_NE(line[0], 'X') << line;
            if (fields >> kind >> number >> seq) {
                ++posts;
                acknowledged[number] = std::max(acknowledged[number], seq);
            }
        }

        const dbf::CheckReport report = dbf::checkTable(dir.file("osoby.dbf"));
        ASSERT_TRUE(report.sound()) << "round " << round << ": "
                                     << (report.damage.empty() ? report.problems.front() : report.damage.front());

        TTable users;
        users.open(dir.file("osoby.dbf"));
        std::map<std::int64_t, long> found;
        for (users.first(); !users.eof(); users.next()) {
            const long seq = std::stol(users.fieldByName("NAME").asString());
            ASSERT_EQ(users.fieldByName("INFO").asString(), noteFor(seq)) << "round " << round;
            found[users.fieldByName("NUMBER").asInteger()] = seq;
        }
        for (const auto& [number, seq] : acknowledged) {
            ASSERT_TRUE(found.count(number)) << "round " << round << ": user " << number << " was lost";
            ASSERT_GE(found[number], seq) << "round " << round << ": a returned post of user " << number
                                          << " was lost";
        }
    }
    EXPECT_GT(acknowledged.size(), 0u);
    std::cout << kKills << " kills, " << posts << " returned posts, " << acknowledged.size() << " users\n";

    // The table tool agrees about the end result.
    for (const char* table : {"osoby.dbf", "sprzet.dbf", "grupa.dbf"}) {
        RunResult check = runCommand(std::string(TALVERN_DBF_TOOL) + " check " + quoted(dir.file(table)));
        EXPECT_EQ(check.exitCode, 0) << table << ": " << check.output;
    }
}

// The card journal under the same drill: a writer appending rows (the first append creates karty.dbf)
// killed at random instants leaves a journal that opens, passes the check and holds every row whose
// append had returned, in order.
[[noreturn]] void journalWriter(const std::string& dir, int ackFd, long firstSeq) {
    try {
        journal::CardJournal cardJournal(dir);
        for (long seq = firstSeq;; ++seq) {
            journal::CardJournalRow row;
            row.kind = journal::JournalKind::kUserCard;
            row.number = seq % 65536;
            row.surname = "Żółć " + std::to_string(seq);
            row.readerSettings = std::to_string(seq);
            row.result = journal::JournalResult::kVerified;
            row.mode = journal::JournalMode::kAdministrator;
            cardJournal.append(row);
            sendLine(ackFd, std::to_string(seq));
        }
    } catch (const std::exception& e) {
        sendLine(ackFd, std::string("X ") + e.what());
        _exit(2);
    }
}

TEST(Crash, KilledJournalWriterLeavesAReadableJournalWithEveryReturnedRow) {
    TempDir dir;
    const unsigned seed = static_cast<unsigned>(::time(nullptr));
    std::mt19937 random(seed);
    std::cout << "seed " << seed << "\n";
    long acknowledged = 0; // rows whose append returned, over all rounds
    constexpr int kJournalKills = 120;
    for (int round = 0; round < kJournalKills; ++round) {
        // The next writer goes on from the rows the journal holds.
        long rows = 0;
        {
            journal::CardJournal cardJournal(dir.path());
            rows = cardJournal.rowCount();
        }
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipeFds[0]);
            journalWriter(dir.path(), pipeFds[1], rows);
        }
        ::close(pipeFds[1]);
        std::string acks;
        if (round >= 10 && round % 2 == 1)
            awaitFirstAcknowledgement(pipeFds[0], acks);
        // Early kills hit the creation of the journal in the first rounds.
        struct timespec pause {0, static_cast<long>(random() % (round < 10 ? 300 : 20000)) * 1000L};
        ::nanosleep(&pause, nullptr);
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself";
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0) {
            acks.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(pipeFds[0]);
        std::istringstream lines(acks);
        std::string line;
        while (std::getline(lines, line)) {
            ASSERT_NE(line[0], 'X') << line;
            acknowledged = std::max(acknowledged, std::stol(line) + 1);
        }

        journal::CardJournal cardJournal(dir.path());
        if (!cardJournal.exists()) {
            ASSERT_EQ(acknowledged, 0) << "round " << round << ": the journal of returned rows is gone";
            continue;
        }
        const dbf::CheckReport report = dbf::checkTable(cardJournal.path());
        ASSERT_TRUE(report.sound()) << "round " << round << ": "
                                     << (report.damage.empty() ? report.problems.front() : report.damage.front());
        const std::uint32_t count = cardJournal.rowCount();
        ASSERT_GE(static_cast<long>(count), acknowledged) << "round " << round << ": a returned row was lost";
        for (std::uint32_t i = 0; i < count; ++i) {
            const journal::CardJournalRow row = cardJournal.row(i);
            ASSERT_EQ(row.readerSettings, std::to_string(i)) << "round " << round << ", row " << i;
            ASSERT_EQ(row.surname, "Żółć " + std::to_string(i));
        }
    }
    EXPECT_GT(acknowledged, 0);
    std::cout << kJournalKills << " kills, " << acknowledged << " returned rows\n";
    RunResult check = runCommand(std::string(TALVERN_DBF_TOOL) + " check " + quoted(dir.file("karty.dbf")));
    EXPECT_EQ(check.exitCode, 0) << check.output;
}

} // namespace
} // namespace talvern::db::test
