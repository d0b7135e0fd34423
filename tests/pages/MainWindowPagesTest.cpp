// The pages inside the real main window: the caption set over their controls, the reader hints
// filled at start-up, and user mode on the Readers page.

#include "DBCheckBox.h"
#include "DBGrid.h"
#include "GroupsPage.h"
#include "OperatorMessages.h"
#include "Program.h"
#include "StandardTables.h"
#include "TTable.h"

#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace talvern;

namespace {

// A working directory with a few records, and a settings folder of its own, for one main window.
class Site {
public:
    Site() : m_previousDir(QDir::currentPath()) {
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        db::ensureStandardTables(m_work.path().toStdString());
        {
            db::TTable readers;
            readers.open(m_work.filePath("sprzet.dbf").toStdString());
            for (auto [id, name] : {std::pair{3, "Gate"}, std::pair{50, "Store room"}}) {
                readers.append();
                readers.fieldByName("ID_CZYT").setAsInteger(id);
                readers.fieldByName("NAME").setAsString(name);
                readers.fieldByName("TIME").setAsInteger(2);
                readers.post();
            }
            db::TTable users;
            users.open(m_work.filePath("osoby.dbf").toStdString());
            users.append();
            users.fieldByName("NUMBER").setAsInteger(1);
            users.fieldByName("SURNAME").setAsString("Anna");
            users.fieldByName("NAME").setAsString("Nowak");
            users.post();
        }
        QDir::setCurrent(m_work.path());
        OperatorMessages::setRecorder([this](const OperatorMessage& m) { messages << m.text; });
        program = createProgram();
    }
    ~Site() {
        program.reset();
        OperatorMessages::clearRecorder();
        QDir::setCurrent(m_previousDir);
    }
    TForm1& form() { return *program->Form1; }
    void unlock(const QString& password) {
        form().findChild<QLineEdit*>(QStringLiteral("Edit5"))->setText(password);
        form().BitBtn1Click();
    }
    template <typename T = QWidget> T* control(const char* name) {
        T* found = form().findChild<T*>(QString::fromLatin1(name));
        if (!found) {
            qFatal("no control %s", name);
        }
        return found;
    }

    std::unique_ptr<Program> program;
    QStringList messages;

private:
    QString m_previousDir;
    QTemporaryDir m_work;
    QTemporaryDir m_config;
};

} // namespace

class MainWindowPagesTest : public QObject {
    Q_OBJECT

private slots:
    void captionsReachThePagesAndTheirGrids();
    void readerHintsAreFilledAtStartUp();
    void userModeLeavesTheReadersPageShowingOnly();
};

void MainWindowPagesTest::captionsReachThePagesAndTheirGrids() {
    Site site;
    auto* users = site.control<DBGrid>("DBGrid1");
    // SURNAME is shown under "Imię" and NAME under "Nazwisko".
    QCOMPARE(users->columnTitle(1), QStringLiteral("Imię"));
    QCOMPARE(users->model()->index(0, 1).data().toString(), QStringLiteral("Anna"));
    QCOMPARE(users->columnTitle(2), QStringLiteral("Nazwisko"));
    QCOMPARE(users->model()->index(0, 2).data().toString(), QStringLiteral("Nowak"));
    QCOMPARE(site.control<DBGrid>("DBGrid3")->columnTitle(1), QStringLiteral("Czas"));
    QCOMPARE(site.control<QPushButton>("Button3")->text(), QStringLiteral("Usuń uprawnienia"));
    QCOMPARE(site.control<QAbstractButton>("DBCheckBox98")->text(),
             QStringLiteral("Additional informing in standard PROX "));
    QVERIFY(site.messages.isEmpty());
}

void MainWindowPagesTest::readerHintsAreFilledAtStartUp() {
    Site site;
    auto* groups = site.form().findChild<GroupsPage*>();
    QVERIFY(groups);
    QCOMPARE(groups->readerBox(3)->toolTip(), QStringLiteral("Gate"));
    QCOMPARE(groups->readerBox(50)->toolTip(), QStringLiteral("Store room"));
    QCOMPARE(groups->readerBox(4)->toolTip(), QStringLiteral("Lack in system"));
}

void MainWindowPagesTest::userModeLeavesTheReadersPageShowingOnly() {
    Site site;
    site.form().show();
    QVERIFY(QTest::qWaitForWindowExposed(&site.form()));
    site.unlock(QStringLiteral("5"));
    QVERIFY(!site.form().isLocked());
    site.control<QTabWidget>("Zakladka")->setCurrentIndex(2);
    for (const char* name : {"SpeedButton1", "Button6", "Button8", "Button12"}) {
        QVERIFY2(!site.control(name)->isEnabled(), name);
        QTest::mouseClick(site.control(name), Qt::LeftButton);
    }
    QTest::keyClicks(site.control("DBEdit3"), "x");
    QTest::keyClicks(site.control("DBMemo3"), "x");
    db::TTable& readers = site.form().Table2();
    QCOMPARE(readers.recordCount(), 2);
    QCOMPARE(readers.state(), db::TTable::State::Browse);
    QCOMPARE(readers.fieldByName("NAME").asString(), std::string("Gate"));
    // The readers can still be looked through, and the Users and Groups pages stay usable.
    auto* grid = site.control<DBGrid>("DBGrid3");
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(1, 0)).center());
    QCOMPARE(readers.fieldByName("ID_CZYT").asInteger(), 50);
    QVERIFY(site.control("SpeedButton4")->isEnabled());
    QVERIFY(site.control("SpeedButton5")->isEnabled());
    QVERIFY(site.messages.isEmpty());
}

QTEST_MAIN(MainWindowPagesTest)
#include "MainWindowPagesTest.moc"
