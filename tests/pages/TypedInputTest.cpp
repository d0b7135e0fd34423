// What an operator's typing and an assistive tool's actions leave in the tables: the Edit and Confirm
// buttons work the mode by their state, a record begun by typing into an empty table is numbered as
// Add numbers it, and a relay time the table refuses leaves the stored one as it was. Text an
// assistive tool sets through the accessibility interface counts as typed, check boxes it toggles as
// clicked.

#include "Pages.h"
#include "Site.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include <memory>

using namespace talvern;
using talvern::test::Site;
using talvern::test::control;

namespace {

// The "Toggle" a screen reader or test tool sends: it changes the button's state without a click.
void toggle(QWidget& page, const char* button) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control(page, button));
    QVERIFY(accessible && accessible->actionInterface());
    accessible->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
}

struct OwnedPages {
    explicit OwnedPages(Site& site) : pages(createTablePages(site.users, site.readers, site.groups)) {}
    ~OwnedPages() {
        delete pages.users;
        delete pages.groups;
        delete pages.readers;
    }
    QWidget* page(int index) const {
        return index == 0 ? static_cast<QWidget*>(pages.users)
               : index == 1 ? static_cast<QWidget*>(pages.groups) : static_cast<QWidget*>(pages.readers);
    }
    TablePages pages;
};

// Shows the Readers page, presses "Edytuj" and types into the relay time in place of what it shows,
// as an operator does.
QComboBox* typeRelayTime(QWidget& page, const QString& typed) {
    page.show();
    if (!QTest::qWaitForWindowExposed(&page)) {
        qFatal("the readers page was never shown");
    }
    QTest::mouseClick(control<QAbstractButton>(page, "SpeedButton1"), Qt::LeftButton);
    auto* time = control<QComboBox>(page, "DBComboBox1");
    time->lineEdit()->setFocus();
    if (!time->lineEdit()->text().isEmpty()) {
        time->lineEdit()->selectAll();
        QTest::keyClick(time->lineEdit(), Qt::Key_Backspace);
    }
    QTest::keyClicks(time->lineEdit(), typed);
    return time;
}

} // namespace

class TypedInputTest : public QObject {
    Q_OBJECT

private slots:
    void modeFollowsTheButtonsToggle_data();
    void modeFollowsTheButtonsToggle();
    void recordBegunByTypingIsNumbered_data();
    void recordBegunByTypingIsNumbered();
    void refusedRelayTimeLeavesTheStoredOne_data();
    void refusedRelayTimeLeavesTheStoredOne();
    void relayTimeTypedIntoAnEmptyTable_data();
    void relayTimeTypedIntoAnEmptyTable();
    void textSetByAToolIsTyped_data();
    void textSetByAToolIsTyped();
    void checkBoxToggledByAToolIsClicked_data();
    void checkBoxToggledByAToolIsClicked();
};

void TypedInputTest::modeFollowsTheButtonsToggle_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("confirm");
    QTest::addColumn<QString>("add");
    QTest::addColumn<QString>("box");
    QTest::newRow("users") << 0 << "SpeedButton4" << "SpeedButton3" << "Button9" << "DBMemo1";
    QTest::newRow("groups") << 1 << "SpeedButton5" << "SpeedButton6" << "Button1" << "DBEdit6";
    QTest::newRow("readers") << 2 << "SpeedButton1" << "SpeedButton2" << "Button6" << "DBEdit3";
}

