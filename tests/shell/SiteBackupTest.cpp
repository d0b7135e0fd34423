// Backups in the real main window (offscreen): the moments that take one, a backup that fails, the
// backups window's restore and its way back, and a damaged table at start-up that offers the newest good
// backup and writes nothing unless the operator says yes.

#include "ShellFixture.h"

#include "BackupManifest.h"
#include "BackupPlace.h"
#include "DamagedStart.h"
#include "GroupsPage.h"
#include "RestoreWindow.h"
#include "SettingsPage.h"
#include "SiteBackup.h"
#include "SiteIdentity.h"
#include "StandardTables.h"
#include "TForm1.h"
#include "TTable.h"

#include <QAction>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

using namespace talvern;
using talvern::test::Site;

namespace {

backup::TimePoint at(int day, int hour = 10) {
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 2;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

// A site with two groups, users of both and a user of none, started and unlocked as administrator on
// 2026-03-05.
struct Started {
    Site site;
    TForm1* form = nullptr;
    backup::TimePoint now = at(5);

    explicit Started(bool unlockNow = true, const QByteArray& extraSettings = {}) {
        QVERIFY(db::ensureStandardTables("."));
        {
            db::TTable groups;
            groups.open("grupa.dbf");
            for (const char* name : {"Biuro", "Magazyn"}) {
                groups.append();
                groups.fieldByName("NAME").setAsString(name);
                groups.post();
            }
            db::TTable users;
            users.open("osoby.dbf");
            int number = 0;
            for (const char* group : {"Biuro", "Biuro", "Magazyn"}) {
                users.append();
                users.fieldByName("NUMBER").setAsInteger(++number);
                users.fieldByName("SURNAME").setAsString("Osoba " + std::to_string(number));
                users.fieldByName("GROUP").setAsString(group);
                users.post();
            }
        }
        site.writeKey("\"Port\"=dword:00000001\r\n\"sys_nr\"=\"250\"\r\n\"sys_nr2\"=\"250\"\r\n\"admin\"=\"adm\"\r\n"
                      "\"admin2\"=\"usr\"\r\n" + extraSettings);
        form = &site.start();
        form->setBackupClock([this] { return now; });
        if (unlockNow)
            unlock("adm");
    }

    void unlock(const char* password) {
        form->findChild<QLineEdit*>(QStringLiteral("Edit5"))->setText(QString::fromLatin1(password));
        form->BitBtn1Click();
    }

    std::vector<backup::BackupEntry> backups() const { return backup::listBackups(".", form->backupRoot()); }
    GroupsPage* groups() const { return form->findChild<GroupsPage*>(); }
};

QStringList reasons(const std::vector<backup::BackupEntry>& entries) {
    QStringList list;
    for (const auto& entry : entries)
        list.prepend(QString::fromStdString(entry.manifest.reason)); // oldest first
    return list;
}

QMap<QString, QByteArray> checksums(const QString& folder) {
    QMap<QString, QByteArray> sums;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            sums[QDir(folder).relativeFilePath(path)] = QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
    }
    return sums;
}

} // namespace

class SiteBackupTest : public QObject {
    Q_OBJECT

private slots:
    void momentsThatTakeABackup_data();
    void momentsThatTakeABackup();
    void aFailedBackupIsToldAndTheWorkGoesOn();
    void userModeCannotReachTheBackups();
    void theBackupFolderIsAnAdministratorsSetting();
    void restoreRoundTripThroughTheWindow();
    void damagedTableAtStartUp_data();
    void damagedTableAtStartUp();
};

// Each row: what the operator does after the unlock, and the backups the site then has, oldest first.
void SiteBackupTest::momentsThatTakeABackup_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("expected");
    const QString daily = QString::fromUtf8(backup::reason::kDaily);
    QTest::newRow("first unlock of the day") << "nothing" << QStringList{daily};
    QTest::newRow("another run the same day") << "restart" << QStringList{daily};
    QTest::newRow("a run the next day") << "restart next day" << QStringList{daily, daily};
    QTest::newRow("removing a group that marks users")
        << "remove Biuro" << QStringList{daily, QString::fromUtf8(backup::reason::kGroupRemoval)};
    QTest::newRow("removing a group no user has") << "remove empty group" << QStringList{daily};
    QTest::newRow("Full access") << "full" << QStringList{daily, QString::fromUtf8(backup::reason::kFullAccess)};
    QTest::newRow("No access") << "none" << QStringList{daily, QString::fromUtf8(backup::reason::kNoAccess)};
    QTest::newRow("adding a group") << "add" << QStringList{daily};
}

