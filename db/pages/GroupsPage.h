#pragma once
// Page 1 of the notebook: the groups table with its grid, name and note of the current group, and its
// 96 access fields as a block of numbered reader boxes whose hints name the readers.

#include "TTable.h"

#include <QWidget>

#include <functional>
#include <memory>

namespace Ui {
class GroupsPage;
}

namespace talvern {

class DBCheckBox;
class DBGrid;
class SearchBar;

class GroupsPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int kReaderCount = 96;

    // The three tables must outlive the page. users is visited when a group is removed; readers names
    // the reader boxes.
    GroupsPage(db::TTable& groups, db::TTable& users, db::TTable& readers, QWidget* parent = nullptr);
    ~GroupsPage() override;

    // The reader box of reader number (1..96).
    DBCheckBox* readerBox(int number) const;
    DBGrid* grid() const;
    SearchBar* searchBar() const { return m_search; }

    // Edit: Add, Remove, "Full access " and "No access" enabled, name, note and reader boxes writable.
    void SpeedButton5Click();
    // Confirm: stores a change under way, then the buttons disabled and the boxes read-only.
    void SpeedButton6Click();
    // Add: a new group numbered one past the largest number, named after it, with no access.
    void Button1Click();
    // Remove: deletes the current group and marks every user whose group no longer exists.
    void Button10Click();
    // "Full access " and "No access": all 96 access fields of the current group set and stored.
    void Button13Click();
    void Button14Click();
    // Names each reader box after the reader of its number, or "Lack in system" when there is none.
    void RefreshReaderHints();

    // The changes of many stored values at once, announced just before they are made (the program backs
    // the site up then): a removal that marks users, "Full access " and "No access" on a group.
    enum class BulkChange { GroupRemoval, FullAccess, NoAccess };
    void setBeforeBulkChange(std::function<void(BulkChange)> announce) { m_beforeBulkChange = std::move(announce); }
    // True when removing the current group now would mark at least one user "Lack of assignment!".
    bool removalMarksUsers();

private:
    void setAllAccess(bool granted);
    void setBoxesWritable(bool writable);

    std::unique_ptr<Ui::GroupsPage> m_ui;
    db::TTable& m_groups;
    db::TTable& m_users;
    db::TTable& m_readers;
    SearchBar* m_search = nullptr;
    std::vector<DBCheckBox*> m_readerBoxes;
    std::function<void(BulkChange)> m_beforeBulkChange;
};

} // namespace talvern
