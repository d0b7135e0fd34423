#include "BigJournal.h"

#include "CardAccessHex.h"
#include "CardJournal.h"

#include <bitset>
#include <ctime>
#include <vector>

namespace talvern::cards::bench {

void generateJournal(const std::string& directory, long rows, long users, int groups) {
    journal::CardJournal card(directory);
    std::vector<journal::CardJournalRow> batch;
    std::time_t when = 1577872800; // 2020-01-01 10:00 UTC
    std::uint32_t seed = 12345;
    const auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 8) & 0xFFFFFF; };
    for (long at = 0; at < rows; ++at) {
        journal::CardJournalRow row;
        when += 60 + static_cast<std::time_t>(next() % 600);
        std::tm local{};
        ::localtime_r(&when, &local);
        char text[32];
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
        row.written = text;
        row.number = 1 + static_cast<long>(next() % static_cast<std::uint32_t>(users));
        row.sysCode = 1;
        const int group = 1 + static_cast<int>(row.number % groups);
        row.group = "Grupa " + std::to_string(group);
        row.surname = "Imię" + std::to_string(row.number);
        row.name = "Nazwisko" + std::to_string(row.number);
        std::bitset<96> access;
        for (int reader = 0; reader < 96; ++reader)
            access.set(static_cast<std::size_t>(reader), (reader + group) % 7 == 0);
        row.access = journal::CardAccessHex::fromBits(access);
        row.result = journal::JournalResult::kVerified;
        row.mode = (at % 5 == 0) ? journal::JournalMode::kUser : journal::JournalMode::kAdministrator;
        const std::uint32_t kind = next() % 100;
        if (kind < 60) {
            row.kind = journal::JournalKind::kUserCard;
        } else if (kind < 85) {
            row.kind = journal::JournalKind::kDuplicate;
            row.index = 1 + static_cast<int>(next() % 4);
        } else if (kind < 92) {
            row.kind = journal::JournalKind::kWithdrawal;
            row.access = journal::CardAccessHex::fromBits({});
        } else if (kind < 96) {
            row.kind = journal::JournalKind::kLost;
            row.access.clear();
            row.result = journal::JournalResult::kReported;
        } else if (kind < 98) {
            row.kind = journal::JournalKind::kUserCard;
            row.result = journal::JournalResult::kNotVerified;
        } else {
            row.kind = journal::JournalKind::kConfiguration;
            row.option = "nowy czytnik";
            row.number = 0;
            row.surname.clear();
            row.name.clear();
            row.group.clear();
            row.access.clear();
            row.reader = 1 + static_cast<int>(next() % 96);
            row.readerSettings = "czas 2 s";
        }
        batch.push_back(std::move(row));
        if (batch.size() == 10000) {
            card.appendMany(batch);
            batch.clear();
        }
    }
    if (!batch.empty())
        card.appendMany(batch);
}

} // namespace talvern::cards::bench
