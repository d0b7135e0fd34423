// The Users page against real tables: modes, adding and removing users, names stored as they are
// typed, the group box.

#include "UsersPage.h"
#include "DBEdit.h"
#include "DBGrid.h"
#include "DBLookupComboBox.h"
#include "DBMemo.h"
#include "Site.h"
#include "SystemColours.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTest>

using namespace talvern;
using talvern::test::Site;
using talvern::test::control;

namespace {

void click(QWidget& page, const char* button) {
    QTest::mouseClick(control<QPushButton>(page, button), Qt::LeftButton);
}

bool writable(QWidget* box) {
    if (auto* line = qobject_cast<QLineEdit*>(box)) {
        return !line->isReadOnly();
    }
    if (auto* memo = qobject_cast<QPlainTextEdit*>(box)) {
        return !memo->isReadOnly();
    }
    if (auto* list = qobject_cast<DBLookupComboBox*>(box)) {
        return !list->isReadOnly();
    }
    return false;
}

} // namespace

class UsersPageTest : public QObject {
    Q_OBJECT

private slots:
    void modesSetButtonsColoursAndReadOnly();
    void firstUserInEmptyTables_data();
    void firstUserInEmptyTables();
    void newUserGetsTheLastUsersGroup();
    void newNumberComesFromTheWholeTable();
    void typedNameIsInTheFileBeforeConfirm();
    void nameOutsideTheCodePageIsRefusedInPolish();
    void removeDoesNothingPastTheLastUser();
    void groupBoxReplacesTheMarkWithTheChosenGroup();
    void cardButtonsAreInPlace();
};

void UsersPageTest::modesSetButtonsColoursAndReadOnly() {
    Site site;
    site.addUser(1, "Anna", "Nowak", "");
    UsersPage page(site.users, site.groups);
    using namespace SystemColours;
    const auto colourOf = [&](const char* name) { return background(*control(page, name)); };
    const auto writableBox = [&](const char* name) { return writable(control(page, name)); };

    // Start: view mode, Confirm down, yet the names and the note are writable until the first Confirm.
    QVERIFY(control<QPushButton>(page, "SpeedButton3")->isChecked());
    QVERIFY(!control(page, "Button9")->isEnabled());
    QVERIFY(!control(page, "Button7")->isEnabled());
    QVERIFY(writableBox("DBEdit8") && writableBox("DBEdit2") && writableBox("DBMemo1"));
    QVERIFY(!writableBox("DBLB2") && !writableBox("DBEdit5") && !writableBox("DBEdit1"));
    QCOMPARE(colourOf("DBEdit8"), activeBorder());
    QCOMPARE(colourOf("DBMemo1"), inactiveBorder());
    QCOMPARE(colourOf("DBLB2"), inactiveBorder());

    click(page, "SpeedButton4");
    QVERIFY(control<QPushButton>(page, "SpeedButton4")->isChecked());
    QVERIFY(!control<QPushButton>(page, "SpeedButton3")->isChecked());
    QVERIFY(control(page, "Button9")->isEnabled() && control(page, "Button7")->isEnabled());
    for (const char* box : {"DBEdit8", "DBEdit2", "DBMemo1", "DBLB2"}) {
        QVERIFY2(writableBox(box), box);
        QCOMPARE(colourOf(box), window());
    }

    click(page, "SpeedButton3");
    QVERIFY(!control(page, "Button9")->isEnabled() && !control(page, "Button7")->isEnabled());
    for (const char* box : {"DBEdit8", "DBEdit2", "DBMemo1", "DBLB2", "DBEdit5", "DBEdit1"}) {
        QVERIFY2(!writableBox(box), box);
    }
    QCOMPARE(colourOf("DBEdit8"), activeBorder());
    QCOMPARE(colourOf("DBLB2"), activeBorder());
    QCOMPARE(colourOf("DBMemo1"), inactiveBorder());

    // Pressing the button already down runs its action again.
    click(page, "SpeedButton3");
    QVERIFY(control<QPushButton>(page, "SpeedButton3")->isChecked());
}

