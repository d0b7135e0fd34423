// The Groups page against real tables: reader boxes, adding and removing groups with the sweep over
// users, full and no access, and the reader hints.

#include "GroupsPage.h"
#include "DBCheckBox.h"
#include "DBEdit.h"
#include "DBGrid.h"
#include "DbfTable.h"
#include "Pages.h"
#include "Site.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace talvern;
using talvern::test::Site;

namespace {

template <typename T = QWidget> T* control(QWidget& page, const QString& name) {
    T* found = page.findChild<T*>(name);
    if (!found) {
        qFatal("no control %s", qPrintable(name));
    }
    return found;
}

void click(QWidget& page, const char* button) {
    QTest::mouseClick(control<QPushButton>(page, QString::fromLatin1(button)), Qt::LeftButton);
}

QStringList repeated(const QString& value, int times) {
    QStringList list;
    for (int i = 0; i < times; ++i) {
        list << value;
    }
    return list;
}

QStringList accessStored(const Site& site, int record) {
    QStringList values;
    const QJsonObject stored = site.storedRecords("grupa.dbf")[record].toObject();
    for (int reader = 1; reader <= 96; ++reader) {
        values << stored.value(QStringLiteral("P%1").arg(reader)).toString();
    }
    return values;
}

} // namespace

class GroupsPageTest : public QObject {
    Q_OBJECT

private slots:
    void readerBoxesStandInEightColumnsOfTwelve_data();
    void readerBoxesStandInEightColumnsOfTwelve();
    void firstGroupInAnEmptyTable();
    void newNumberIsOnePastTheLargest();
    void removingAGroupMarksExactlyItsUsers();
    void removingTheLastGroupLeavesUsersWithoutGroupUnmarked();
    void renamingAGroupDoesNotRenameItsUsers();
    void fullThenNoAccessIsStoredWithoutConfirm();
    void fullAccessOnAnEmptyTableChangesNothing();
    void fullAccessStopsAtTheFirstMissingField();
    void toggledBoxesAreStoredOnTheGroupThatWasCurrent();
    void hintsNameTheReadersUntilTheNextConfirm();
};

void GroupsPageTest::readerBoxesStandInEightColumnsOfTwelve_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<QRect>("place");
    QTest::newRow("1") << 1 << QRect(10, 15, 40, 19);
    QTest::newRow("12") << 12 << QRect(10, 231, 40, 19);
    QTest::newRow("13") << 13 << QRect(59, 15, 40, 19);
    QTest::newRow("25") << 25 << QRect(108, 12, 40, 20);
    QTest::newRow("40") << 40 << QRect(155, 71, 40, 20);
    QTest::newRow("85") << 85 << QRect(352, 15, 40, 20);
    QTest::newRow("96") << 96 << QRect(352, 229, 40, 19);
}

void GroupsPageTest::readerBoxesStandInEightColumnsOfTwelve() {
    QFETCH(int, number);
    QFETCH(QRect, place);
    Site site;
    GroupsPage page(site.groups, site.users, site.readers);
    DBCheckBox* box = page.readerBox(number);
    QCOMPARE(box->objectName(), QStringLiteral("DBCheckBox%1").arg(number));
    QCOMPARE(box->parentWidget()->objectName(), QStringLiteral("Panel1"));
    QCOMPARE(box->text(), QString::number(number));
    QCOMPARE(box->geometry().topLeft(), place.topLeft());
    QCOMPARE(box->width(), 40);
}

void GroupsPageTest::firstGroupInAnEmptyTable() {
    Site site;
    GroupsPage page(site.groups, site.users, site.readers);
    click(page, "SpeedButton5");
    click(page, "Button1");
    const QJsonArray stored = site.storedRecords("grupa.dbf");
    QCOMPARE(stored.size(), 1);
    QCOMPARE(stored[0]["ID_GRUPY"].toString(), QStringLiteral("1"));
    QCOMPARE(stored[0]["NAME"].toString(), QStringLiteral("Group 1"));
    QCOMPARE(accessStored(site, 0), repeated("False", 96));
    QCOMPARE(control<DBEdit>(page, "DBEdit6")->text(), QStringLiteral("Group 1"));
    for (int reader = 1; reader <= 96; ++reader) {
        QCOMPARE(page.readerBox(reader)->checkState(), Qt::Unchecked);
    }
}

void GroupsPageTest::newNumberIsOnePastTheLargest() {
    Site site;
    site.addGroup(1, "A");
    site.addGroup(2, "B");
    site.addGroup(7, "C");
    site.groups.first();
    GroupsPage page(site.groups, site.users, site.readers);
    click(page, "SpeedButton5");
    click(page, "Button1");
    QCOMPARE(site.storedColumn("grupa.dbf", "ID_GRUPY"), (QStringList{"1", "2", "7", "8"}));
    QCOMPARE(site.storedColumn("grupa.dbf", "NAME").last(), QStringLiteral("Group 8"));
    QCOMPARE(control<DBGrid>(page, "DBGrid2")->currentIndex().row(), 3);
}

