#pragma once
// All card operations of the program, built once by the main window over its link, its windows and
// its tables, and attached to the pages' controls by their object names.

#include "programmer/CardWindows.h"
#include "programmer/CardWriter.h"
#include "programmer/ReaderCardOperation.h"
#include "programmer/UserCardOperations.h"

#include <QObject>

class QWidget;

namespace talvern::link {

class CardOperations {
public:
    // users: `Table1`, readers: `Table2`, groups: `Table3`.
    CardOperations(ProgrammerLink& link, CardWindows windows, db::TTable& users, db::TTable& readers,
                   db::TTable& groups);
    ~CardOperations();

    // Connects "Program" (Button4), "Read" (Button2), "Delete withdrawal " (Button3) and the duplicate
    // option (CBox2) found under the Users page, and Timer1 to the read exchange. Throws
    // std::logic_error naming a control that is missing.
    void attachUsersPage(QWidget* usersPage);
    // Connects "Save to card" (Button12), RadioButton1..3, Edit2, Label17 and CheckBox1 found under the
    // Readers page.
    void attachReadersPage(QWidget* readersPage);

    CardWindows& windows() { return m_windows; }
    CardWriter& writer() { return m_writer; }
    UserCardOperations& users() { return m_users; }
    ReaderCardOperation& readers() { return m_readers; }

private:
    CardWindows m_windows;
    CardWriter m_writer;
    UserCardOperations m_users;
    ReaderCardOperation m_readers;
    QObject m_connections; // context of the signal connections: they end with the operations
};

} // namespace talvern::link