void UsersPageTest::firstUserInEmptyTables_data() {
    QTest::addColumn<bool>("withGroup");
    QTest::addColumn<QString>("group");
    QTest::newRow("no groups") << false << QString();
    QTest::newRow("one group") << true << QStringLiteral("Office");
}

void UsersPageTest::firstUserInEmptyTables() {
    QFETCH(bool, withGroup);
    QFETCH(QString, group);
    Site site;
    if (withGroup) {
        site.addGroup(1, group.toStdString());
    }
    UsersPage page(site.users, site.groups);
    click(page, "SpeedButton4");
    click(page, "Button9");
    QVERIFY(site.messages.isEmpty());
    const QJsonArray stored = site.storedRecords("osoby.dbf");
    QCOMPARE(stored.size(), 1);
    QCOMPARE(stored[0]["NUMBER"].toString(), QStringLiteral("1"));
    QCOMPARE(stored[0]["INDEX"].toString(), QStringLiteral("0"));
    QCOMPARE(stored[0]["GROUP"].toString(), group);
    QCOMPARE(stored[0]["SURNAME"].toString(), QString());
    QCOMPARE(control<DBEdit>(page, "DBEdit1")->text(), QStringLiteral("1"));
    QCOMPARE(control<DBGrid>(page, "DBGrid1")->currentIndex().row(), 0);
}

void UsersPageTest::newUserGetsTheLastUsersGroup() {
    Site site;
    site.addGroup(1, "Office");
    site.addGroup(2, "Store");
    site.addUser(1, "Anna", "", "Office");
    site.addUser(2, "Jan", "", "Store");
    site.users.first();
    UsersPage page(site.users, site.groups);
    // The Groups page shows another group, and the current user belongs to yet another.
    site.groups.first();
    QCOMPARE(site.groups.fieldByName("NAME").asString(), std::string("Office"));
    click(page, "SpeedButton4");
    click(page, "Button9");
    QCOMPARE(site.storedColumn("osoby.dbf", "GROUP"), (QStringList{"Office", "Store", "Store"}));
    QCOMPARE(site.users.recNo(), 3);
    QCOMPARE(control<DBLookupComboBox>(page, "DBLB2")->currentText(), QStringLiteral("Store"));
}

void UsersPageTest::newNumberComesFromTheWholeTable() {
    Site site;
    site.addUser(5, "A", "", "");
    site.addUser(9, "B", "", "");
    site.addUser(3, "C", "", "");
    site.users.first();
    UsersPage page(site.users, site.groups);
    click(page, "SpeedButton4");
    click(page, "Button9");
    QCOMPARE(site.storedColumn("osoby.dbf", "NUMBER"), (QStringList{"5", "9", "3", "10"}));
    // A removed user's number comes back only when it was the largest.
    click(page, "Button7");
    click(page, "Button9");
    QCOMPARE(site.storedColumn("osoby.dbf", "NUMBER"), (QStringList{"5", "9", "3", "10"}));
}

void UsersPageTest::typedNameIsInTheFileBeforeConfirm() {
    Site site;
    site.addUser(1, "", "", "");
    site.addUser(2, "Jan", "Kowal", "");
    site.users.first();
    UsersPage page(site.users, site.groups);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    click(page, "SpeedButton4");
    auto* surname = control<DBEdit>(page, "DBEdit8");
    auto* name = control<DBEdit>(page, "DBEdit2");
    surname->setFocus();
    QTest::keyClicks(surname, "Anna Maria");
    name->setFocus();
    QTest::keyClicks(name, "Nowak");
    QCOMPARE(site.storedColumn("osoby.dbf", "SURNAME"), (QStringList{"Anna Maria", "Jan"}));
    QCOMPARE(site.storedColumn("osoby.dbf", "NAME"), (QStringList{"Nowak", "Kowal"}));
    auto* grid = control<DBGrid>(page, "DBGrid1");
    QCOMPARE(grid->model()->index(0, 1).data().toString(), QStringLiteral("Anna Maria"));
    QCOMPARE(site.users.state(), db::TTable::State::Browse);

    // The note is stored by the next refresh: here, Confirm.
    auto* note = control<DBMemo>(page, "DBMemo1");
    note->setFocus();
    QTest::keyClicks(note, "keys at desk");
    QCOMPARE(site.storedColumn("osoby.dbf", "INFO"), (QStringList{"", ""}));
    click(page, "SpeedButton3");
    QCOMPARE(site.storedColumn("osoby.dbf", "INFO"), (QStringList{"keys at desk", ""}));
    QCOMPARE(site.storedColumn("osoby.dbf", "SURNAME"), (QStringList{"Anna Maria", "Jan"}));
    QVERIFY(site.messages.isEmpty());
}

