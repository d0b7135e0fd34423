// Start-up of the real program in a temporary site: the settings key, the port, the errors of the
// start-up steps and what they skip, the tables, the timers and the secondary windows.

#include "ShellFixture.h"

#include "SettingsPage.h"
#include "TForm3.h"
#include "Gauge.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

using namespace talvern;
using talvern::test::Site;

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void firstStartCreatesTheKey();
    void portNumberApplied_data();
    void portNumberApplied();
    void startupErrors_data();
    void startupErrors();
    void brokenSettingsFileIsShownAndLeftUntouched();
    void settingsFilesKeepThePasswordRule_data();
    void settingsFilesKeepThePasswordRule();
    void tablesThatCannotBeOpenedEndStartup_data();
    void tablesThatCannotBeOpenedEndStartup();
    void secondaryWindowsStartHidden();
};

void StartupTest::firstStartCreatesTheKey() {
    Site site;
    TForm1& form = site.start();
    QVERIFY2(site.messages.empty(), qPrintable(site.messages.empty() ? "" : site.messages[0].text));
    QCOMPARE(site.settingsBytes(), QByteArray("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SoftwareRegQ5]\r\n"
                                              "\"Port\"=dword:00000001\r\n\"sys_nr\"=\"1\"\r\n\"sys_nr2\"=\"1\"\r\n"
                                              "\"admin\"=\"9\"\r\n\"admin2\"=\"5\"\r\n\r\n"));
    QCOMPARE(QFile(site.settingsFile()).permissions() & ~(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser |
                                                          QFile::WriteUser),
             QFile::Permissions());
    QCOMPARE(form.portNumber(), 1);
    QCOMPARE(form.portLabel(), QStringLiteral("COM1 "));
    QCOMPARE(form.rs().ComPort(), serial::TComPort::cpCOM1);
    QVERIFY(!form.rs().Active());
    QCOMPARE(form.systemCode(), 1);
    QCOMPARE(form.settingsPage()->Edit1()->text(), QStringLiteral("1"));
    QCOMPARE(form.oldSystemCodeText(), QStringLiteral("1"));
    QCOMPARE(form.adminPassword(), QStringLiteral("9"));
    QCOMPARE(form.userPassword(), QStringLiteral("5"));

    // The empty tables of a new site, open, with the serial port set up as the programmer needs it.
    for (const char* table : {"osoby.dbf", "sprzet.dbf", "grupa.dbf"})
        QVERIFY2(QFile::exists(site.workDir() + "/" + table), table);
    QVERIFY(form.Table1().isOpen() && form.Table2().isOpen() && form.Table3().isOpen());
    QCOMPARE(form.rs().BaudRate(), 19200u);
    QCOMPARE(form.rs().ByteSize(), 8);
    QCOMPARE(form.rs().BufferInSize(), 8192);
    QCOMPARE(form.rs().BufferOutSize(), 8192);
    QCOMPARE(form.rs().TimeoutRead(), 0u);
    QCOMPARE(form.rs().TimeoutWrite(), 100u);
    QVERIFY(form.rs().UseMainThread());
    QVERIFY(form.Timer3()->isActive());
    QCOMPARE(form.Timer3()->interval(), 50);
    QVERIFY(!form.Timer1()->isActive());
    QCOMPARE(form.Timer1()->interval(), 100);
    QVERIFY(form.isLocked());
}

void StartupTest::portNumberApplied_data() {
    QTest::addColumn<QByteArray>("port");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("comPort");
    QTest::newRow("1") << QByteArray("00000001") << 1 << "COM1 " << int(serial::TComPort::cpCOM1);
    QTest::newRow("2") << QByteArray("00000002") << 2 << "COM2 " << int(serial::TComPort::cpCOM2);
    QTest::newRow("3") << QByteArray("00000003") << 3 << "COM3 " << int(serial::TComPort::cpCOM3);
    QTest::newRow("4") << QByteArray("00000004") << 4 << "COM4 " << int(serial::TComPort::cpCOM4);
    QTest::newRow("7 leaves COM1") << QByteArray("00000007") << 7 << "" << int(serial::TComPort::cpCOM1);
    QTest::newRow("0 leaves COM1") << QByteArray("00000000") << 0 << "" << int(serial::TComPort::cpCOM1);
    QTest::newRow("-1 leaves COM1") << QByteArray("ffffffff") << -1 << "" << int(serial::TComPort::cpCOM1);
}