void TypedInputTest::modeFollowsTheButtonsToggle() {
    QFETCH(int, page);
    QFETCH(QString, edit);
    QFETCH(QString, confirm);
    QFETCH(QString, add);
    QFETCH(QString, box);
    Site site;
    site.addReader(1, "Gate");
    OwnedPages pages(site);
    QWidget& shown = *pages.page(page);
    const auto writable = [&] {
        QWidget* w = control(shown, qPrintable(box));
        if (auto* line = qobject_cast<QLineEdit*>(w)) {
            return !line->isReadOnly();
        }
        return !w->property("readOnly").toBool();
    };
    QVERIFY(!control(shown, qPrintable(add))->isEnabled());

    toggle(shown, qPrintable(edit));
    QVERIFY(control<QAbstractButton>(shown, qPrintable(edit))->isChecked());
    QVERIFY(control(shown, qPrintable(add))->isEnabled());
    QVERIFY(writable());
    // A Toggle of the button already down changes nothing.
    toggle(shown, qPrintable(edit));
    QVERIFY(control<QAbstractButton>(shown, qPrintable(edit))->isChecked());
    QVERIFY(control(shown, qPrintable(add))->isEnabled());

    toggle(shown, qPrintable(confirm));
    QVERIFY(control<QAbstractButton>(shown, qPrintable(confirm))->isChecked());
    QVERIFY(!control(shown, qPrintable(add))->isEnabled());
    QVERIFY(!writable());
    QVERIFY(site.messages.isEmpty());
}

void TypedInputTest::recordBegunByTypingIsNumbered_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("edit"); // empty: the box is writable from the start
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("typedField");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QStringList>("values");
    QTest::newRow("users, first name right after unlocking")
        << 0 << QString() << "DBEdit8" << "osoby.dbf" << "SURNAME" << QStringList{"NUMBER", "INDEX"}
        << QStringList{"1", "0"};
    QTest::newRow("groups, name") << 1 << "SpeedButton5" << "DBEdit6" << "grupa.dbf" << "NAME"
                                  << QStringList{"ID_GRUPY", "P1", "P96"} << QStringList{"1", "False", "False"};
    QTest::newRow("readers, name") << 2 << "SpeedButton1" << "DBEdit3" << "sprzet.dbf" << "NAME"
                                   << QStringList{"ID_CZYT", "TIME", "PROX", "EMULACJA"}
                                   << QStringList{"1", "2", "False", "False"};
}

void TypedInputTest::recordBegunByTypingIsNumbered() {
    QFETCH(int, page);
    QFETCH(QString, edit);
    QFETCH(QString, box);
    QFETCH(QString, table);
    QFETCH(QString, typedField);
    QFETCH(QStringList, fields);
    QFETCH(QStringList, values);
    Site site;
    OwnedPages pages(site);
    QWidget& shown = *pages.page(page);
    shown.show();
    QVERIFY(QTest::qWaitForWindowExposed(&shown));
    if (!edit.isEmpty()) {
        QTest::mouseClick(control<QAbstractButton>(shown, qPrintable(edit)), Qt::LeftButton);
    }
    auto* line = control<QLineEdit>(shown, qPrintable(box));
    line->setFocus();
    QTest::keyClicks(line, "Anna");
    // The Confirm of each page stores what the refresh of the name boxes has not stored yet.
    site.users.refresh();
    site.groups.refresh();
    site.readers.refresh();
    const QJsonArray stored = site.storedRecords(table);
    QCOMPARE(stored.size(), 1);
    QCOMPARE(stored[0][typedField].toString(), QStringLiteral("Anna"));
    for (int i = 0; i < fields.size(); ++i) {
        QCOMPARE(stored[0][fields[i]].toVariant().toString(), values[i]);
    }
    QVERIFY(site.messages.isEmpty());
}

void TypedInputTest::refusedRelayTimeLeavesTheStoredOne_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("refused");
    QTest::newRow("a word") << "abc" << "2" << true;
    QTest::newRow("a number, then a letter") << "1a" << "2" << true;
    QTest::newRow("nothing") << "" << "2" << false;
    QTest::newRow("a number") << "15" << "15" << false;
    QTest::newRow("a number the list would complete") << "12" << "12" << false;
}

