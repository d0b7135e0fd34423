// The search boxes of the three pages in the real main window: typed text moves the shared cursor,
// ignoring letter case and letter marks, digits look for numbers, no match leaves the cursor, a change
// under way is stored by the move, and the groups cursor follows the user found.

#include "DBGrid.h"
#include "DBMemo.h"
#include "OperatorMessages.h"
#include "Program.h"
#include "SearchBar.h"
#include "StandardTables.h"
#include "TTable.h"
#include "TableModel.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace talvern;

namespace {

struct Person {
    int number;
    const char* surname; // shown under "Imię"
    const char* name;    // shown under "Nazwisko"
    const char* group;
};

// Users by row: 1 Jan Kowalski, 2 Anna Łukasiewicz, 3 Żaneta Nowak, 4 Piotr ŁUKASIEWICZ (17),
// 5 Zofia Źrebiec (170, a group no one has). Groups by row: Biuro (ID 1), Magazyn (ID 2), Serwis (ID 12).
const Person kPeople[] = {
    {1, "Jan", "Kowalski", "Biuro"},        {2, "Anna", "Łukasiewicz", "Magazyn"}, {3, "Żaneta", "Nowak", "Biuro"},
    {17, "Piotr", "ŁUKASIEWICZ", "Serwis"}, {170, "Zofia", "Źrebiec", "Nieznana"},
};

class Site {
public:
    Site() : m_previousDir(QDir::currentPath()) {
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        db::ensureStandardTables(m_work.path().toStdString());
        {
            db::TTable groups;
            groups.open(m_work.filePath("grupa.dbf").toStdString());
            for (auto [id, name] : {std::pair{1, "Biuro"}, std::pair{2, "Magazyn"}, std::pair{12, "Serwis"}}) {
                groups.append();
                groups.fieldByName("ID_grupy").setAsInteger(id);
                groups.fieldByName("NAME").setAsString(name);
                groups.post();
            }
            db::TTable readers;
            readers.open(m_work.filePath("sprzet.dbf").toStdString());
            for (auto [id, name] : {std::pair{3, "Brama"}, std::pair{31, "Magazyn wschodni"}}) {
                readers.append();
                readers.fieldByName("ID_CZYT").setAsInteger(id);
                readers.fieldByName("NAME").setAsString(name);
                readers.fieldByName("TIME").setAsInteger(2);
                readers.post();
            }
            db::TTable users;
            users.open(m_work.filePath("osoby.dbf").toStdString());
            for (const Person& p : kPeople) {
                users.append();
                users.fieldByName("NUMBER").setAsInteger(p.number);
                users.fieldByName("SURNAME").setAsString(p.surname);
                users.fieldByName("NAME").setAsString(p.name);
                users.fieldByName("GROUP").setAsString(p.group);
                users.post();
            }
        }
        QDir::setCurrent(m_work.path());
        OperatorMessages::setRecorder([this](const OperatorMessage& m) { messages << m.text; });
        program = createProgram();
        form().show();
        QVERIFY(QTest::qWaitForWindowExposed(&form()));
        form().findChild<QLineEdit*>(QStringLiteral("Edit5"))->setText(QStringLiteral("9"));
        form().BitBtn1Click();
    }
    ~Site() {
        program.reset();
        OperatorMessages::clearRecorder();
        QDir::setCurrent(m_previousDir);
    }
    TForm1& form() { return *program->Form1; }
    SearchBar* bar(const char* name) {
        auto* found = form().findChild<SearchBar*>(QString::fromLatin1(name));
        if (!found) {
            qFatal("no search bar %s", name);
        }
        return found;
    }
    // Types text into a search box as the operator does, replacing what it held.
    void type(SearchBar* bar, const QString& text) {
        bar->textBox()->clear();
        for (QChar c : text) {
            // QTest::keyClicks takes Latin-1 only; a Polish letter comes as a key with its text.
            QTest::sendKeyEvent(QTest::Click, bar->textBox(), Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }
    int userNumber() { return static_cast<int>(form().Table1().fieldByName("NUMBER").asInteger()); }
    QString groupName() { return QString::fromStdString(form().Table3().fieldByName("NAME").asString()); }

    std::unique_ptr<Program> program;
    QStringList messages;

private:
    QString m_previousDir;
    QTemporaryDir m_work;
    QTemporaryDir m_config;
};

} // namespace

class SearchTest : public QObject {
    Q_OBJECT

private slots:
    void usersBoxMovesTheCursor_data();
    void usersBoxMovesTheCursor();
    void nextAndPreviousGoRound();
    void theMoveStoresAChangeUnderWay();
    void groupsAndReadersPages();
};

void SearchTest::usersBoxMovesTheCursor_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("number"); // the user under the cursor afterwards
    QTest::addColumn<QString>("group"); // the group under the groups cursor afterwards
    QTest::addColumn<bool>("found");
    QTest::addColumn<QList<int>>("marked"); // grid rows standing out
    QTest::addColumn<bool>("typed"); // typed key by key; otherwise pasted whole
    // Every case starts on the third user, Żaneta Nowak of Biuro, with the groups cursor on Serwis.
    // Typing searches at every key: "17a" stops on 17, where "17" has put the cursor.
    QTest::newRow("no marks") << "lukasiewicz" << 2 << "Magazyn" << true << QList<int>{1, 3} << true;
    QTest::newRow("capitals") << "ŁUKASIEWICZ" << 2 << "Magazyn" << true << QList<int>{1, 3} << true;
    QTest::newRow("mixed") << "łUkAsIeWiCz" << 2 << "Magazyn" << true << QList<int>{1, 3} << true;
    QTest::newRow("first name") << "zanet" << 3 << "Biuro" << true << QList<int>{2} << true;
    QTest::newRow("other name") << "nowa" << 3 << "Biuro" << true << QList<int>{2} << true;
    QTest::newRow("number") << "17" << 17 << "Serwis" << true << QList<int>{3, 4} << true;
    QTest::newRow("number start only") << "7" << 3 << "Serwis" << false << QList<int>{} << true;
    QTest::newRow("digits and letters") << "17a" << 17 << "Serwis" << false << QList<int>{} << true;
    QTest::newRow("group of no one") << "zreb" << 170 << "Serwis" << true << QList<int>{4} << false;
    QTest::newRow("no match") << "Wiśniewski" << 3 << "Serwis" << false << QList<int>{} << false;
}

void SearchTest::usersBoxMovesTheCursor() {
    QFETCH(QString, text);
    QFETCH(int, number);
    QFETCH(QString, group);
    QFETCH(bool, found);
    QFETCH(QList<int>, marked);
    QFETCH(bool, typed);
    Site site;
    site.form().Table1().moveTo(3);
    site.form().Table3().moveTo(3);
    QCOMPARE(site.groupName(), QStringLiteral("Serwis"));
    SearchBar* bar = site.bar("UsersSearch");
    if (typed) {
        site.type(bar, text);
    } else {
        bar->textBox()->setText(text);
    }
    QCOMPARE(site.userNumber(), number);
    QCOMPARE(site.groupName(), group);
    QCOMPARE(bar->found(), found);
    QCOMPARE(bar->statusLabel()->text(), found ? QString() : QStringLiteral("Nie znaleziono"));
    auto* grid = site.form().findChild<DBGrid*>(QStringLiteral("DBGrid1"));
    QCOMPARE(grid->currentIndex().row() + 1, site.form().Table1().recNo());
    QList<int> standingOut;
    for (int row = 0; row < grid->model()->rowCount(); ++row) {
        if (grid->model()->index(row, 1).data(Qt::BackgroundRole).isValid()) {
            standingOut << row;
        }
    }
    QCOMPARE(standingOut, marked);
    // Emptying the box takes the marks away and leaves the cursor.
    bar->textBox()->clear();
    QVERIFY(!grid->model()->index(1, 1).data(Qt::BackgroundRole).isValid());
    QCOMPARE(site.userNumber(), number);
    QVERIFY(bar->found());
    QVERIFY(site.messages.isEmpty());
}

void SearchTest::nextAndPreviousGoRound() {
    Site site;
    SearchBar* bar = site.bar("UsersSearch");
    site.type(bar, "ukasie");
    QCOMPARE(site.userNumber(), 2);
    QTest::mouseClick(bar->nextButton(), Qt::LeftButton);
    QCOMPARE(site.userNumber(), 17);
    QCOMPARE(site.groupName(), QStringLiteral("Serwis"));
    QTest::keyClick(bar->textBox(), Qt::Key_Return);
    QCOMPARE(site.userNumber(), 2);
    QTest::keyClick(bar->textBox(), Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(site.userNumber(), 17);
    QTest::mouseClick(bar->previousButton(), Qt::LeftButton);
    QCOMPARE(site.userNumber(), 2);
    QCOMPARE(site.groupName(), QStringLiteral("Magazyn"));
    // Picking another user in the grid and pressing "Następny" goes on from there.
    site.form().Table1().moveTo(5);
    QTest::mouseClick(bar->nextButton(), Qt::LeftButton);
    QCOMPARE(site.userNumber(), 2);
    QVERIFY(site.messages.isEmpty());
}

void SearchTest::theMoveStoresAChangeUnderWay() {
    Site site;
    site.form().findChild<QPushButton*>(QStringLiteral("SpeedButton4"))->click(); // Edytuj
    auto* note = site.form().findChild<DBMemo*>(QStringLiteral("DBMemo1"));
    QTest::keyClicks(note, "klucz do szafy");
    db::TTable& users = site.form().Table1();
    QCOMPARE(users.state(), db::TTable::State::Edit);
    SearchBar* bar = site.bar("UsersSearch");
    bar->textBox()->setText(QStringLiteral("nikogo takiego"));
    // No match, no move: the change is still under way.
    QCOMPARE(users.state(), db::TTable::State::Edit);
    site.type(bar, "nowak");
    QCOMPARE(site.userNumber(), 3);
    QCOMPARE(users.state(), db::TTable::State::Browse);
    // The first user's record, read from the file now that it is no longer being changed.
    QCOMPARE(users.valueAt(1, users.findField("INFO")), std::string("klucz do szafy"));
}

void SearchTest::groupsAndReadersPages() {
    Site site;
    auto* notebook = site.form().findChild<QTabWidget*>(QStringLiteral("Zakladka"));
    notebook->setCurrentIndex(1);
    SearchBar* groups = site.bar("GroupsSearch");
    site.type(groups, "MAGA");
    QCOMPARE(site.groupName(), QStringLiteral("Magazyn"));
    site.type(groups, "12");
    QCOMPARE(site.groupName(), QStringLiteral("Serwis"));
    site.type(groups, "3");
    QVERIFY(!groups->found());
    QCOMPARE(site.groupName(), QStringLiteral("Serwis"));
    QCOMPARE(site.userNumber(), 1); // the users cursor does not follow the groups cursor

    notebook->setCurrentIndex(2);
    SearchBar* readers = site.bar("ReadersSearch");
    db::TTable& table = site.form().Table2();
    site.type(readers, "wschod");
    QCOMPARE(table.fieldByName("ID_CZYT").asInteger(), 31);
    site.type(readers, "3");
    QCOMPARE(table.fieldByName("ID_CZYT").asInteger(), 3);
    QTest::mouseClick(readers->nextButton(), Qt::LeftButton);
    QCOMPARE(table.fieldByName("ID_CZYT").asInteger(), 31);
    readers->textBox()->setText(QStringLiteral("brak")); // pasted: "b" alone would find "Brama"
    QCOMPARE(readers->statusLabel()->text(), QStringLiteral("Nie znaleziono"));
    QCOMPARE(table.fieldByName("ID_CZYT").asInteger(), 31);
    QVERIFY(site.messages.isEmpty());
}

QTEST_MAIN(SearchTest)
#include "SearchTest.moc"
