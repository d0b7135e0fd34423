#pragma once
// A site of three empty standard tables in a temporary folder, opened as the main window opens them,
// with group tracking between users and groups, and an operator-message recorder.

#include "GroupTracking.h"
#include "OperatorMessages.h"
#include "StandardTables.h"
#include "TTable.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>

#include <initializer_list>
#include <memory>
#include <string>

namespace talvern::test {

class Site {
public:
    Site();
    ~Site();

    QString file(const QString& name) const { return m_dir.filePath(name); }

    db::TTable users{"Table1"};
    db::TTable readers{"Table2"};
    db::TTable groups{"Table3"};
    std::unique_ptr<db::GroupTracking> tracking;
    QList<OperatorMessage> messages;

    void addUser(int number, const std::string& surname, const std::string& name, const std::string& group,
                 int index = 0);
    void addGroup(int id, const std::string& name, std::initializer_list<int> readersAllowed = {});
    void addReader(int id, const std::string& name, int time = 2);

    // The live records of a table as an independent dBASE reader sees them in the file (one JSON
    // object per record, field names in capitals).
    QJsonArray storedRecords(const QString& table) const;
    // One field of every stored record, as text.
    QStringList storedColumn(const QString& table, const QString& field) const;

private:
    QTemporaryDir m_dir;
};

// A page's control by its object name; a missing one ends the test at once, naming it.
template <typename T = QWidget> T* control(QWidget& page, const char* name) {
    T* found = page.findChild<T*>(QString::fromLatin1(name));
    if (!found) {
        qFatal("no control %s", name);
    }
    return found;
}

} // namespace talvern::test