void TypedInputTest::refusedRelayTimeLeavesTheStoredOne() {
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(bool, refused);
    Site site;
    site.addReader(1, "Gate", 2);
    site.addReader(2, "Door", 5);
    site.readers.first();
    OwnedPages pages(site);
    QWidget& page = *pages.pages.readers;
    QComboBox* time = typeRelayTime(page, typed);
    QVERIFY(site.messages.isEmpty()); // nothing is said while typing
    QTest::mouseClick(control<QAbstractButton>(page, "SpeedButton2"), Qt::LeftButton);

    QCOMPARE(site.storedColumn("sprzet.dbf", "TIME"), (QStringList{stored, "5"}));
    QCOMPARE(site.messages.size(), refused ? 1 : 0);
    if (refused) {
        // All that was typed, not its first letter.
        QVERIFY2(site.messages[0].text.contains(typed), qPrintable(site.messages[0].text));
    }
    site.readers.first();
    QCOMPARE(time->currentText(), stored);
}

void TypedInputTest::relayTimeTypedIntoAnEmptyTable_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("times"); // TIME of every stored reader
    QTest::addColumn<int>("messages");
    QTest::newRow("a number makes reader 1") << "5" << QStringList{"5"} << 0;
    QTest::newRow("a word makes no reader") << "abc" << QStringList{} << 1;
}

void TypedInputTest::relayTimeTypedIntoAnEmptyTable() {
    QFETCH(QString, typed);
    QFETCH(QStringList, times);
    QFETCH(int, messages);
    Site site;
    OwnedPages pages(site);
    QWidget& page = *pages.pages.readers;
    typeRelayTime(page, typed);
    QTest::mouseClick(control<QAbstractButton>(page, "SpeedButton2"), Qt::LeftButton);
    QCOMPARE(site.storedColumn("sprzet.dbf", "TIME"), times);
    if (!times.isEmpty()) {
        QCOMPARE(site.storedColumn("sprzet.dbf", "ID_CZYT"), QStringList{"1"});
    }
    QCOMPARE(site.messages.size(), messages);
}

void TypedInputTest::textSetByAToolIsTyped_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("edit"); // the mode button pressed first (Confirm: read-only); empty: none
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QStringList>("stored"); // the field of every record after Confirm
    QTest::addColumn<int>("messages");
    QTest::newRow("users, surname") << 0 << "SpeedButton4" << "DBEdit8" << "Kowalska" << "osoby.dbf" << "SURNAME"
                                    << QStringList{"Kowalska", "Lis"} << 0;
    QTest::newRow("users, first name") << 0 << "SpeedButton4" << "DBEdit2" << "Ewa" << "osoby.dbf" << "NAME"
                                       << QStringList{"Ewa", "Jan"} << 0;
    QTest::newRow("users, first name cut to the field")
        << 0 << "SpeedButton4" << "DBEdit2" << QString(40, QLatin1Char('x')) << "osoby.dbf" << "NAME"
        << QStringList{QString(30, QLatin1Char('x')), "Jan"} << 0;
    QTest::newRow("users, read-only") << 0 << "SpeedButton3" << "DBEdit8" << "Kowalska" << "osoby.dbf" << "SURNAME"
                                      << QStringList{"Nowak", "Lis"} << 0;
    QTest::newRow("users, note") << 0 << "SpeedButton4" << "DBMemo1" << "first\nsecond" << "osoby.dbf" << "INFO"
                                 << QStringList{"first\r\nsecond", ""} << 0;
    QTest::newRow("users, note read-only") << 0 << "SpeedButton3" << "DBMemo1" << "first" << "osoby.dbf" << "INFO"
                                           << QStringList{"", ""} << 0;
    QTest::newRow("groups, name") << 1 << "SpeedButton5" << "DBEdit6" << "Hall" << "grupa.dbf" << "NAME"
                                  << QStringList{"Hall"} << 0;
    QTest::newRow("readers, relay time") << 2 << "SpeedButton1" << "DBComboBox1" << "15" << "sprzet.dbf" << "TIME"
                                         << QStringList{"15"} << 0;
    QTest::newRow("readers, relay time refused") << 2 << "SpeedButton1" << "DBComboBox1" << "abc" << "sprzet.dbf"
                                                 << "TIME" << QStringList{"2"} << 1;
    QTest::newRow("readers, relay time read-only") << 2 << QString() << "DBComboBox1" << "15" << "sprzet.dbf"
                                                   << "TIME" << QStringList{"2"} << 0;
}

