// The data-aware controls against real tables: grids over the cursor, check boxes with their three
// states, the relay-time box, the group list and the text boxes.

#include "DBCheckBox.h"
#include "DBComboBox.h"
#include "DBEdit.h"
#include "DBGrid.h"
#include "DBLookupComboBox.h"
#include "DBMemo.h"
#include "Site.h"
#include "TableModel.h"

#include <QAbstractItemModelTester>
#include <QLineEdit>
#include <QTest>

using namespace talvern;
using talvern::test::Site;

class ControlsTest : public QObject {
    Q_OBJECT

private slots:
    void gridModelStaysConsistentThroughEveryChange();
    void gridSelectionMovesTheCursorAndGroupTracking();
    void gridFollowsTheCursor();
    void checkBoxShowsThreeStates_data();
    void checkBoxShowsThreeStates();
    void checkBoxClickTogglesFieldUnlessReadOnly();
    void relayTimeBoxStoresPickedAndTypedValues();
    void relayTimeBoxRefusesTextThatIsNoNumber();
    void groupListShowsTheUsersGroupOrNothing();
    void pickingAGroupMovesGroupsAndWritesTheUsersGroup();
    void readOnlyGroupListDoesNotChange();
    void textBoxKeepsBlankBetweenWords();
    void noteBoxStoresLinesWithCrLf();
};

void ControlsTest::gridModelStaysConsistentThroughEveryChange() {
    Site site;
    site.addUser(1, "Anna", "Nowak", "Office");
    site.addUser(2, "Jan", "Kowal", "Office");
    DBGrid grid;
    grid.bind(site.users, {{"NUMBER", 83}, {"SURNAME", 185}});
    QAbstractItemModelTester tester(grid.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);

    QCOMPARE(grid.model()->rowCount(), 2);
    site.addUser(3, "Ewa", "Lis", "");
    QCOMPARE(grid.model()->rowCount(), 3);
    QCOMPARE(grid.model()->index(2, 1).data().toString(), QStringLiteral("Ewa"));

    // An append under way shows as an extra row; cancelling it takes the row away again.
    site.users.append();
    QCOMPARE(grid.model()->rowCount(), 4);
    site.users.cancel();
    QCOMPARE(grid.model()->rowCount(), 3);

    // A change under way shows in its row before it is stored.
    site.users.moveTo(2);
    site.users.edit();
    site.users.fieldByName("SURNAME").setAsString("Janusz");
    QCOMPARE(grid.model()->index(1, 1).data().toString(), QStringLiteral("Janusz"));
    site.users.post();

    site.users.moveTo(1);
    site.users.deleteRecord();
    QCOMPARE(grid.model()->rowCount(), 2);
    QCOMPARE(grid.model()->index(0, 1).data().toString(), QStringLiteral("Janusz"));
    site.users.refresh();
    QCOMPARE(grid.model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("SURNAME"));
    QVERIFY(grid.model()->setHeaderData(1, Qt::Horizontal, QStringLiteral("Imię"), Qt::DisplayRole));
    QCOMPARE(grid.columnTitle(1), QStringLiteral("Imię"));
    QCOMPARE(grid.columnWidth(0), 83);
}

void ControlsTest::gridSelectionMovesTheCursorAndGroupTracking() {
    Site site;
    site.addGroup(1, "Office");
    site.addGroup(2, "Store");
    site.addUser(1, "Anna", "Nowak", "Office");
    site.addUser(2, "Jan", "Kowal", "Store");
    site.users.first();
    DBGrid grid;
    grid.bind(site.users, {{"SURNAME", 100}});
    grid.resize(300, 200);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));

    const QRect second = grid.visualRect(grid.model()->index(1, 0));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, second.center());
    QCOMPARE(site.users.recNo(), 2);
    QCOMPARE(site.groups.fieldByName("NAME").asString(), std::string("Store"));

    QTest::keyClick(&grid, Qt::Key_Up);
    QCOMPARE(site.users.recNo(), 1);
    QCOMPARE(site.groups.fieldByName("NAME").asString(), std::string("Office"));
}

