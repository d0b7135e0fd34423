#include "programmer/CardRecord.h"

#include "programmer/CardWindows.h"

#include "CardJournal.h"
#include "DbfError.h"
#include "OperatorMessages.h"

namespace talvern::link {

const char* journalResult(WriteOutcome outcome) {
    switch (outcome) {
    case WriteOutcome::Verified: return journal::JournalResult::kVerified;
    case WriteOutcome::Unverified: return journal::JournalResult::kUnverified;
    case WriteOutcome::NotVerified: return journal::JournalResult::kNotVerified;
    case WriteOutcome::CutShort: break;
    }
    return journal::JournalResult::kCutShort;
}

void recordCard(CardWindows& windows, journal::CardJournalRow row) {
    if (windows.journal == nullptr) {
        return;
    }
    const bool administrator = !windows.administratorMode || windows.administratorMode();
    row.mode = administrator ? journal::JournalMode::kAdministrator : journal::JournalMode::kUser;
    try {
        windows.journal->append(row);
    } catch (const std::exception& error) {
        QString reason = QString::fromUtf8(error.what());
        if (const auto* storage = dynamic_cast<const dbf::DbfError*>(&error); storage && storage->hasOperatorText()) {
            reason = QString::fromStdString(storage->operatorText());
        }
        OperatorMessages::show(QStringLiteral("Dziennik kart (karty.dbf) nie został zapisany:\n%1").arg(reason),
                               QStringLiteral("Dziennik kart"));
    }
}

} // namespace talvern::link
