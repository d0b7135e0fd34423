#include "GroupsPage.h"

#include "ui_GroupsPage.h"

#include "DisplaySuspension.h"
#include "NewRecords.h"
#include "OperatorMessages.h"
#include "PageMode.h"
#include "SearchBar.h"
#include "StandardTables.h"
#include "StoreChange.h"
#include "SystemColours.h"

#include <unordered_set>

namespace talvern {

namespace {

const QString kNoReaderHint = QStringLiteral("Lack in system");

// The reader boxes reach their fields under these names; field names are matched whatever their
// letter case, so every spelling reaches the same field.
QString accessFieldName(int number) {
    static const std::unordered_set<int> capitals = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 32, 53, 59, 82};
    return (capitals.count(number) ? QStringLiteral("P") : QStringLiteral("p")) + QString::number(number);
}

// The access fields p1 to p96 stand at these positions of the groups table, after its number, name
// and note.
constexpr int kFirstAccessPosition = 3;

} // namespace

GroupsPage::GroupsPage(db::TTable& groups, db::TTable& users, db::TTable& readers, QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::GroupsPage>()), m_groups(groups), m_users(users), m_readers(readers) {
    m_ui->setupUi(this);
    // Typing a name or ticking a reader in an empty table begins a group as Add does, numbered.
    groups.setNewRecordFiller(db::fillNewGroup);
    m_ui->DBGrid2->bind(groups, {{QStringLiteral("NAME"), 192}});
    // The search box has the page's width under the name row: part of a name or the start of a number.
    m_search = new SearchBar(groups, *m_ui->DBGrid2, {"NAME"}, {"ID_grupy"}, SearchBar::Shape::OneRow, this);
    m_search->setObjectName(QStringLiteral("GroupsSearch"));
    m_search->setGeometry(8, 416, 651, 26);
    m_ui->DBMemo2->bind(groups, QStringLiteral("NOTES"));
    m_ui->DBEdit6->bind(groups, QStringLiteral("NAME"));
    for (int number = 1; number <= kReaderCount; ++number) {
        auto* box = m_ui->Panel1->findChild<DBCheckBox*>(QStringLiteral("DBCheckBox%1").arg(number));
        Q_ASSERT(box);
        box->bind(groups, accessFieldName(number));
        box->setReadOnly(true);
        box->setToolTip(kNoReaderHint);
        m_readerBoxes.push_back(box);
    }
    pages::setColour(*m_ui->DBEdit6, SystemColours::inactiveBorder());
    pages::setColour(*m_ui->DBMemo2, SystemColours::inactiveBorder());

    pages::joinModeButtons(
        *m_ui->SpeedButton5, [this] { SpeedButton5Click(); }, *m_ui->SpeedButton6, [this] { SpeedButton6Click(); });
    const auto handle = [this](QPushButton* button, void (GroupsPage::*handler)()) {
        connect(button, &QPushButton::clicked, this,
                [this, handler] { OperatorMessages::runHandler([this, handler] { (this->*handler)(); }); });
    };
    handle(m_ui->Button1, &GroupsPage::Button1Click);
    handle(m_ui->Button10, &GroupsPage::Button10Click);
    handle(m_ui->Button13, &GroupsPage::Button13Click);
    handle(m_ui->Button14, &GroupsPage::Button14Click);
}

GroupsPage::~GroupsPage() = default;

DBCheckBox* GroupsPage::readerBox(int number) const {
    return number >= 1 && number <= kReaderCount ? m_readerBoxes[static_cast<std::size_t>(number - 1)] : nullptr;
}

DBGrid* GroupsPage::grid() const {
    return m_ui->DBGrid2;
}

void GroupsPage::setBoxesWritable(bool writable) {
    for (DBCheckBox* box : m_readerBoxes) {
        box->setReadOnly(!writable);
    }
}

void GroupsPage::SpeedButton5Click() {
    for (QPushButton* button : {m_ui->Button1, m_ui->Button10, m_ui->Button13, m_ui->Button14}) {
        button->setEnabled(true);
    }
    pages::setWritable(*m_ui->DBEdit6, true);
    pages::setColour(*m_ui->DBEdit6, SystemColours::window());
    pages::setColour(*m_ui->DBMemo2, SystemColours::window());
    pages::setWritable(*m_ui->DBMemo2, true);
    setBoxesWritable(true);
}

void GroupsPage::SpeedButton6Click() {
    m_groups.refresh();
    for (QPushButton* button : {m_ui->Button1, m_ui->Button10, m_ui->Button13, m_ui->Button14}) {
        button->setEnabled(false);
    }
    pages::setWritable(*m_ui->DBEdit6, false);
    pages::setColour(*m_ui->DBEdit6, SystemColours::inactiveBorder());
    pages::setColour(*m_ui->DBMemo2, SystemColours::inactiveBorder());
    pages::setWritable(*m_ui->DBMemo2, false);
    setBoxesWritable(false);
}

void GroupsPage::Button1Click() {
    // The new group comes with the next number, the name "Group " and that number, and every reader box
    // clear (fillNewGroup). Stored in one step; the boxes show it once stored.
    DisplaySuspension quiet(m_groups);
    m_groups.append();
    m_groups.post();
}