void SiteBackupTest::momentsThatTakeABackup() {
    QFETCH(QString, action);
    QFETCH(QStringList, expected);
    Started s;
    if (action.startsWith(QLatin1String("restart"))) {
        s.site.program.reset();
        if (action.endsWith(QLatin1String("next day")))
            s.now = at(6);
        s.form = &s.site.start();
        s.form->setBackupClock([&s] { return s.now; });
        s.unlock("usr"); // the daily backup is taken in user mode too
    } else if (action == QLatin1String("remove Biuro")) {
        s.form->Table3().first();
        s.groups()->Button10Click();
        QCOMPARE(QString::fromStdString(s.form->Table1().valueAt(1, s.form->Table1().fieldByName("GROUP").index())),
                 QString::fromLatin1(db::kLackOfAssignment));
    } else if (action == QLatin1String("remove empty group")) {
        s.groups()->Button1Click(); // a new group, which no user has
        s.groups()->Button10Click();
    } else if (action == QLatin1String("full")) {
        s.groups()->Button13Click();
    } else if (action == QLatin1String("none")) {
        s.groups()->Button14Click();
    } else if (action == QLatin1String("add")) {
        s.groups()->Button1Click();
    }
    QCOMPARE(reasons(s.backups()), expected);
    for (const auto& entry : s.backups())
        QVERIFY(entry.manifest.checked);
    QVERIFY2(s.site.messages.empty(), qPrintable(s.site.messages.empty() ? QString() : s.site.messages.front().text));
}

void SiteBackupTest::aFailedBackupIsToldAndTheWorkGoesOn() {
    const QString gone = QDir::temp().absoluteFilePath(QStringLiteral("talvern-no-such-stick/kopie"));
    Started s(true, "\"kopie\"=\"" + gone.toUtf8() + "\"\r\n");
    QVERIFY(!s.form->isLocked());
    QCOMPARE(s.site.messages.size(), std::size_t(1));
    QCOMPARE(s.site.messages[0].title, QStringLiteral("Kopia zapasowa"));
    QVERIFY2(s.site.messages[0].text.contains(QStringLiteral("nie istnieje")), qPrintable(s.site.messages[0].text));
    QVERIFY(!QFileInfo::exists(gone));

    s.form->Table3().first();
    s.groups()->Button13Click();
    QCOMPARE(s.site.messages.size(), std::size_t(2));
    QVERIFY(s.form->Table3().fieldByName("p1").asBoolean()); // the change was made all the same
}

void SiteBackupTest::userModeCannotReachTheBackups() {
    Started s(false);
    s.unlock("usr");
    QVERIFY(!s.form->KopieZapasowe1()->isEnabled());
    QVERIFY(!s.form->settingsPage()->ButtonKopieZapisz()->isEnabled());
    QVERIFY(!s.form->settingsPage()->EditKopie()->isEnabled());
}

void SiteBackupTest::theBackupFolderIsAnAdministratorsSetting() {
    Started s;
    QTemporaryDir stick;
    SettingsPage* page = s.form->settingsPage();
    page->EditKopie()->setText(stick.path() + QStringLiteral("/nie-ma"));
    s.form->ButtonKopieZapiszClick();
    QVERIFY(s.site.messages.back().text.contains(QStringLiteral("nie istnieje")));
    QVERIFY(!s.site.settingsBytes().contains("kopie"));

    page->EditKopie()->setText(stick.path());
    s.form->ButtonKopieZapiszClick();
    QCOMPARE(s.site.messages.back().text, QStringLiteral("Folder kopii zapasowych - zapisano."));
    QVERIFY(s.site.settingsBytes().contains("\"kopie\""));
    s.groups()->Button13Click();
    // A chosen folder may serve other sites too: the site's backups go into its own folder there.
    const QString siteFolder = stick.path() + QLatin1Char('/') + QString::fromStdString(*backup::readSiteIdentity("."));
    QCOMPARE(QFileInfo(QString::fromStdString(s.backups().front().folder)).path(), siteFolder);
    QCOMPARE(QString::fromStdString(backup::siteBackupFolder(".", s.form->backupRoot())), siteFolder);
}