void UsersPageTest::nameOutsideTheCodePageIsRefusedInPolish() {
    Site site;
    site.addUser(1, "Anna", "Nowak", "");
    UsersPage page(site.users, site.groups);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    click(page, "SpeedButton4");
    auto* firstName = control<DBEdit>(page, "DBEdit8"); // shown as "Imię"
    firstName->setFocus();
    firstName->end(false);
    // A key of a Cyrillic layout (keyClicks types Latin-1 only).
    QTest::sendKeyEvent(QTest::Click, firstName, Qt::Key_unknown, QString::fromUtf8("Д"), Qt::NoModifier);
    QCOMPARE(site.messages.size(), 1);
    QCOMPARE(site.messages[0].text,
             QString::fromUtf8("Znaku „Д” nie można zapisać w tabeli o stronie kodowej WINDOWS-1250."));
    QCOMPARE(site.messages[0].title, kApplicationTitle);
    QCOMPARE(site.storedColumn("osoby.dbf", "SURNAME"), QStringList{"Anna"});
}

void UsersPageTest::removeDoesNothingPastTheLastUser() {
    Site site;
    site.addUser(1, "A", "", "");
    site.addUser(2, "B", "", "");
    UsersPage page(site.users, site.groups);
    click(page, "SpeedButton4");
    site.users.last();
    site.users.next(); // as after programming the last user's card
    QVERIFY(site.users.eof());
    click(page, "Button7");
    QCOMPARE(site.storedColumn("osoby.dbf", "SURNAME"), (QStringList{"A", "B"}));
    site.users.first();
    click(page, "Button7");
    QCOMPARE(site.storedColumn("osoby.dbf", "SURNAME"), QStringList{"B"});
    click(page, "Button7");
    click(page, "Button7"); // the table is empty now
    QVERIFY(site.storedRecords("osoby.dbf").isEmpty());
    QVERIFY(site.messages.isEmpty());
}

void UsersPageTest::groupBoxReplacesTheMarkWithTheChosenGroup() {
    Site site;
    site.addGroup(1, "Office");
    site.addGroup(2, "Store");
    site.addUser(1, "A", "", db::kLackOfAssignment);
    site.users.first();
    UsersPage page(site.users, site.groups);
    auto* groupBox = control<DBLookupComboBox>(page, "DBLB2");
    QCOMPARE(groupBox->currentIndex(), -1);
    click(page, "SpeedButton4");
    groupBox->setCurrentIndex(1);
    emit groupBox->activated(1);
    click(page, "SpeedButton3");
    QCOMPARE(site.storedColumn("osoby.dbf", "GROUP"), QStringList{"Store"});
    QCOMPARE(groupBox->currentText(), QStringLiteral("Store"));
}

void UsersPageTest::cardButtonsAreInPlace() {
    Site site;
    UsersPage page(site.users, site.groups);
    QCOMPARE(page.programButton()->objectName(), QStringLiteral("Button4"));
    QCOMPARE(page.programButton()->text(), QStringLiteral("Program"));
    QCOMPARE(page.readButton()->geometry(), QRect(432, 374, 225, 31));
    QCOMPARE(page.withdrawButton()->text(), QStringLiteral("Delete withdrawal "));
    QVERIFY(page.withdrawButton()->isEnabled());
    QCOMPARE(page.duplicateBox()->text(), QStringLiteral(" Duplicate card"));
    QVERIFY(!page.duplicateBox()->isChecked());
    QCOMPARE(control(page, "DBLB2")->geometry(), QRect(12, 128, 148, 24));
    QCOMPARE(control(page, "Panel2")->geometry(), QRect(0, 240, 353, 209));
}

QTEST_MAIN(UsersPageTest)
#include "UsersPageTest.moc"
