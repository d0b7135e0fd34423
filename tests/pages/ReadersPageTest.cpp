// The Readers page against real tables: adding readers with the lowest free number, removing them,
// the modes, the relay-time list, and the page in user mode.

#include "ReadersPage.h"
#include "DBComboBox.h"
#include "DBGrid.h"
#include "DBMemo.h"
#include "Site.h"
#include "SystemColours.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace talvern;
using talvern::test::Site;
using talvern::test::control;

namespace {

void click(QWidget& page, const char* button) {
    QTest::mouseClick(control<QPushButton>(page, button), Qt::LeftButton);
}

} // namespace

class ReadersPageTest : public QObject {
    Q_OBJECT

private slots:
    void addGivesTheLowestFreeNumber_data();
    void addGivesTheLowestFreeNumber();
    void allNumbersTakenGivesTheMessageAndNoChange();
    void removedNumberIsGivenAgain();
    void modesAndConfirm();
    void relayTimeListHoldsTheOfferedTimes();
    void configurationCardBoxIsLaidOut();
    void userModeLeavesThePageShowingOnly();
};

void ReadersPageTest::addGivesTheLowestFreeNumber_data() {
    QTest::addColumn<QList<int>>("present");
    QTest::addColumn<int>("expected");
    QTest::newRow("empty table") << QList<int>{} << 1;
    QTest::newRow("1 2 4") << QList<int>{1, 2, 4} << 3;
    QTest::newRow("only 2") << QList<int>{2} << 1;
    QTest::newRow("out of order") << QList<int>{3, 1, 2} << 4;
    QList<int> upTo95;
    for (int n = 95; n >= 1; --n) {
        upTo95 << n;
    }
    QTest::newRow("all but 96") << upTo95 << 96;
}

void ReadersPageTest::addGivesTheLowestFreeNumber() {
    QFETCH(QList<int>, present);
    QFETCH(int, expected);
    Site site;
    for (int number : present) {
        site.addReader(number, "Reader " + std::to_string(number), 5);
    }
    ReadersPage page(site.readers);
    click(page, "SpeedButton1");
    click(page, "Button6");
    const QJsonArray stored = site.storedRecords("sprzet.dbf");
    QCOMPARE(stored.size(), present.size() + 1);
    const QJsonObject added = stored.last().toObject();
    QCOMPARE(added["ID_CZYT"].toString(), QString::number(expected));
    QCOMPARE(added["NAME"].toString(), QStringLiteral("Reader %1").arg(expected));
    QCOMPARE(added["TIME"].toString(), QStringLiteral("2"));
    QCOMPARE(added["PROX"].toString(), QStringLiteral("False"));
    QCOMPARE(added["EMULACJA"].toString(), QStringLiteral("False"));
    QCOMPARE(added["MIEJSCE"].toString(), QString());
    QCOMPARE(site.readers.recNo(), present.size() + 1);
    QCOMPARE(control<QCheckBox>(page, "DBCheckBox97")->checkState(), Qt::Unchecked);
    QVERIFY(site.messages.isEmpty());
}

void ReadersPageTest::allNumbersTakenGivesTheMessageAndNoChange() {
    Site site;
    for (int number = 1; number <= 96; ++number) {
        site.addReader(number, "R" + std::to_string(number));
    }
    site.readers.first();
    ReadersPage page(site.readers);
    click(page, "SpeedButton1");
    click(page, "Button6");
    QCOMPARE(site.messages.size(), 1);
    QCOMPARE(site.messages[0].text, QStringLiteral("Maksymalny numer czytnika to 96."));
    QCOMPARE(site.messages[0].title, QStringLiteral("Error"));
    QCOMPARE(site.storedRecords("sprzet.dbf").size(), 96);
    QCOMPARE(site.readers.state(), db::TTable::State::Browse);
    // The search ended on the last reader it found.
    QCOMPARE(site.readers.fieldByName("ID_CZYT").asInteger(), 96);
}

void ReadersPageTest::removedNumberIsGivenAgain() {
    Site site;
    for (int number = 1; number <= 4; ++number) {
        site.addReader(number, "R" + std::to_string(number));
    }
    ReadersPage page(site.readers);
    click(page, "SpeedButton1");
    site.readers.moveTo(2);
    click(page, "Button8");
    QCOMPARE(site.storedColumn("sprzet.dbf", "ID_CZYT"), (QStringList{"1", "3", "4"}));
    click(page, "Button6");
    QCOMPARE(site.storedColumn("sprzet.dbf", "ID_CZYT"), (QStringList{"1", "3", "4", "2"}));
    // Past the last reader nothing is removed.
    site.readers.last();
    site.readers.next();
    click(page, "Button8");
    QCOMPARE(site.storedRecords("sprzet.dbf").size(), 4);
}