void ControlsTest::gridFollowsTheCursor() {
    Site site;
    for (int n = 1; n <= 5; ++n) {
        site.addUser(n, "User" + std::to_string(n), "", "");
    }
    DBGrid grid;
    grid.bind(site.users, {{"SURNAME", 100}});
    site.users.moveTo(4);
    QCOMPARE(grid.currentIndex().row(), 3);
    site.users.first();
    QCOMPARE(grid.currentIndex().row(), 0);
    // While display is suspended the grid stays; it follows once display resumes.
    site.users.disableControls();
    site.users.last();
    QCOMPARE(grid.currentIndex().row(), 0);
    site.users.enableControls();
    QCOMPARE(grid.currentIndex().row(), 4);
}

void ControlsTest::checkBoxShowsThreeStates_data() {
    QTest::addColumn<int>("value"); // 1 true, 0 false, -1 no value
    QTest::addColumn<Qt::CheckState>("shown");
    QTest::newRow("true") << 1 << Qt::Checked;
    QTest::newRow("false") << 0 << Qt::Unchecked;
    QTest::newRow("no value") << -1 << Qt::PartiallyChecked;
}

void ControlsTest::checkBoxShowsThreeStates() {
    QFETCH(int, value);
    QFETCH(Qt::CheckState, shown);
    Site site;
    site.readers.append();
    site.readers.fieldByName("ID_CZYT").setAsInteger(1);
    if (value >= 0) {
        site.readers.fieldByName("EMULACJA").setAsBoolean(value == 1);
    }
    site.readers.post();
    DBCheckBox box;
    box.bind(site.readers, "EMULACJA");
    QCOMPARE(box.checkState(), shown);
}

void ControlsTest::checkBoxClickTogglesFieldUnlessReadOnly() {
    Site site;
    site.addGroup(1, "Office");
    site.groups.edit();
    site.groups.fieldByName("p5").clear();
    site.groups.post();
    DBCheckBox box;
    box.setText("5");
    box.bind(site.groups, "P5");
    QCOMPARE(box.checkState(), Qt::PartiallyChecked);

    box.setReadOnly(true);
    box.click();
    QCOMPARE(box.checkState(), Qt::PartiallyChecked);
    QCOMPARE(site.groups.state(), db::TTable::State::Browse);

    // A greyed box becomes ticked; the click begins a change that the next movement stores.
    box.setReadOnly(false);
    box.click();
    QCOMPARE(box.checkState(), Qt::Checked);
    QCOMPARE(site.groups.state(), db::TTable::State::Edit);
    box.click();
    QCOMPARE(box.checkState(), Qt::Unchecked);
    box.click();
    site.groups.first();
    QCOMPARE(site.storedColumn("grupa.dbf", "P5"), QStringList{"True"});
}

void ControlsTest::relayTimeBoxStoresPickedAndTypedValues() {
    Site site;
    site.addReader(1, "Door", 2);
    DBComboBox box;
    box.addItems({"1", "2", "3", "15", "200"});
    box.bind(site.readers, "TIME");
    QCOMPARE(box.currentText(), QStringLiteral("2"));

    box.setCurrentIndex(3);
    emit box.activated(3);
    site.readers.refresh();
    QCOMPARE(site.storedColumn("sprzet.dbf", "TIME"), QStringList{"15"});

    box.lineEdit()->selectAll();
    QTest::keyClicks(box.lineEdit(), "45");
    site.readers.refresh();
    QCOMPARE(site.storedColumn("sprzet.dbf", "TIME"), QStringList{"45"});
    QVERIFY(site.messages.isEmpty());
}

void ControlsTest::relayTimeBoxRefusesTextThatIsNoNumber() {
    Site site;
    site.addReader(1, "Door", 7);
    DBComboBox box;
    box.bind(site.readers, "TIME");
    box.lineEdit()->selectAll();
    QTest::keyClicks(box.lineEdit(), "x1");
    // Nothing is said while typing, and the field keeps its value.
    QVERIFY(site.messages.isEmpty());
    QCOMPARE(box.currentText(), QStringLiteral("x1"));
    QCOMPARE(site.readers.fieldByName("TIME").asString(), std::string("7"));
    // Return ends the typing: the table's own message, quoting all that was typed; the box shows the
    // field's value again and the file is unchanged.
    QTest::keyClick(box.lineEdit(), Qt::Key_Return);
    QCOMPARE(site.messages.size(), 1);
    QVERIFY(site.messages[0].text.contains("TIME"));
    QVERIFY2(site.messages[0].text.contains("x1"), qPrintable(site.messages[0].text));
    QCOMPARE(box.currentText(), QStringLiteral("7"));
    site.readers.refresh();
    QCOMPARE(site.storedColumn("sprzet.dbf", "TIME"), QStringList{"7"});
}