void SiteBackupTest::restoreRoundTripThroughTheWindow() {
    Started s;
    QCOMPARE(s.backups().size(), std::size_t(1));
    // A change after the daily backup.
    db::TTable& users = s.form->Table1();
    users.first();
    users.edit();
    users.fieldByName("SURNAME").setAsString("Zmieniona");
    users.post();
    s.now = at(5, 12);

    OperatorMessages::setAnswerer([](const OperatorMessage&) { return true; });
    bool restored = false;
    QTimer::singleShot(0, [&] {
        RestoreWindow* window = s.form->restoreWindow();
        QVERIFY(window);
        QCOMPARE(window->list()->rowCount(), 1);
        QCOMPARE(window->list()->item(0, 1)->text(), QString::fromUtf8(backup::reason::kDaily));
        QCOMPARE(window->list()->item(0, 2)->text(), QStringLiteral("3"));
        window->list()->selectRow(0);
        window->restoreButton()->click();
        QCOMPARE(window->list()->rowCount(), 2); // the state before the restore, listed at once
        restored = true;
        window->accept();
    });
    s.form->KopieZapasowe1Click();
    QVERIFY(restored);

    // The change is gone from the table and from the page bound to it.
    users.first();
    QCOMPARE(QString::fromStdString(users.fieldByName("SURNAME").asString()), QStringLiteral("Osoba 1"));
    auto* surname = s.form->findChild<QLineEdit*>(QStringLiteral("DBEdit8"));
    QVERIFY(surname);
    QCOMPARE(surname->text(), QStringLiteral("Osoba 1"));
    QVERIFY(s.site.messages.back().text.startsWith(QStringLiteral("Tabele odtworzono z kopii z 2026-03-05 10:00:00.")));

    // The state before the restore is a backup: restoring it brings the change back.
    const auto entries = s.backups();
    QCOMPARE(entries.size(), std::size_t(2));
    QVERIFY(QString::fromStdString(entries.front().manifest.reason).startsWith(QString::fromUtf8(backup::reason::kBeforeRestore)));
    s.now = at(5, 13);
    s.form->restoreBackup(entries.front());
    users.first();
    QCOMPARE(QString::fromStdString(users.fieldByName("SURNAME").asString()), QStringLiteral("Zmieniona"));
    // The program still works on the tables it reopened.
    users.edit();
    users.fieldByName("SURNAME").setAsString("Po odtworzeniu");
    users.post();
}

// Each row: how a table is damaged. The program refuses it with a message that names the table and what
// is wrong, offers the newest good backup, and leaves every file as it was when the operator says no.
void SiteBackupTest::damagedTableAtStartUp_data() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("said");
    QTest::newRow("cut short") << "osoby.dbf" << "truncate" << "plik jest ucięty";
    QTest::newRow("header count too high") << "grupa.dbf" << "count" << "liczba rekordów w nagłówku";
    QTest::newRow("memo file missing") << "sprzet.dbf" << "memo" << "brak pliku notatek sprzet.dbt";
}

void SiteBackupTest::damagedTableAtStartUp() {
    QFETCH(QString, table);
    QFETCH(QString, damage);
    QFETCH(QString, said);
    Started s;
    QCOMPARE(s.backups().size(), std::size_t(1));
    s.site.program.reset();
    s.site.messages.clear();

    QFile file(table);
    if (damage == QLatin1String("truncate")) {
        QVERIFY(file.resize(file.size() - 30));
    } else if (damage == QLatin1String("count")) {
        QVERIFY(file.open(QIODevice::ReadWrite));
        file.seek(4);
        file.write(QByteArray("\x09\x00\x00\x00", 4));
        file.close();
    } else {
        QVERIFY(QFile::remove(QString(table).replace(QLatin1String(".dbf"), QLatin1String(".dbt"))));
    }
    const auto before = checksums(s.site.workDir());

    // The operator says no: nothing changes, the program does not start.
    bool failed = false;
    try {
        createProgram();
    } catch (const std::exception& error) {
        failed = true;
        QVERIFY(!reportStartupFailure(error));
    }
    QVERIFY(failed);
    QCOMPARE(s.site.messages.size(), std::size_t(1));
    const QString text = s.site.messages[0].text;
    QVERIFY2(text.contains(QStringLiteral("Tabela ") + table + QStringLiteral(" jest uszkodzona")), qPrintable(text));
    QVERIFY2(text.contains(said), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("Najnowsza dobra kopia zapasowa: 2026-03-05 10:00:00")), qPrintable(text));
    QCOMPARE(checksums(s.site.workDir()), before);

    // The operator says yes: the backup's tables are put in place, the damaged ones kept in a backup.
    OperatorMessages::setAnswerer([](const OperatorMessage&) { return true; });
    try {
        createProgram();
        QFAIL("the damaged table opened");
    } catch (const std::exception& error) {
        QVERIFY(reportStartupFailure(error));
    }
    s.site.program = createProgram();
    QCOMPARE(s.site.program->Form1->Table1().recordCount(), 3);
    const auto entries = backup::listBackups(".", configuredBackupRoot());
    QCOMPARE(entries.size(), std::size_t(2));
    QVERIFY(!entries.front().manifest.checked); // the damaged state, kept, never offered
    QCOMPARE(backup::newestGoodBackup(".", configuredBackupRoot())->folder, entries.back().folder);
}

QTEST_MAIN(SiteBackupTest)
#include "SiteBackupTest.moc"
