// Which site the real program opens: the start from a terminal (the working directory, as always) and
// from the desktop's menu (the chosen folder, or the per-user default), with the folders an operator
// meets; and the chooser's checks of a folder the operator picks, and its menu item.

#include "ShellFixture.h"

#include "SettingsError.h"
#include "SiteChoice.h"
#include "StandardTables.h"

#include <QAction>
#include <QDirIterator>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include <unistd.h>

using namespace talvern;
using talvern::test::Site;

namespace {

enum class Folder { Missing, Empty, Tables, HalfSet };

const QStringList kTables = {"grupa.dbf", "grupa.dbt", "osoby.dbf", "osoby.dbt", "sprzet.dbf", "sprzet.dbt"};

// Lays the folder down as the row says: nothing there, an empty folder, the three tables, or the
// tables with one missing.
void layDown(const QString& path, Folder folder) {
    if (folder == Folder::Missing)
        return;
    QVERIFY(QDir().mkpath(path));
    if (folder == Folder::Empty)
        return;
    QVERIFY(db::ensureStandardTables(path.toStdString()));
    if (folder == Folder::HalfSet)
        QVERIFY(QFile::remove(path + "/grupa.dbf"));
}

// Every file and folder below path, relative to it, sorted.
QStringList contents(const QString& path) {
    QStringList found;
    QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << QDir(path).relativeFilePath(it.next());
    found.sort();
    return found;
}

QByteArray siteValue(const QString& folder) {
    return "\"Site\"=\"" + folder.toUtf8() + "\"\r\n";
}

const QByteArray kKey = "\"Port\"=dword:00000001\r\n\"sys_nr\"=\"1\"\r\n\"sys_nr2\"=\"1\"\r\n"
                        "\"admin\"=\"9\"\r\n\"admin2\"=\"5\"\r\n";

} // namespace

class SiteChoiceTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void startedIn_data();
    void startedIn();
    void defaultFolderThatCannotBeMadeEndsTheStart();
    void defaultFolderFollowsXdg_data();
    void defaultFolderFollowsXdg();
    void chooserChecksTheFolder_data();
    void chooserChecksTheFolder();
    void menuItemIsForTheAdministrator_data();
    void menuItemIsForTheAdministrator();

private:
    std::unique_ptr<QTemporaryDir> m_data;      // XDG_DATA_HOME
    std::unique_ptr<QTemporaryDir> m_elsewhere; // where the chosen folders lie
};

void SiteChoiceTest::init() {
    m_data = std::make_unique<QTemporaryDir>();
    m_elsewhere = std::make_unique<QTemporaryDir>();
    qputenv("XDG_DATA_HOME", m_data->path().toUtf8());
}

void SiteChoiceTest::cleanup() {
    qunsetenv("XDG_DATA_HOME");
    m_data.reset();
    m_elsewhere.reset();
}

void SiteChoiceTest::startedIn_data() {
    QTest::addColumn<bool>("fromMenu");
    QTest::addColumn<int>("workDir");      // Folder: what the folder the program was started in holds
    QTest::addColumn<int>("chosen");       // Folder: the folder the settings name; Missing with no value
    QTest::addColumn<bool>("valueStored"); // the settings hold "Site"
    QTest::addColumn<bool>("unreadable");  // the settings file is not a registry export
    QTest::addColumn<QString>("opened");   // "work", "default", "chosen", or "" when the program ends
    QTest::addColumn<QString>("message");  // part of the box the operator reads, "" for none

    const int none = int(Folder::Missing);
    const int empty = int(Folder::Empty);
    const int tables = int(Folder::Tables);
    const int half = int(Folder::HalfSet);
    // From a terminal the working directory is the site, whatever the settings hold.
    QTest::newRow("terminal, folder with the tables") << false << tables << none << false << false << "work"
                                                      << "";
    QTest::newRow("terminal, empty folder: new tables") << false << empty << none << false << false << "work"
                                                        << "";
    QTest::newRow("terminal, a site chosen elsewhere") << false << tables << tables << true << false << "work"
                                                       << "";
    QTest::newRow("terminal, half set: refused") << false << half << none << false << false << ""
                                                 << "W folderze roboczym brakuje tabel: grupa.dbf.";
    // From the menu the operator's own site, wherever the desktop started the program.
    QTest::newRow("menu, no site yet: default made") << true << empty << none << false << false << "default"
                                                     << "";
    QTest::newRow("menu, started among tables: still the own site")
        << true << tables << none << false << false << "default"
        << "";
    QTest::newRow("menu, chosen site") << true << empty << tables << true << false << "chosen"
                                       << "";
    QTest::newRow("menu, chosen empty folder: new tables") << true << empty << empty << true << false << "chosen"
                                                           << "";
    QTest::newRow("menu, chosen site deleted since") << true << empty << none << true << false << ""
                                                     << "Nie ma folderu obiektu %1 wybranego w ustawieniach programu";
    QTest::newRow("menu, chosen site lost a table") << true << empty << half << true << false << ""
                                                    << "W folderze roboczym brakuje tabel: grupa.dbf.";
    QTest::newRow("menu, unreadable settings: no guess")
        << true << empty << tables << true << true << ""
        << "Program nie wie, który folder obiektu otworzyć: popraw lub usuń ten plik";
}