void ReadersPageTest::modesAndConfirm() {
    Site site;
    site.addReader(1, "Gate");
    site.addReader(2, "Door");
    ReadersPage page(site.readers);
    int refreshed = 0;
    page.setRefreshReaderHints([&] {
        ++refreshed;
        site.readers.first();
    });
    using namespace SystemColours;
    auto* name = control<QLineEdit>(page, "DBEdit3");
    auto* time = control<DBComboBox>(page, "DBComboBox1");
    auto* note = control<DBMemo>(page, "DBMemo3");
    auto* option = control<QCheckBox>(page, "DBCheckBox97");
    QVERIFY(name->isReadOnly() && time->isReadOnly() && note->isReadOnly());
    QVERIFY(control<QLineEdit>(page, "DBEdit4")->isReadOnly());
    QCOMPARE(background(*control(page, "DBEdit4")), activeBorder());
    QCOMPARE(background(*name), inactiveBorder());
    QVERIFY(!control(page, "DBCheckBox98")->isVisibleTo(&page));
    option->click();
    QCOMPARE(option->checkState(), Qt::Unchecked);

    click(page, "SpeedButton1");
    QVERIFY(control(page, "Button6")->isEnabled() && control(page, "Button8")->isEnabled());
    QVERIFY(!name->isReadOnly() && !time->isReadOnly() && !note->isReadOnly());
    QVERIFY(control<QLineEdit>(page, "DBEdit4")->isReadOnly());
    QCOMPARE(background(*time), window());
    site.readers.moveTo(2);
    option->click();
    QCOMPARE(option->checkState(), Qt::Checked);

    click(page, "SpeedButton2");
    QCOMPARE(refreshed, 1);
    QCOMPARE(site.storedColumn("sprzet.dbf", "EMULACJA"), (QStringList{"False", "True"}));
    QVERIFY(name->isReadOnly() && time->isReadOnly() && note->isReadOnly());
    QVERIFY(!control(page, "Button6")->isEnabled());
    // The hint refresh leaves the readers on the first one, and the grid shows it.
    QCOMPARE(control<DBGrid>(page, "DBGrid3")->currentIndex().row(), 0);
    click(page, "SpeedButton2");
    QCOMPARE(refreshed, 2);
}

void ReadersPageTest::relayTimeListHoldsTheOfferedTimes() {
    Site site;
    ReadersPage page(site.readers);
    auto* time = control<QComboBox>(page, "DBComboBox1");
    QStringList offered;
    for (int i = 0; i < time->count(); ++i) {
        offered << time->itemText(i);
    }
    QCOMPARE(offered,
             (QStringList{"1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",   "9",   "10",  "15",  "20",  "25",
                          "30", "40", "50", "60", "70", "80", "90", "100", "120", "140", "160", "180", "200"}));
}

void ReadersPageTest::configurationCardBoxIsLaidOut() {
    Site site;
    ReadersPage page(site.readers);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QCOMPARE(page.configurationCardBox()->geometry(), QRect(296, 256, 361, 193));
    QCOMPARE(page.configurationCardBox()->title(), QStringLiteral("Options"));
    QVERIFY(page.existingReaderOption()->isChecked());
    QVERIFY(!page.oldCodeLabel()->isVisible());
    QVERIFY(!page.oldCodeBox()->isVisible());
    QCOMPARE(page.saveToCardButton()->text(), QStringLiteral("Save to card"));
    QCOMPARE(page.clearMemoryBox()->text(), QStringLiteral("Clear memory of lost cards"));
    QCOMPARE(page.newReaderOption()->text(), QStringLiteral("New reader"));
    QCOMPARE(page.changeCodeOption()->text(), QStringLiteral("Change system code"));
    QCOMPARE(control<QGroupBox>(page, "GroupBox3")->title(), QStringLiteral("Reader parameters  "));
}

void ReadersPageTest::userModeLeavesThePageShowingOnly() {
    Site site;
    site.addReader(1, "Gate");
    site.addReader(2, "Door");
    site.readers.first();
    ReadersPage page(site.readers);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    // The restrictions of user mode, by control name, as the main window applies them.
    for (const char* name :
         {"GroupBox1", "GroupBox3", "SpeedButton1", "SpeedButton2", "Button6", "Button8", "Button12"}) {
        control(page, name)->setEnabled(false);
    }
    click(page, "SpeedButton1");
    click(page, "Button6");
    click(page, "Button8");
    auto* name = control<QLineEdit>(page, "DBEdit3");
    QTest::keyClicks(name, "x");
    QTest::keyClicks(control(page, "DBMemo3"), "x");
    QCOMPARE(site.storedColumn("sprzet.dbf", "NAME"), (QStringList{"Gate", "Door"}));
    QCOMPARE(site.storedColumn("sprzet.dbf", "MIEJSCE"), (QStringList{"", ""}));
    QCOMPARE(site.readers.state(), db::TTable::State::Browse);
    // The readers can still be looked through.
    auto* grid = control<DBGrid>(page, "DBGrid3");
    QVERIFY(grid->isEnabled());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(1, 0)).center());
    QCOMPARE(site.readers.recNo(), 2);
    QCOMPARE(name->text(), QStringLiteral("Door"));
}

QTEST_MAIN(ReadersPageTest)
#include "ReadersPageTest.moc"