void StartupTest::portNumberApplied() {
    QFETCH(QByteArray, port);
    QFETCH(int, number);
    QFETCH(QString, label);
    QFETCH(int, comPort);
    Site site;
    site.writeKey("\"Port\"=dword:" + port + "\r\n\"sys_nr\"=\"12\"\r\n\"sys_nr2\"=\"11\"\r\n\"admin\"=\"a\"\r\n"
                  "\"admin2\"=\"b\"\r\n");
    TForm1& form = site.start();
    QVERIFY(site.messages.empty());
    QCOMPARE(form.portNumber(), number);
    QCOMPARE(form.portLabel(), label);
    QCOMPARE(int(form.rs().ComPort()), comPort);
    QVERIFY(!form.rs().Active());
    QCOMPARE(form.systemCode(), 12);
    QCOMPARE(form.oldSystemCodeText(), QStringLiteral("11"));
}

void StartupTest::startupErrors_data() {
    QTest::addColumn<QByteArray>("values");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("admin");     // administrator password after start-up
    QTest::addColumn<int>("systemCode");    // system code after start-up
    QTest::addColumn<QString>("oldCode");   // old-code entry after start-up
    QTest::addColumn<QString>("portLabel"); // whether the port was applied

    const QByteArray rest = "\"sys_nr2\"=\"3\"\r\n\"admin\"=\"adm\"\r\n\"admin2\"=\"usr\"\r\n";
    // The passwords come before the conversion of the code, the old code and the port after it.
    QTest::newRow("sys_nr letters") << "\"Port\"=dword:00000002\r\n\"sys_nr\"=\"abc\"\r\n" + rest
                                    << "'abc' is not a valid integer value" << "adm" << 0 << "" << "";
    QTest::newRow("sys_nr empty") << "\"Port\"=dword:00000002\r\n\"sys_nr\"=\"\"\r\n" + rest
                                  << "'' is not a valid integer value" << "adm" << 0 << "" << "";
    QTest::newRow("sys_nr missing") << "\"Port\"=dword:00000002\r\n" + rest << "'' is not a valid integer value"
                                    << "adm" << 0 << "" << "";
    QTest::newRow("sys_nr beyond 32 bits") << "\"Port\"=dword:00000002\r\n\"sys_nr\"=\"4294967297\"\r\n" + rest
                                           << "'4294967297' is not a valid integer value" << "adm" << 0 << ""
                                           << "";
    QTest::newRow("Port missing") << "\"sys_nr\"=\"5\"\r\n" + rest << "Failed to get data for 'Port'" << ""
                                  << 0 << "" << "";
    QTest::newRow("Port as text") << "\"Port\"=\"1\"\r\n\"sys_nr\"=\"5\"\r\n" + rest
                                  << "Invalid data type for 'Port'" << "" << 0 << "" << "";
    QTest::newRow("Port of two bytes") << "\"Port\"=hex(4):01,00\r\n\"sys_nr\"=\"5\"\r\n" + rest
                                       << "Failed to get data for 'Port'" << "" << 0 << "" << "";
    QTest::newRow("sys_nr as number") << "\"Port\"=dword:00000002\r\n\"sys_nr\"=dword:00000005\r\n" + rest
                                      << "Invalid data type for 'sys_nr'" << "" << 0 << "" << "";
    QTest::newRow("admin missing") << QByteArray("\"Port\"=dword:00000002\r\n\"sys_nr\"=\"5\"\r\n\"sys_nr2\"=\"3\"\r\n"
                                                 "\"admin2\"=\"usr\"\r\n")
                                   << "" << "" << 5 << "3" << "COM2 ";
    QTest::newRow("sys_nr2 missing") << QByteArray("\"Port\"=dword:00000002\r\n\"sys_nr\"=\"5\"\r\n\"admin\"=\"adm\"\r\n")
                                     << "" << "adm" << 5 << "" << "COM2 ";
}