bool GroupsPage::removalMarksUsers() {
    // The names that remain once the current group is gone (the group under an append is not stored).
    std::unordered_set<std::string> names;
    const int nameField = m_groups.fieldByName("NAME").index();
    const int current = m_groups.eof() || m_groups.state() == db::TTable::State::Insert ? 0 : m_groups.recNo();
    for (int row = 1; row <= m_groups.recordCount(); ++row) {
        if (row != current)
            names.insert(m_groups.valueAt(row, nameField));
    }
    const int groupField = m_users.fieldByName("GROUP").index();
    for (int row = 1; row <= m_users.recordCount(); ++row) {
        const std::string group = m_users.valueAt(row, groupField);
        if (group == db::kLackOfAssignment || (names.empty() && group.empty()) || (!group.empty() && names.count(group)))
            continue;
        return true;
    }
    return false;
}

void GroupsPage::Button10Click() {
    if (m_beforeBulkChange && removalMarksUsers()) {
        m_beforeBulkChange(BulkChange::GroupRemoval);
    }
    if (!m_groups.eof()) {
        m_groups.deleteRecord();
    }
    storeChange(m_groups);

    // A user keeps its group when a remaining group bears exactly that name. Reading the names once
    // and the users' groups row by row gives the same marks as visiting each user with group tracking,
    // without moving either cursor for users that keep their group.
    std::unordered_set<std::string> names;
    const int nameField = m_groups.fieldByName("NAME").index();
    for (int row = 1; row <= m_groups.recordCount(); ++row) {
        names.insert(m_groups.valueAt(row, nameField));
    }
    const bool noGroupLeft = names.empty();

    {
        // The grids and boxes show the final state once; they are not repainted for every user.
        DisplaySuspension quiet(m_users);
        storeChange(m_users);
        const int groupField = m_users.fieldByName("GROUP").index();
        std::string lastGroupFound;
        bool lastUserHasGroup = false;
        for (int row = 1; row <= m_users.recordCount(); ++row) {
            const std::string group = m_users.valueAt(row, groupField);
            lastUserHasGroup = !group.empty() && names.count(group) > 0;
            if (lastUserHasGroup) {
                lastGroupFound = group;
                continue;
            }
            // With no group left, the empty name of the empty groups table matches an empty GROUP.
            // A user already marked is written again with the same value, which changes nothing.
            if ((noGroupLeft && group.empty()) || group == db::kLackOfAssignment) {
                continue;
            }
            m_users.moveTo(row);
            m_users.edit();
            m_users.fieldByName("GROUP").setAsString(db::kLackOfAssignment);
            m_users.post();
        }
        if (!m_users.isEmpty()) {
            m_users.last();
        }
        // Group tracking follows the last user when display resumes. When that user's group is gone, the
        // groups cursor stands where the visit of users last found a group.
        if (!lastUserHasGroup && !lastGroupFound.empty()) {
            m_groups.locate("NAME", lastGroupFound, false);
        }
    }
    m_users.refresh();
}

void GroupsPage::setAllAccess(bool granted) {
    // An empty groups table has no group to change; beginning a change there would append a group
    // without number or name.
    if (m_groups.isEmpty() && m_groups.state() != db::TTable::State::Insert) {
        return;
    }
    DisplaySuspension quiet(m_groups);
    m_groups.edit();
    for (int position = kFirstAccessPosition; position < kFirstAccessPosition + kReaderCount; ++position) {
        m_groups.field(position).setAsBoolean(granted);
    }
    m_groups.post();
}

void GroupsPage::Button13Click() {
    if (m_beforeBulkChange && !m_groups.isEmpty()) {
        m_beforeBulkChange(BulkChange::FullAccess);
    }
    setAllAccess(true);
}

void GroupsPage::Button14Click() {
    if (m_beforeBulkChange && !m_groups.isEmpty()) {
        m_beforeBulkChange(BulkChange::NoAccess);
    }
    setAllAccess(false);
}

void GroupsPage::RefreshReaderHints() {
    for (DBCheckBox* box : m_readerBoxes) {
        box->setToolTip(kNoReaderHint);
        box->setAccessibleDescription(kNoReaderHint);
    }
    {
        DisplaySuspension quiet(m_readers);
        m_readers.first();
        const int numberField = m_readers.fieldByName("ID_czyt").index();
        const int nameField = m_readers.fieldByName("NAME").index();
        // When two readers bear the same number the later one names the box.
        for (int row = 1; row <= m_readers.recordCount(); ++row) {
            const std::int64_t number = m_readers.integerAt(row, numberField);
            if (number >= 1 && number <= kReaderCount) {
                const QString name = QString::fromStdString(m_readers.valueAt(row, nameField));
                DBCheckBox* box = m_readerBoxes[static_cast<std::size_t>(number - 1)];
                box->setToolTip(name);
                box->setAccessibleDescription(name);
            }
        }
    }
    m_readers.first();
}

} // namespace talvern
