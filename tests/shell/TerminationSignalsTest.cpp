// The real program, offscreen, in an empty site, ended by the signals a desktop sends at logout (and
// Ctrl+C): it must leave as if its window had been closed, with exit code 0, no record journal
// beside the tables, tables that pass the table tool's check, and the settings file whole; also
// while a start-up box waits for OK.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

class TerminationSignalsTest : public QObject {
    Q_OBJECT

private slots:
    void closesTheTablesCleanly_data();
    void closesTheTablesCleanly();
};

void TerminationSignalsTest::closesTheTablesCleanly_data() {
    QTest::addColumn<int>("signal");
    QTest::addColumn<QByteArray>("settings"); // put in place before the start; empty for a first start
    QTest::newRow("SIGTERM") << int(SIGTERM) << QByteArray();
    QTest::newRow("SIGHUP") << int(SIGHUP) << QByteArray();
    QTest::newRow("SIGINT") << int(SIGINT) << QByteArray();
    // A settings file that cannot be read: the start-up box waits for an OK that never comes.
    QTest::newRow("SIGTERM over the start-up box") << int(SIGTERM) << QByteArray("\x01 not settings\r\n");
}

void TerminationSignalsTest::closesTheTablesCleanly() {
    QFETCH(int, signal);
    QFETCH(QByteArray, settings);
    QTemporaryDir home;
    QTemporaryDir site;
    QVERIFY(home.isValid() && site.isValid());
    const QString settingsFile = home.path() + QStringLiteral("/.config/talvern/settings.reg");
    if (!settings.isEmpty()) {
        QVERIFY(QDir().mkpath(home.path() + QStringLiteral("/.config/talvern")));
        QFile file(settingsFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(settings);
    }

    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/.config"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(site.path());
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(TALVERN_PROGRAM), {});
    QVERIFY(program.waitForStarted());

    // The first start makes the three tables and then the settings key; once the key holds its last
    // value the tables are open and the start-up steps are done. With a settings file in place, the
    // tables are made just before the settings are read.
    QElapsedTimer waited;
    waited.start();
    auto started = [&] {
        if (!settings.isEmpty())
            return QFile::exists(site.filePath("grupa.dbf")) && QFile::exists(site.filePath("osoby.dbf")) &&
                   QFile::exists(site.filePath("sprzet.dbf"));
        QFile file(settingsFile);
        return file.open(QIODevice::ReadOnly) && file.readAll().contains("\"admin2\"");
    };
    while (!started() && waited.elapsed() < 20000 && program.state() == QProcess::Running)
        QTest::qWait(20);
    QVERIFY2(started(), "the program did not start");
    const QByteArray settingsBefore = [&] {
        QFile file(settingsFile);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    QTest::qWait(200);

    QCOMPARE(::kill(static_cast<pid_t>(program.processId()), signal), 0);
    QVERIFY2(program.waitForFinished(20000), "the program did not end");
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);

    const QStringList left = QDir(site.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    QCOMPARE(left, (QStringList{"grupa.dbf", "grupa.dbt", "osoby.dbf", "osoby.dbt", "sprzet.dbf", "sprzet.dbt"}));
    for (const char* table : {"osoby.dbf", "sprzet.dbf", "grupa.dbf"}) {
        QProcess check;
        check.start(QStringLiteral(TALVERN_DBF_TOOL), {QStringLiteral("check"), site.filePath(table)});
        QVERIFY(check.waitForFinished(20000));
        QVERIFY2(check.exitStatus() == QProcess::NormalExit && check.exitCode() == 0,
                 qPrintable(QString::fromUtf8(check.readAll())));
    }
    QFile file(settingsFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), settingsBefore);
    if (!settings.isEmpty())
        QCOMPARE(settingsBefore, settings);
}

QTEST_GUILESS_MAIN(TerminationSignalsTest)
#include "TerminationSignalsTest.moc"