void StartupTest::startupErrors() {
    QFETCH(QByteArray, values);
    QFETCH(QString, message);
    QFETCH(QString, admin);
    QFETCH(int, systemCode);
    QFETCH(QString, oldCode);
    QFETCH(QString, portLabel);
    Site site;
    site.writeKey(values);
    TForm1& form = site.start();
    if (message.isEmpty()) {
        QVERIFY(site.messages.empty());
    } else {
        QCOMPARE(site.messages.size(), std::size_t(1));
        QCOMPARE(site.messages[0].text, message);
    }
    QCOMPARE(form.adminPassword(), admin);
    QCOMPARE(form.systemCode(), systemCode);
    QCOMPARE(form.oldSystemCodeText(), oldCode);
    QCOMPARE(form.portLabel(), portLabel);
    // The captions come first, so they stand whatever failed later; and the window opens locked.
    QCOMPARE(form.Zakladka()->tabText(3), QStringLiteral("Ustawienia"));
    QVERIFY(form.isLocked());
    QCOMPARE(site.settingsBytes(), "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SoftwareRegQ5]\r\n" + values + "\r\n");
}

void StartupTest::brokenSettingsFileIsShownAndLeftUntouched() {
    Site site;
    const QByteArray broken = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SoftwareRegQ5]\r\n\"Port\"=dword:1\r\n"
                              "\"admin\"=\"unterminated\r\n";
    site.writeSettings(broken);
    TForm1& form = site.start();
    QCOMPARE(site.messages.size(), std::size_t(1));
    const QString text = site.messages[0].text;
    QCOMPARE(site.messages[0].title, QStringLiteral("Uwaga!"));
    QVERIFY2(text.startsWith(QStringLiteral("Nie można odczytać ustawień z pliku ") + site.settingsFile() +
                             QStringLiteral(", wiersz 5: ")) &&
                 text.contains(QStringLiteral("\nProgram pozostaje zablokowany")),
             qPrintable(text));
    QCOMPARE(site.settingsBytes(), broken);
    QVERIFY(form.isLocked());
    QCOMPARE(form.portLabel(), QString());
    // A later write does not replace the broken file either.
    form.setPortNumber(2);
    QVERIFY(!OperatorMessages::runHandler([&] { form.SavePortSetting(); }));
    QCOMPARE(site.settingsBytes(), broken);
}

namespace {

// The bytes of a registry export as today's registry editor writes it: UTF-16LE after a byte-order mark.
QByteArray unicodeExport(const QString& text) {
    QByteArray bytes("\xFF\xFE", 2);
    for (QChar c : text) {
        bytes.append(static_cast<char>(c.unicode() & 0xFF));
        bytes.append(static_cast<char>(c.unicode() >> 8));
    }
    return bytes;
}

QString version5Key(const QString& admin) {
    return QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\SoftwareRegQ5]\r\n"
                          "\"Port\"=dword:00000002\r\n\"sys_nr\"=\"12\"\r\n\"sys_nr2\"=\"12\"\r\n\"admin\"=\"%1\"\r\n"
                          "\"admin2\"=\"usr\"\r\n\r\n")
        .arg(admin);
}

QByteArray ansiKey(const QByteArray& admin) {
    return "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SoftwareRegQ5]\r\n\"Port\"=dword:00000002\r\n\"sys_nr\"=\"12\"\r\n"
           "\"sys_nr2\"=\"12\"\r\n\"admin\"=\"" + admin + "\"\r\n\"admin2\"=\"usr\"\r\n\r\n";
}

} // namespace

void StartupTest::settingsFilesKeepThePasswordRule_data() {
    // How the settings file is laid down, what it holds, whether the passwords can be read from it,
    // what the file holds once the administrator password is changed from "adm" to "new" on the
    // Settings page, the box that change gives (when nothing could be loaded: how the start-up box
    // begins; %1 is the file), and the password that opens the next start.
    QTest::addColumn<QString>("layout"); // "file", "link" (to a file in another folder), "read-only",
                                         // "no folder" (a plain file where the folder should be)
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<QByteArray>("afterChange");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("opensNext");
    const QString saved = QStringLiteral("Haslo administratora - zapisano.");
    const QString unread = QStringLiteral("Nie można odczytać ustawień z pliku %1, wiersz ");
    QTest::newRow("a garbage line") << "file" << QByteArray("\x01\x02 not a settings file at all\r\n") << false
                                    << QByteArray() << unread + "1: " << QString();
    QTest::newRow("an unterminated value")
        << "file" << QByteArray("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SoftwareRegQ5]\r\n\"admin\"=\"9\r\n") << false
        << QByteArray() << unread + "4: " << QString();
    QTest::newRow("the key's header only") << "file" << QByteArray("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Soft") << false
                                           << QByteArray() << unread + "3: " << QString();
    QTest::newRow("a settings folder that cannot be made")
        << "no folder" << QByteArray() << false << QByteArray()
        << "Nie można zapisać ustawień w pliku %1: część ścieżki nie jest folderem.\nProgram pozostaje zablokowany: "
           "pozwól na zapis tego pliku i uruchom program ponownie."
        << QString();
    QTest::newRow("a UTF-16 export") << "file" << unicodeExport(version5Key("adm")) << true
                                     << unicodeExport(version5Key("new")) << saved << "new";
    QTest::newRow("a symbolic link") << "link" << ansiKey("adm") << true << ansiKey("new") << saved << "new";
    QTest::newRow("a read-only file") << "read-only" << ansiKey("adm") << true << ansiKey("adm")
                                      << "Nie można zapisać ustawień w pliku %1: plik jest tylko do odczytu." << "adm";
}

