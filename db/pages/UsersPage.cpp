#include "UsersPage.h"

#include "ui_UsersPage.h"

#include "DisplaySuspension.h"
#include "NewRecords.h"
#include "OperatorMessages.h"
#include "PageMode.h"
#include "SearchBar.h"
#include "SystemColours.h"

namespace talvern {

UsersPage::UsersPage(db::TTable& users, db::TTable& groups, QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::UsersPage>()), m_users(users), m_groups(groups) {
    m_ui->setupUi(this);
    // Typing a name into an empty table begins a user as Add does, with a number and no duplicate.
    users.setNewRecordFiller(db::fillNewUser);
    m_ui->DBGrid1->bind(users, {{QStringLiteral("NUMBER"), 83},
                                {QStringLiteral("SURNAME"), 185},
                                {QStringLiteral("NAME"), 153},
                                {QStringLiteral("GROUP"), 194}});
    // The search box stands over the grid: part of either name or the start of a number.
    m_search = new SearchBar(users, *m_ui->DBGrid1, {"SURNAME", "NAME"}, {"NUMBER"}, SearchBar::Shape::OneRow, this);
    m_search->setObjectName(QStringLiteral("UsersSearch"));
    m_search->setGeometry(8, 2, 651, 26);
    m_ui->DBEdit8->bind(users, QStringLiteral("SURNAME"));
    m_ui->DBEdit2->bind(users, QStringLiteral("NAME"));
    m_ui->DBEdit5->bind(users, QStringLiteral("INDEX"));
    m_ui->DBEdit1->bind(users, QStringLiteral("NUMBER"));
    m_ui->DBLB2->bind(users, QStringLiteral("GROUP"), groups, QStringLiteral("NAME"));
    m_ui->DBMemo1->bind(users, QStringLiteral("INFO"));

    using SystemColours::activeBorder;
    using SystemColours::inactiveBorder;
    // The name and note boxes are writable from the start; the first Confirm makes them read-only.
    pages::setColour(*m_ui->DBEdit8, activeBorder());
    pages::setColour(*m_ui->DBEdit2, activeBorder());
    pages::setColour(*m_ui->DBEdit5, inactiveBorder());
    pages::setColour(*m_ui->DBEdit1, inactiveBorder());
    pages::setColour(*m_ui->DBLB2, inactiveBorder());
    pages::setColour(*m_ui->DBMemo1, inactiveBorder());
    m_ui->DBEdit5->setReadOnly(true);
    m_ui->DBEdit1->setReadOnly(true);
    m_ui->DBLB2->setReadOnly(true);

    pages::joinModeButtons(
        *m_ui->SpeedButton4, [this] { SpeedButton4Click(); }, *m_ui->SpeedButton3, [this] { SpeedButton3Click(); });
    connect(m_ui->Button9, &QPushButton::clicked, this,
            [this] { OperatorMessages::runHandler([this] { Button9Click(); }); });
    connect(m_ui->Button7, &QPushButton::clicked, this,
            [this] { OperatorMessages::runHandler([this] { Button7Click(); }); });
    // Connected after binding, so that showing the first user does not count as a change.
    connect(m_ui->DBEdit8, &QLineEdit::textChanged, this,
            [this] { OperatorMessages::runHandler([this] { DBEdit8Change(); }); });
    connect(m_ui->DBEdit2, &QLineEdit::textChanged, this,
            [this] { OperatorMessages::runHandler([this] { DBEdit2Change(); }); });
}

UsersPage::~UsersPage() = default;

QPushButton* UsersPage::programButton() const {
    return m_ui->Button4;
}
QPushButton* UsersPage::readButton() const {
    return m_ui->Button2;
}
QPushButton* UsersPage::withdrawButton() const {
    return m_ui->Button3;
}
QCheckBox* UsersPage::duplicateBox() const {
    return m_ui->CBox2;
}
DBGrid* UsersPage::grid() const {
    return m_ui->DBGrid1;
}
SearchBar* UsersPage::searchBar() const {
    return m_search;
}

void UsersPage::setBoxesWritable(bool writable) {
    for (QWidget* box : {static_cast<QWidget*>(m_ui->DBEdit8), static_cast<QWidget*>(m_ui->DBEdit2),
                         static_cast<QWidget*>(m_ui->DBMemo1), static_cast<QWidget*>(m_ui->DBLB2)}) {
        pages::setWritable(*box, writable);
    }
}

void UsersPage::SpeedButton4Click() {
    m_ui->Button7->setEnabled(true);
    m_ui->Button9->setEnabled(true);
    for (QWidget* box : {static_cast<QWidget*>(m_ui->DBEdit8), static_cast<QWidget*>(m_ui->DBEdit2),
                         static_cast<QWidget*>(m_ui->DBMemo1), static_cast<QWidget*>(m_ui->DBLB2)}) {
        pages::setColour(*box, SystemColours::window());
    }
    setBoxesWritable(true);
}

void UsersPage::SpeedButton3Click() {
    m_users.refresh();
    m_ui->Button7->setEnabled(false);
    m_ui->Button9->setEnabled(false);
    pages::setColour(*m_ui->DBEdit8, SystemColours::activeBorder());
    pages::setColour(*m_ui->DBEdit2, SystemColours::activeBorder());
    pages::setColour(*m_ui->DBLB2, SystemColours::activeBorder());
    pages::setColour(*m_ui->DBMemo1, SystemColours::inactiveBorder());
    setBoxesWritable(false);
}

void UsersPage::Button9Click() {
    for (QWidget* box : {static_cast<QWidget*>(m_ui->DBEdit8), static_cast<QWidget*>(m_ui->DBEdit2),
                         static_cast<QWidget*>(m_ui->DBMemo1), static_cast<QWidget*>(m_ui->DBLB2)}) {
        pages::setColour(*box, SystemColours::window());
    }
    setBoxesWritable(true);

    // The cursor ends on the last user, and group tracking follows it once display resumes, so the new
    // user joins the last user's group when that group exists.
    {
        DisplaySuspension quiet(m_users);
        m_users.last();
    }

    // The new record is filled and stored in one step; the boxes show it once it is stored.
    DisplaySuspension quiet(m_users);
    const std::string group =
        m_groups.isOpen() && (!m_groups.isEmpty() || m_groups.state() == db::TTable::State::Insert)
            ? m_groups.fieldByName("NAME").asString()
            : std::string();
    // The new user comes with the next NUMBER (from the whole table: a table brought from elsewhere
    // need not be in number order) and INDEX 0 (fillNewUser).
    m_users.append();
    m_users.fieldByName("GROUP").setAsString(group);
    m_users.post();
}

void UsersPage::Button7Click() {
    if (!m_users.eof()) {
        m_users.deleteRecord();
    }
}

void UsersPage::storeNames() {
    // Beginning an append empties the boxes; refreshing then would drop the new record before it is
    // filled, so an untouched new record is left alone.
    if (m_users.state() == db::TTable::State::Insert && !m_users.isModified()) {
        return;
    }
    if (m_users.isOpen()) {
        m_users.refresh();
    }
}

void UsersPage::DBEdit8Change() {
    storeNames();
}

void UsersPage::DBEdit2Change() {
    storeNames();
}

} // namespace talvern
