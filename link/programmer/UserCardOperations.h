#pragma once
// The Users page's card buttons: "Program" (`Button4`, with the duplicate option `CBox2`), "Read"
// (`Button2`, finished by the ticks of `Timer1`) and "Delete withdrawal " (`Button3`). They work on
// the current user of the users table and, for "Program", on the group record that group tracking
// keeps under the groups cursor.

#include "card/AccessBlocks.h"

#include "CardJournalRow.h"

#include <QPointer>

#include <optional>

class QCheckBox;

namespace talvern::db {
class TTable;
}

namespace talvern::link {

class CardWriter;
class ProgrammerLink;
struct CardWindows;

class UserCardOperations {
public:
    UserCardOperations(ProgrammerLink& link, CardWriter& writer, CardWindows& windows, db::TTable& users,
                       db::TTable& groups);

    // The " Duplicate card" check box; without one no duplicate is made.
    void setDuplicateOption(QCheckBox* CBox2);

    void Button4Click(); // "Program"
    void Button3Click(); // "Delete withdrawal "
    void Button2Click(); // "Read"
    void Timer1Timer();
    // "Zgubiona karta": records in the card journal that the current user's card (NUMBER, INDEX) is
    // lost, and ticks the duplicate option so that the next "Program" gives the replacement the next
    // INDEX.
    void lostCardClick();

    // From this INDEX on "Program" reminds the operator that a user number has only 15 duplicates.
    static constexpr int kFewDuplicatesLeft = 13;

    int readTicks() const { return m_readTicks; }

private:
    // The access blocks for the current user: the group's rights, or none at all when the user has no
    // group, or names one that does not exist (the groups cursor then stands on some other group).
    card::AccessBlocks accessOfCurrentUser();
    // The group's rights of the current user; none when the user gets a no-access card.
    std::optional<card::ReaderAccess> readersOfCurrentUser();
    // A journal row about the current user's card.
    journal::CardJournalRow rowForCurrentUser(const char* kind, std::int64_t index);
    void evaluateCardAnswer();
    void finishRead();

    ProgrammerLink& m_link;
    CardWriter& m_writer;
    CardWindows& m_windows;
    db::TTable& m_users;
    db::TTable& m_groups;
    QPointer<QCheckBox> m_duplicate;
    int m_readTicks = 0;
};

} // namespace talvern::link