void StartupTest::settingsFilesKeepThePasswordRule() {
    // The lock never accepts a password that was not loaded: with nothing read, no entry opens the
    // program (the empty one above all) and the box says why and which file. A file that can be read
    // opens with its own password only, and a change keeps the file's form and place or, when the
    // file cannot be written, keeps the old password in the file and in the program.
    QFETCH(QString, layout);
    QFETCH(QByteArray, settings);
    QFETCH(bool, loaded);
    QFETCH(QByteArray, afterChange);
    QFETCH(QString, message);
    QFETCH(QString, opensNext);
    Site site;
    message.replace(QStringLiteral("%1"), site.settingsFile());
    QTemporaryDir elsewhere;
    const QString target = elsewhere.path() + QStringLiteral("/shared.reg");
    if (layout == "link") {
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(settings);
        file.close();
        site.writeSettings(QByteArray());
        QVERIFY(QFile::remove(site.settingsFile()));
        QVERIFY(QFile::link(target, site.settingsFile()));
    } else if (layout == "no folder") {
        site.writeSettings(QByteArray());
        const QString folder = QFileInfo(site.settingsFile()).path();
        QVERIFY(QFile::remove(site.settingsFile()) && QDir().rmdir(folder));
        QFile plain(folder);
        QVERIFY(plain.open(QIODevice::WriteOnly));
    } else {
        site.writeSettings(settings);
        if (layout == "read-only")
            QVERIFY(QFile::setPermissions(site.settingsFile(), QFile::ReadOwner | QFile::ReadGroup));
    }

    auto tryPasswords = [&](TForm1& form, const QStringList& refused) {
        auto* entry = form.findChild<QLineEdit*>(QStringLiteral("Edit5"));
        for (const QString& typed : refused) {
            site.messages.clear();
            entry->setText(typed);
            form.BitBtn1Click();
            QVERIFY2(form.isLocked(), qPrintable(typed));
            QCOMPARE(site.messages.size(), std::size_t(1));
            QCOMPARE(site.messages[0].title, QStringLiteral("Uwaga!"));
            if (!loaded)
                QVERIFY2(site.messages[0].text.contains(site.settingsFile()), qPrintable(site.messages[0].text));
            else
                QCOMPARE(site.messages[0].text, QStringLiteral("Niepoprawne haslo."));
        }
    };

    TForm1& form = site.start();
    QVERIFY(form.isLocked());
    if (!loaded) {
        // The start-up said so first, in Polish, naming the file.
        QCOMPARE(site.messages.size(), std::size_t(1));
        QCOMPARE(site.messages[0].title, QStringLiteral("Uwaga!"));
        QVERIFY2(site.messages[0].text.startsWith(message), qPrintable(site.messages[0].text));
        QVERIFY2(site.messages[0].text.contains(QStringLiteral("\nProgram pozostaje zablokowany: ")),
                 qPrintable(site.messages[0].text));
        tryPasswords(form, {QString(), QStringLiteral("9"), QStringLiteral("5"), QStringLiteral("wrong")});
        QCOMPARE(site.settingsBytes(), settings);
        return;
    }
    QVERIFY2(site.messages.empty(), qPrintable(site.messages.empty() ? "" : site.messages[0].text));
    tryPasswords(form, {QString(), QStringLiteral("9"), QStringLiteral("usr "), QStringLiteral("new")});
    QCOMPARE(site.settingsBytes(), settings);

    site.messages.clear();
    form.findChild<QLineEdit*>(QStringLiteral("Edit5"))->setText(QStringLiteral("adm"));
    form.BitBtn1Click();
    QVERIFY(!form.isLocked());
    QCOMPARE(form.systemCode(), 12);
    // The system code confirmed as it stands writes no byte differently, whatever the file's form.
    form.settingsPage()->Button5()->click();
    QCOMPARE(site.settingsBytes(), settings);
    site.messages.clear();
    form.settingsPage()->Edit6()->setText(QStringLiteral("new"));
    form.settingsPage()->Button15()->click();
    QCOMPARE(site.messages.size(), std::size_t(1));
    QCOMPARE(site.messages[0].text, message);
    QCOMPARE(form.adminPassword(), opensNext);
    QCOMPARE(site.settingsBytes(), afterChange);
    if (layout == "link") {
        QVERIFY(QFileInfo(site.settingsFile()).isSymLink());
        QCOMPARE(QFileInfo(site.settingsFile()).symLinkTarget(), target);
        QCOMPARE(QDir(elsewhere.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"shared.reg"});
    }
    if (layout == "read-only")
        QCOMPARE(QFile::permissions(site.settingsFile()) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser),
                 QFile::ReadOwner | QFile::ReadGroup);

    // The next start opens with what the file holds, and with nothing else.
    site.program.reset();
    site.messages.clear();
    TForm1& next = site.start();
    tryPasswords(next, {QString(), opensNext == "adm" ? QStringLiteral("new") : QStringLiteral("adm")});
    next.findChild<QLineEdit*>(QStringLiteral("Edit5"))->setText(opensNext);
    next.BitBtn1Click();
    QVERIFY(!next.isLocked());
}