void GroupsPageTest::removingAGroupMarksExactlyItsUsers() {
    Site site;
    site.addGroup(1, "Office");
    site.addGroup(2, "Store");
    site.addUser(1, "a", "", "Office");
    site.addUser(2, "b", "", "Store");
    site.addUser(3, "c", "", "");
    site.addUser(4, "d", "", "Ghost");
    site.addUser(5, "e", "", "store"); // letter case counts
    site.addUser(6, "f", "", "Office");
    site.addUser(7, "g", "", "Store");
    site.users.first(); // group tracking puts the groups cursor on "Office"
    GroupsPage page(site.groups, site.users, site.readers);
    click(page, "SpeedButton5");
    QCOMPARE(site.groups.fieldByName("NAME").asString(), std::string("Office"));
    click(page, "Button10");
    const QString lack = QString::fromLatin1(db::kLackOfAssignment);
    QCOMPARE(site.storedColumn("grupa.dbf", "NAME"), QStringList{"Store"});
    QCOMPARE(site.storedColumn("osoby.dbf", "GROUP"), (QStringList{lack, "Store", lack, lack, lack, lack, "Store"}));
    // The users cursor ends on the last user, whose group the groups cursor follows.
    QCOMPARE(site.users.recNo(), 7);
    QCOMPARE(site.groups.fieldByName("NAME").asString(), std::string("Store"));
    QVERIFY(site.messages.isEmpty());
}

void GroupsPageTest::removingTheLastGroupLeavesUsersWithoutGroupUnmarked() {
    Site site;
    site.addGroup(1, "Office");
    site.addUser(1, "a", "", "Office");
    site.addUser(2, "b", "", "");
    GroupsPage page(site.groups, site.users, site.readers);
    click(page, "SpeedButton5");
    click(page, "Button10");
    const QString lack = QString::fromLatin1(db::kLackOfAssignment);
    QCOMPARE(site.storedColumn("osoby.dbf", "GROUP"), (QStringList{lack, ""}));
    // Remove on the empty table removes nothing and marks nobody new.
    click(page, "Button10");
    QCOMPARE(site.storedColumn("osoby.dbf", "GROUP"), (QStringList{lack, ""}));
}

void GroupsPageTest::renamingAGroupDoesNotRenameItsUsers() {
    Site site;
    site.addGroup(1, "Office");
    site.addGroup(2, "Store");
    site.addUser(1, "a", "", "Office");
    site.users.first();
    GroupsPage page(site.groups, site.users, site.readers);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    click(page, "SpeedButton5");
    auto* name = control<DBEdit>(page, "DBEdit6");
    name->setFocus();
    name->selectAll();
    QTest::keyClicks(name, "Front office");
    click(page, "SpeedButton6");
    QCOMPARE(site.storedColumn("grupa.dbf", "NAME"), (QStringList{"Front office", "Store"}));
    QCOMPARE(site.storedColumn("osoby.dbf", "GROUP"), QStringList{"Office"});
    // The user now names no group: the next removal marks them.
    site.groups.last();
    click(page, "SpeedButton5");
    click(page, "Button10");
    QCOMPARE(site.storedColumn("osoby.dbf", "GROUP"), QStringList{QString::fromLatin1(db::kLackOfAssignment)});
}

void GroupsPageTest::fullThenNoAccessIsStoredWithoutConfirm() {
    Site site;
    site.addGroup(1, "Office", {3, 50});
    site.addGroup(2, "Store", {1});
    site.groups.first();
    GroupsPage page(site.groups, site.users, site.readers);
    click(page, "SpeedButton5");
    click(page, "Button13");
    QCOMPARE(accessStored(site, 0), repeated("True", 96));
    QCOMPARE(page.readerBox(96)->checkState(), Qt::Checked);
    click(page, "Button14");
    QCOMPARE(accessStored(site, 0), repeated("False", 96));
    QCOMPARE(page.readerBox(3)->checkState(), Qt::Unchecked);
    QCOMPARE(accessStored(site, 1)[0], QStringLiteral("True")); // the other group is untouched
    QCOMPARE(site.groups.state(), db::TTable::State::Browse);
}

void GroupsPageTest::fullAccessOnAnEmptyTableChangesNothing() {
    Site site;
    GroupsPage page(site.groups, site.users, site.readers);
    click(page, "SpeedButton5");
    click(page, "Button13");
    click(page, "Button14");
    QVERIFY(site.storedRecords("grupa.dbf").isEmpty());
    QCOMPARE(site.groups.recordCount(), 0);
    QCOMPARE(site.groups.state(), db::TTable::State::Browse);
    QVERIFY(site.messages.isEmpty());
}