void ControlsTest::groupListShowsTheUsersGroupOrNothing() {
    Site site;
    site.addGroup(1, "Office");
    site.addGroup(2, "Store");
    site.addUser(1, "Anna", "", "Store");
    site.addUser(2, "Jan", "", db::kLackOfAssignment);
    site.addUser(3, "Ewa", "", "office"); // letter case counts
    site.users.first();
    DBLookupComboBox box;
    box.bind(site.users, "GROUP", site.groups, "NAME");
    QCOMPARE(box.count(), 2);
    QCOMPARE(box.currentText(), QStringLiteral("Store"));
    site.users.next();
    QCOMPARE(box.currentIndex(), -1);
    site.users.next();
    QCOMPARE(box.currentIndex(), -1);
    // Selecting another group elsewhere does not change what the user's box shows.
    site.users.first();
    site.groups.first();
    QCOMPARE(box.currentText(), QStringLiteral("Store"));
}

void ControlsTest::pickingAGroupMovesGroupsAndWritesTheUsersGroup() {
    Site site;
    site.addGroup(1, "Office");
    site.addGroup(2, "Store");
    site.addUser(1, "Anna", "", db::kLackOfAssignment);
    site.users.first();
    DBLookupComboBox box;
    box.bind(site.users, "GROUP", site.groups, "NAME");
    box.setCurrentIndex(1);
    emit box.activated(1);
    QCOMPARE(site.groups.recNo(), 2);
    QCOMPARE(site.users.state(), db::TTable::State::Edit);
    QCOMPARE(box.currentText(), QStringLiteral("Store"));
    site.users.refresh();
    QCOMPARE(site.storedColumn("osoby.dbf", "GROUP"), QStringList{"Store"});
}

void ControlsTest::readOnlyGroupListDoesNotChange() {
    Site site;
    site.addGroup(1, "Office");
    site.addGroup(2, "Store");
    site.addUser(1, "Anna", "", "Office");
    site.users.first();
    DBLookupComboBox box;
    box.bind(site.users, "GROUP", site.groups, "NAME");
    box.setReadOnly(true);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    box.setFocus();
    QTest::keyClick(&box, Qt::Key_Down);
    box.showPopup();
    QCOMPARE(box.currentText(), QStringLiteral("Office"));
    QCOMPARE(site.users.state(), db::TTable::State::Browse);
}

void ControlsTest::textBoxKeepsBlankBetweenWords() {
    Site site;
    site.addUser(1, "", "", "");
    DBEdit box;
    box.bind(site.users, "SURNAME");
    QCOMPARE(box.maxLength(), 30);
    // The table is refreshed after every keystroke, as the Users page does; a refresh gives text fields
    // back without trailing blanks.
    connect(&box, &QLineEdit::textChanged, &box, [&] { site.users.refresh(); });
    QTest::keyClicks(&box, "Anna Maria");
    QCOMPARE(box.text(), QStringLiteral("Anna Maria"));
    QCOMPARE(site.storedColumn("osoby.dbf", "SURNAME"), QStringList{"Anna Maria"});
}

void ControlsTest::noteBoxStoresLinesWithCrLf() {
    Site site;
    site.addUser(1, "", "", "");
    DBMemo box;
    box.bind(site.users, "INFO");
    box.setFocus();
    QTest::keyClicks(&box, "first");
    QTest::keyClick(&box, Qt::Key_Return);
    QTest::keyClicks(&box, "second");
    site.users.refresh();
    QCOMPARE(site.users.fieldByName("INFO").asString(), std::string("first\r\nsecond"));
    QCOMPARE(box.toPlainText(), QStringLiteral("first\nsecond"));
}

QTEST_MAIN(ControlsTest)
#include "ControlsTest.moc"