void StartupTest::tablesThatCannotBeOpenedEndStartup_data() {
    QTest::addColumn<QStringList>("present"); // table files put in place before start-up
    QTest::addColumn<QString>("mentioned");   // what the error must name
    QTest::newRow("half set") << QStringList{"osoby.dbf"} << "sprzet.dbf";
    QTest::newRow("damaged users table") << QStringList{"osoby.dbf!", "sprzet.dbf", "grupa.dbf"} << "osoby.dbf";
}

void StartupTest::tablesThatCannotBeOpenedEndStartup() {
    QFETCH(QStringList, present);
    QFETCH(QString, mentioned);
    // Good tables come from a first start in another folder.
    QTemporaryDir source;
    {
        Site first;
        first.start();
        for (const char* name : {"osoby", "sprzet", "grupa"})
            for (const char* ext : {".dbf", ".dbt"})
                QFile::copy(first.workDir() + "/" + name + ext, source.path() + "/" + name + ext);
    }
    Site site;
    for (QString name : present) {
        const bool damage = name.endsWith(u'!');
        name.remove(u'!');
        QFile::copy(source.path() + "/" + name, name);
        QFile::copy(source.path() + "/" + QString(name).replace(".dbf", ".dbt"), QString(name).replace(".dbf", ".dbt"));
        if (damage) {
            QFile file(name);
            QVERIFY(file.open(QIODevice::ReadWrite));
            file.write("\x03\xff\xff\xff garbage");
        }
    }
    try {
        site.start();
        QFAIL("the program started");
    } catch (const std::exception& error) {
        QVERIFY2(QString::fromUtf8(error.what()).contains(mentioned), error.what());
    }
    // Start-up ended before the settings were touched.
    QVERIFY(!QFile::exists(site.settingsFile()));
}

void StartupTest::secondaryWindowsStartHidden() {
    Site site;
    site.start();
    QVERIFY(!site.program->Form2->isVisible());
    QVERIFY(!site.program->Form3->isVisible());
    QVERIFY(!site.program->Form4->isVisible());
    QCOMPARE(site.program->Form1->Form2(), site.program->Form2.get());
    QCOMPARE(site.program->Form3->bar2()->minimum(), 0);
    QCOMPARE(site.program->Form3->bar2()->maximum(), 100);
    QCOMPARE(site.program->Form3->bar2()->value(), 0);
    QCOMPARE(site.program->Form3->bar2()->text(), QStringLiteral("0%"));
    QCOMPARE(site.program->Form3->windowTitle(), QStringLiteral("Read/write  card"));
    QCOMPARE(site.program->Form3->size(), QSize(407, 72));
    QCOMPARE(site.program->Form2->size(), QSize(299, 122));
}

QTEST_MAIN(StartupTest)
#include "StartupTest.moc"