void SiteChoiceTest::startedIn() {
    QFETCH(bool, fromMenu);
    QFETCH(int, workDir);
    QFETCH(int, chosen);
    QFETCH(bool, valueStored);
    QFETCH(bool, unreadable);
    QFETCH(QString, opened);
    QFETCH(QString, message);

    Site site;
    const QString work = site.workDir();
    const QString chosenFolder = m_elsewhere->path() + "/obiekt";
    const QString defaultFolder = m_data->path() + "/talvern/site";
    layDown(work, Folder(workDir));
    layDown(chosenFolder, Folder(chosen));
    site.writeKey(kKey + (valueStored ? siteValue(chosenFolder) : QByteArray()));
    if (unreadable)
        site.writeSettings(site.settingsBytes().replace("REGEDIT4", "not an export"));
    const QStringList workBefore = contents(work);
    const QStringList chosenBefore = contents(m_elsewhere->path());
    const QByteArray settingsBefore = site.settingsBytes();

    QStringList arguments{"talvern"};
    if (fromMenu)
        arguments << "--menu";
    const auto entered = site::enter(arguments);
    QString shown;
    if (entered) {
        try {
            TForm1& form = site.start();
            site::showInTitle(form, *entered);
        } catch (const std::exception& error) {
            shown = startupErrorText(error);
        }
    }
    for (const auto& box : site.messages)
        shown += box.text;

    if (message.isEmpty()) {
        QVERIFY2(shown.isEmpty(), qPrintable(shown));
    } else {
        QVERIFY2(shown.contains(QString(message).replace("%1", chosenFolder)), qPrintable(shown));
        QCOMPARE(site.messages.empty() ? QString() : site.messages.front().title, entered ? QString() : "Uwaga!");
    }

    const QString expected = opened == "work" ? work : opened == "default" ? defaultFolder : chosenFolder;
    if (opened.isEmpty()) {
        // The program ends and nothing was made anywhere: not in the place of the lost site, not in
        // the default folder, not in the folder the desktop started it in.
        QVERIFY(!site.program);
        QCOMPARE(contents(m_data->path()), QStringList());
        QCOMPARE(contents(work), workBefore);
        QCOMPARE(contents(m_elsewhere->path()), chosenBefore);
        QCOMPARE(site.settingsBytes(), settingsBefore);
        return;
    }

    QVERIFY(entered);
    QCOMPARE(entered->folder, expected);
    QCOMPARE(QDir::currentPath(), QDir(expected).canonicalPath());
    TForm1& form = *site.program->Form1;
    QVERIFY(form.Table1().isOpen() && form.Table2().isOpen() && form.Table3().isOpen());
    QCOMPARE(contents(expected), kTables);
    QCOMPARE(form.windowTitle(), fromMenu ? "TALVERN — " + expected : QStringLiteral("TALVERN"));
    // Only the opened folder got tables.
    if (opened != "work")
        QCOMPARE(contents(work), workBefore);
    if (opened != "default")
        QCOMPARE(contents(m_data->path()), QStringList());
    if (opened != "chosen")
        QCOMPARE(contents(m_elsewhere->path()), chosenBefore);
}

void SiteChoiceTest::defaultFolderThatCannotBeMadeEndsTheStart() {
    // A file where the program's data folder should be: told with the reason, nothing made instead.
    Site site;
    QFile blocker(m_data->path() + "/talvern");
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QVERIFY(!site::enter({"talvern", "--menu"}));
    QCOMPARE(site.messages.size(), size_t(1));
    QVERIFY2(
        site.messages[0].text.startsWith("Nie można utworzyć folderu obiektu " + m_data->path() + "/talvern/site: "),
        qPrintable(site.messages[0].text));
    QCOMPARE(site.messages[0].title, QStringLiteral("Uwaga!"));
    QCOMPARE(contents(m_data->path()), QStringList{"talvern"});
    QCOMPARE(contents(site.workDir()), QStringList());
}

void SiteChoiceTest::defaultFolderFollowsXdg_data() {
    QTest::addColumn<QByteArray>("dataHome");
    QTest::addColumn<QString>("expected"); // below HOME
    QTest::newRow("set") << QByteArray("/srv/data") << "/srv/data/talvern/site";
    QTest::newRow("unset") << QByteArray() << "~/.local/share/talvern/site";
    QTest::newRow("relative: ignored") << QByteArray("data") << "~/.local/share/talvern/site";
}

