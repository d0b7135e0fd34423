#include "programmer/UserCardOperations.h"

#include "programmer/CardFields.h"
#include "programmer/CardRecord.h"
#include "programmer/CardRefusal.h"
#include "programmer/CardWindows.h"
#include "programmer/CardWriter.h"
#include "programmer/ProgrammerLink.h"

#include "OperatorMessages.h"
#include "CardAccessHex.h"
#include "StandardTables.h"
#include "TTable.h"
#include "card/CardAnswer.h"
#include "card/CardKey.h"

#include <QCheckBox>
#include <QTimer>

namespace talvern::link {

namespace {
const QString kResultTitle = QStringLiteral("Wynik wyszukiwania");
}

UserCardOperations::UserCardOperations(ProgrammerLink& link, CardWriter& writer, CardWindows& windows,
                                       db::TTable& users, db::TTable& groups)
    : m_link(link), m_writer(writer), m_windows(windows), m_users(users), m_groups(groups) {}

void UserCardOperations::setDuplicateOption(QCheckBox* CBox2) {
    m_duplicate = CBox2;
}

std::optional<card::ReaderAccess> UserCardOperations::readersOfCurrentUser() {
    const std::string group = m_users.fieldByName("GROUP").asString();
    if (group.empty() || group == db::kLackOfAssignment || m_groups.isEmpty() ||
        m_groups.fieldByName("NAME").asString() != group) {
        return std::nullopt;
    }
    card::ReaderAccess access;
    for (int reader = 1; reader <= 96; ++reader) {
        access.set(static_cast<std::size_t>(reader - 1),
                   m_groups.fieldByName("P" + std::to_string(reader)).asBoolean());
    }
    return access;
}

card::AccessBlocks UserCardOperations::accessOfCurrentUser() {
    const auto access = readersOfCurrentUser();
    return access ? card::accessBlocks(*access) : card::noAccessBlocks();
}

journal::CardJournalRow UserCardOperations::rowForCurrentUser(const char* kind, std::int64_t index) {
    journal::CardJournalRow row;
    row.kind = kind;
    row.number = m_users.fieldByName("NUMBER").asInteger();
    row.index = static_cast<int>(index);
    row.sysCode = m_windows.systemCode();
    row.surname = m_users.fieldByName("SURNAME").asString();
    row.name = m_users.fieldByName("NAME").asString();
    row.group = m_users.fieldByName("GROUP").asString();
    return row;
}

void UserCardOperations::Button4Click() {
    if (!m_link.connected()) {
        showNotConnected();
        return;
    }
    if (m_users.isEmpty()) {
        return;
    }
    const std::int64_t number = m_users.fieldByName("NUMBER").asInteger();
    if (number == 0) {
        return;
    }
    try {
        // Every value is checked before the table or the card is touched.
        const std::uint32_t userNumber = fitting(number, card::CardRangeError::Kind::UserNumber);
        std::uint32_t duplicateIndex =
            fitting(m_users.fieldByName("INDEX").asInteger(), card::CardRangeError::Kind::DuplicateIndex);
        const std::int64_t systemCode = m_windows.systemCode();
        fitting(systemCode, card::CardRangeError::Kind::SystemCode);

        bool raised = false;
        if (m_duplicate && m_duplicate->isChecked()) {
            if (duplicateIndex >= card::kMaxDuplicateIndex) {
                OperatorMessages::show(QStringLiteral("Index 16! "), QStringLiteral("Przekroczenie zakresu"));
            } else {
                ++duplicateIndex;
                raised = true;
            }
            m_users.edit();
            m_users.fieldByName("INDEX").setAsInteger(duplicateIndex);
            m_users.fieldByName("INFO").setAsString("");
        }
        if (raised && duplicateIndex >= kFewDuplicatesLeft) {
            OperatorMessages::show(QStringLiteral("Ta karta otrzyma indeks %1. Dla jednego numeru użytkownika "
                                                  "istnieje tylko 15 duplikatów.")
                                       .arg(duplicateIndex),
                                   QStringLiteral("Duplikaty"));
        }
        const auto readers = readersOfCurrentUser();
        const char* kind = (m_duplicate && m_duplicate->isChecked()) ? journal::JournalKind::kDuplicate
                           : readers                                ? journal::JournalKind::kUserCard
                                                                    : journal::JournalKind::kNoAccess;
        journal::CardJournalRow row = rowForCurrentUser(kind, duplicateIndex);
        row.access = journal::CardAccessHex::fromBits(readers.value_or(card::ReaderAccess{}));
        bool written = false;
        try {
            written = counts(m_writer.writeCard(systemCode, userNumber, duplicateIndex, card::kCardKey,
                                                readers ? card::accessBlocks(*readers) : card::noAccessBlocks(),
                                                [&](WriteOutcome outcome) {
                                                    row.result = journalResult(outcome);
                                                    recordCard(m_windows, row);
                                                }));
        } catch (...) {
            m_users.cancel();
            throw;
        }
        if (!written) {
            // The card was not made: the duplicate is not counted, and the same user stays current so
            // that the operator can write the card again.
            m_users.cancel();
            return;
        }
        m_users.next();
    } catch (const card::CardRangeError& error) {
        showRefusal(error);
    }
}

void UserCardOperations::Button3Click() {
    if (!m_link.connected()) {
        OperatorMessages::show(QStringLiteral("Błąd komunikacji"), QStringLiteral("Brak łączności "));
        return;
    }
    if (m_users.isEmpty()) {
        return;
    }
    const std::int64_t number = m_users.fieldByName("NUMBER").asInteger();
    // A card with user number 0 is a configuration card; one that carries no reader settings could
    // misconfigure a reader, so none is written.
    if (number == 0) {
        return;
    }
    try {
        const std::int64_t index = m_users.fieldByName("INDEX").asInteger();
        journal::CardJournalRow row = rowForCurrentUser(journal::JournalKind::kWithdrawal, index);
        row.access = journal::CardAccessHex::fromBits(card::ReaderAccess{});
        m_writer.writeCard(m_windows.systemCode(), number, index, card::kCardKey, card::noAccessBlocks(),
                           [&](WriteOutcome outcome) {
                               row.result = journalResult(outcome);
                               recordCard(m_windows, row);
                           });
    } catch (const card::CardRangeError& error) {
        showRefusal(error);
    }
}

void UserCardOperations::lostCardClick() {
    if (m_users.isEmpty()) {
        return;
    }
    const std::int64_t number = m_users.fieldByName("NUMBER").asInteger();
    if (number == 0) {
        return;
    }
    journal::CardJournalRow row = rowForCurrentUser(journal::JournalKind::kLost, m_users.fieldByName("INDEX").asInteger());
    row.result = journal::JournalResult::kReported;
    recordCard(m_windows, row);
    if (m_duplicate) {
        m_duplicate->setChecked(true);
    }
    OperatorMessages::show(QStringLiteral("Zgubiona karta użytkownika %1 (indeks %2) została zapisana w dzienniku "
                                          "kart. Zaznaczono duplikat: następne „Programuj” wyda kartę "
                                          "zastępczą z kolejnym indeksem.")
                               .arg(number)
                               .arg(row.index),
                           QStringLiteral("Zgubiona karta"));
}

void UserCardOperations::Button2Click() {
    if (!m_link.connected()) {
        showNotConnected();
        return;
    }
    m_windows.showTransfer();
    m_link.SendFrame(card::readCardFrame());
    m_windows.pause(std::chrono::milliseconds(250));
    m_link.clearReceiveBuffer();
    m_readTicks = 0;
    if (m_windows.readTimer != nullptr) {
        m_windows.readTimer->start();
    }
}

void UserCardOperations::Timer1Timer() {
    ++m_readTicks;
    m_windows.setGauge(m_windows.gauge() + 10);
    if (m_readTicks == 2) {
        m_link.clearReceiveBuffer();
        m_link.SendFrame(card::readCardFrame());
    } else if (m_readTicks == 3) {
        m_windows.setGauge(100);
        if (m_windows.readTimer != nullptr) {
            m_windows.readTimer->stop();
        }
        try {
            evaluateCardAnswer();
        } catch (...) {
            finishRead();
            throw;
        }
        finishRead();
    }
}

void UserCardOperations::evaluateCardAnswer() {
    const std::int64_t systemCode = m_windows.systemCode();
    const card::CardAnswer answer =
        card::evaluateCardAnswer(m_link.receiveBuffer(), static_cast<std::uint32_t>(systemCode < 0 ? 0 : systemCode));
    switch (answer.kind) {
    case card::CardAnswer::Kind::NoAnswer:
        return;
    case card::CardAnswer::Kind::OtherSystem:
        OperatorMessages::show(QStringLiteral("Brak karty lub karta pochodzi z innego systemu."), kResultTitle);
        return;
    case card::CardAnswer::Kind::ThisSystem:
        break;
    }
    if (m_users.locate("NUMBER", std::to_string(answer.identity.userNumber), false)) {
        m_windows.showCardInfo(QString::number(answer.identity.duplicateIndex));
    } else if (answer.isConfigurationCard()) {
        OperatorMessages::show(QStringLiteral("Karta konfiguracyjna."), kResultTitle);
    }
}

void UserCardOperations::finishRead() {
    m_link.clearReceiveBuffer();
    m_windows.setGauge(0);
    m_windows.hideTransfer();
}

} // namespace talvern::link