void GroupsPageTest::fullAccessStopsAtTheFirstMissingField() {
    // A groups table with only p1 to p50.
    QTemporaryDir dir;
    std::vector<dbf::FieldSpec> fields{{"ID_grupy", 'N', 6}, {"NAME", 'C', 30}, {"NOTES", 'M', 10}};
    for (int reader = 1; reader <= 50; ++reader) {
        fields.push_back({"p" + std::to_string(reader), 'L', 1});
    }
    const std::string path = dir.filePath("grupa.dbf").toStdString();
    dbf::DbfTable::create(path, dbf::TableFormat::DBase3Memo, fields);
    db::TTable groups("Table3");
    db::TTable users("Table1");
    db::TTable readers("Table2");
    groups.open(path);
    groups.append();
    groups.fieldByName("NAME").setAsString("Office");
    groups.post();
    QList<OperatorMessage> messages;
    OperatorMessages::setRecorder([&](const OperatorMessage& message) { messages << message; });
    {
        GroupsPage page(groups, users, readers);
        click(page, "SpeedButton5");
        click(page, "Button13");
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].text.contains("53"), qPrintable(messages[0].text));
        // The fields set before the error stay set in the change under way; nothing is stored.
        QCOMPARE(groups.state(), db::TTable::State::Edit);
        QCOMPARE(page.readerBox(50)->checkState(), Qt::Checked);
        QCOMPARE(page.readerBox(51)->checkState(), Qt::PartiallyChecked);
    }
    OperatorMessages::clearRecorder();
    groups.cancel();
    QCOMPARE(groups.fieldByName("p50").isNull(), true);
}

void GroupsPageTest::toggledBoxesAreStoredOnTheGroupThatWasCurrent() {
    Site site;
    site.addGroup(1, "Office");
    site.addGroup(2, "Store");
    site.groups.first();
    GroupsPage page(site.groups, site.users, site.readers);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    // Read-only until Edit.
    QTest::mouseClick(page.readerBox(7), Qt::LeftButton);
    QCOMPARE(page.readerBox(7)->checkState(), Qt::Unchecked);
    click(page, "SpeedButton5");
    QTest::mouseClick(page.readerBox(7), Qt::LeftButton);
    QTest::mouseClick(page.readerBox(90), Qt::LeftButton);
    QCOMPARE(page.readerBox(7)->checkState(), Qt::Checked);
    auto* grid = control<DBGrid>(page, "DBGrid2");
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(1, 0)).center());
    QCOMPARE(site.groups.recNo(), 2);
    QCOMPARE(page.readerBox(7)->checkState(), Qt::Unchecked);
    const QStringList office = accessStored(site, 0);
    QCOMPARE(office[6], QStringLiteral("True"));
    QCOMPARE(office[89], QStringLiteral("True"));
    QCOMPARE(office.count("True"), 2);
    QCOMPARE(accessStored(site, 1).count("True"), 0);
}

void GroupsPageTest::hintsNameTheReadersUntilTheNextConfirm() {
    Site site;
    site.addReader(3, "Gate");
    site.addReader(50, "Store room");
    site.addReader(120, "Out of range");
    TablePages pages = createTablePages(site.users, site.readers, site.groups);
    std::unique_ptr<QWidget> keep[] = {std::unique_ptr<QWidget>(pages.users), std::unique_ptr<QWidget>(pages.groups),
                                       std::unique_ptr<QWidget>(pages.readers)};
    GroupsPage& page = *pages.groups;
    page.RefreshReaderHints();
    QCOMPARE(page.readerBox(3)->toolTip(), QStringLiteral("Gate"));
    QCOMPARE(page.readerBox(50)->toolTip(), QStringLiteral("Store room"));
    for (int reader = 1; reader <= 96; ++reader) {
        if (reader != 3 && reader != 50) {
            QCOMPARE(page.readerBox(reader)->toolTip(), QStringLiteral("Lack in system"));
        }
    }
    QCOMPARE(site.readers.recNo(), 1);

    // Removing reader 50 changes no hint until the Readers page's Confirm.
    click(*pages.readers, "SpeedButton1");
    site.readers.moveTo(2);
    click(*pages.readers, "Button8");
    QCOMPARE(page.readerBox(50)->toolTip(), QStringLiteral("Store room"));
    click(*pages.readers, "SpeedButton2");
    QCOMPARE(page.readerBox(50)->toolTip(), QStringLiteral("Lack in system"));
    QCOMPARE(page.readerBox(3)->toolTip(), QStringLiteral("Gate"));
    QVERIFY(site.messages.isEmpty());
}

QTEST_MAIN(GroupsPageTest)
#include "GroupsPageTest.moc"