void TypedInputTest::textSetByAToolIsTyped() {
    QFETCH(int, page);
    QFETCH(QString, edit);
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(QString, table);
    QFETCH(QString, field);
    QFETCH(QStringList, stored);
    QFETCH(int, messages);
    Site site;
    site.addUser(1, "Nowak", "Jan", "Office");
    site.addUser(2, "Lis", "Jan", "Office");
    site.addGroup(1, "Office");
    site.addReader(1, "Gate", 2);
    site.users.first();
    OwnedPages pages(site);
    QWidget& shown = *pages.page(page);
    shown.show();
    QVERIFY(QTest::qWaitForWindowExposed(&shown));
    if (!edit.isEmpty()) {
        QTest::mouseClick(control<QAbstractButton>(shown, qPrintable(edit)), Qt::LeftButton);
    }
    QWidget* target = control(shown, qPrintable(box));
    if (auto* combo = qobject_cast<QComboBox*>(target)) {
        target = combo->lineEdit(); // a tool writes into the box's typing field
    }
    // What AT-SPI's SetTextContents does: the whole text replaced at once, without a keystroke.
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(target);
    QVERIFY(accessible && accessible->editableTextInterface() && accessible->textInterface());
    accessible->editableTextInterface()->replaceText(0, accessible->textInterface()->characterCount(), text);
    QVERIFY(site.messages.isEmpty()); // nothing is said before the typing is done

    // Confirm (the button beside Edit) ends the typing and stores the change.
    const QString confirm = page == 0 ? "SpeedButton3" : page == 1 ? "SpeedButton6" : "SpeedButton2";
    QTest::mouseClick(control<QAbstractButton>(shown, qPrintable(confirm)), Qt::LeftButton);
    site.users.refresh();
    site.groups.refresh();
    site.readers.refresh();
    QCOMPARE(site.storedColumn(table, field), stored);
    QCOMPARE(site.messages.size(), messages);
    // The box shows the stored value, and following the cursor begins no change.
    QString now = accessible->textInterface()->text(0, accessible->textInterface()->characterCount());
    QCOMPARE(now.replace(QLatin1Char('\n'), QStringLiteral("\r\n")), stored[0]);
    site.users.next();
    site.users.first();
    QCOMPARE(site.users.state(), db::TTable::State::Browse);
    QCOMPARE(site.readers.state(), db::TTable::State::Browse);
}

void TypedInputTest::checkBoxToggledByAToolIsClicked_data() {
    QTest::addColumn<bool>("writable");
    QTest::addColumn<QString>("stored");
    QTest::newRow("in Edit") << true << "True";
    QTest::newRow("read-only") << false << "False";
}

void TypedInputTest::checkBoxToggledByAToolIsClicked() {
    QFETCH(bool, writable);
    QFETCH(QString, stored);
    Site site;
    site.addReader(1, "Gate", 2);
    OwnedPages pages(site);
    QWidget& page = *pages.pages.readers;
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    if (writable) {
        QTest::mouseClick(control<QAbstractButton>(page, "SpeedButton1"), Qt::LeftButton);
    }
    auto* prox = control<QAbstractButton>(page, "DBCheckBox98");
    toggle(page, "DBCheckBox98");
    QTest::mouseClick(control<QAbstractButton>(page, "SpeedButton2"), Qt::LeftButton);
    site.readers.refresh();
    QCOMPARE(site.storedColumn("sprzet.dbf", "PROX"), QStringList{stored});
    QCOMPARE(prox->isChecked(), stored == "True");
    QVERIFY(site.messages.isEmpty());
}

QTEST_MAIN(TypedInputTest)
#include "TypedInputTest.moc"