void SiteChoiceTest::defaultFolderFollowsXdg() {
    QFETCH(QByteArray, dataHome);
    QFETCH(QString, expected);
    if (dataHome.isEmpty())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", dataHome);
    QCOMPARE(site::defaultFolder(), expected.replace("~", QDir::homePath()));
}

void SiteChoiceTest::chooserChecksTheFolder_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("folder"); // Folder
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("message"); // part of the box; %1 is the folder
    QTest::addColumn<bool>("stored");
    QTest::newRow("the three tables") << "obiekt" << int(Folder::Tables) << false << "Folder obiektu zapisany: %1"
                                      << true;
    QTest::newRow("empty folder") << "obiekt" << int(Folder::Empty) << false << "Folder obiektu zapisany: %1" << true;
    QTest::newRow("half set: the start-up's refusal")
        << "obiekt" << int(Folder::HalfSet) << false
        << "W folderze roboczym brakuje tabel: grupa.dbf. Pozostałe tabele są na miejscu" << false;
    QTest::newRow("no such folder") << "obiekt" << int(Folder::Missing) << false << "Nie ma folderu %1." << false;
    QTest::newRow("read-only folder") << "obiekt" << int(Folder::Empty) << true
                                      << "Program nie może zapisywać w folderze %1" << false;
    QTest::newRow("Polish letters in the name")
        << "Zakład Łódź" << int(Folder::Tables) << false << "Folder obiektu zapisany: %1" << true;
    // The settings file is Windows-1250 text: such a name cannot be stored, and is not stored mangled.
    QTest::newRow("a character Windows-1250 lacks") << "obiekt 東" << int(Folder::Empty) << false << "" << false;
}

void SiteChoiceTest::chooserChecksTheFolder() {
    QFETCH(QString, name);
    QFETCH(int, folder);
    QFETCH(bool, readOnly);
    QFETCH(QString, message);
    QFETCH(bool, stored);
    if (readOnly && ::geteuid() == 0)
        QSKIP("the superuser may write any folder");

    Site site;
    site.writeKey(kKey);
    site.start();
    site.messages.clear();
    const QString picked = m_elsewhere->path() + "/" + name;
    layDown(picked, Folder(folder));
    if (readOnly)
        QVERIFY(QFile::setPermissions(picked, QFile::ReadOwner | QFile::ExeOwner));
    const QStringList before = contents(m_elsewhere->path());

    // Picked the way a dialog may give it, with a trailing separator.
    if (message.isEmpty()) {
        QVERIFY_THROWS_EXCEPTION(settings::SettingsError, site::storeChosenFolder(picked + "/"));
        QVERIFY(site.messages.empty());
        QVERIFY(!site.settingsBytes().contains("\"Site\""));
        return;
    }
    QCOMPARE(site::storeChosenFolder(picked + "/"), stored);
    QCOMPARE(site.messages.size(), size_t(1));
    QVERIFY2(site.messages[0].text.contains(QString(message).replace("%1", picked)), qPrintable(site.messages[0].text));
    QCOMPARE(site.messages[0].title, stored ? "Konfiguracja" : "Uwaga!");
    if (!stored)
        QVERIFY(site.messages[0].text.endsWith("\nFolder obiektu pozostaje bez zmian."));
    QCOMPARE(site.settingsBytes().contains("\"Site\""), stored);
    QCOMPARE(site::chosenFolder(), stored ? std::optional<QString>(picked) : std::nullopt);
    // Nothing is made in the picked folder until the next start.
    QCOMPARE(contents(m_elsewhere->path()), before);
    if (readOnly)
        QFile::setPermissions(picked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void SiteChoiceTest::menuItemIsForTheAdministrator_data() {
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("administrator") << "9" << true;
    QTest::newRow("user") << "5" << false;
}

void SiteChoiceTest::menuItemIsForTheAdministrator() {
    QFETCH(QString, password);
    QFETCH(bool, enabled);
    Site site;
    site.writeKey(kKey);
    TForm1& form = site.start();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto* entry = form.findChild<QLineEdit*>(QStringLiteral("Edit5"));
    entry->insert(password);
    QTest::keyClick(entry, Qt::Key_Return);
    QVERIFY(!form.isLocked());
    auto* item = form.findChild<QAction*>(QStringLiteral("FolderObiektu1"));
    QVERIFY(item);
    QCOMPARE(item->text(), QStringLiteral("Wybierz folder obiektu..."));
    QCOMPARE(item->isEnabled(), enabled);
    QVERIFY(form.findChild<QMenu*>(QStringLiteral("Edycja1"))->actions().contains(item));
}

QTEST_MAIN(SiteChoiceTest)
#include "SiteChoiceTest.moc"
