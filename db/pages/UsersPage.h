#pragma once
// Page 0 of the notebook: the users table with its grid, the boxes of the current user, adding and
// removing users, and the buttons of the user-card operations (wired by the programmer link).

#include "TTable.h"

#include <QWidget>

#include <memory>

class QCheckBox;
class QPushButton;

namespace Ui {
class UsersPage;
}

namespace talvern {

class DBGrid;
class SearchBar;

class UsersPage : public QWidget {
    Q_OBJECT
public:
    // users and groups must outlive the page; group tracking between them is kept by the tables' owner.
    UsersPage(db::TTable& users, db::TTable& groups, QWidget* parent = nullptr);
    ~UsersPage() override;

    // The card operations' controls: "Program", "Read", "Delete withdrawal " and " Duplicate card".
    QPushButton* programButton() const;
    QPushButton* readButton() const;
    QPushButton* withdrawButton() const;
    QCheckBox* duplicateBox() const;
    DBGrid* grid() const;
    SearchBar* searchBar() const;

    // Edit: Add and Remove enabled, the name, note and group boxes writable.
    void SpeedButton4Click();
    // Confirm: stores a change under way, then Add and Remove disabled and the boxes read-only.
    void SpeedButton3Click();
    // Add: a new user with the next number, no duplicates and the group of the groups table's cursor.
    void Button9Click();
    // Remove: deletes the current user unless the cursor has run past the last one.
    void Button7Click();
    // A name box's text changed: the users table is refreshed, which stores a typed name at once.
    void DBEdit8Change();
    void DBEdit2Change();

private:
    void setBoxesWritable(bool writable);
    void storeNames();

    std::unique_ptr<Ui::UsersPage> m_ui;
    db::TTable& m_users;
    db::TTable& m_groups;
    SearchBar* m_search = nullptr;
};

} // namespace talvern
