// "Plik pomocy" on the real main window (offscreen): the site's access.chm when it lies in the
// working directory, else the operator's manual in the desktop's browser, else a Polish box. The
// desktop's "open" is recorded by the fixture instead of run.

#include "ManualLocation.h"
#include "ShellFixture.h"
#include "TForm1.h"

#include <QAction>
#include <QFileInfo>
#include <QtTest>

using namespace talvern;
using talvern::test::Site;

namespace {

void makeFile(const QString& path) {
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<html></html>");
}

} // namespace

class HelpFileTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { desktop::setManualCandidates(std::nullopt); }
    void helpOpens_data();
    void helpOpens();
    void buildFromTheSourceTreeFindsItsManual();
};

// What lies where: the help file in the site, the manual where a package installs it, the manual
// in a source tree. "opens" names what the desktop is asked to open; "none" means the box instead.
void HelpFileTest::helpOpens_data() {
    QTest::addColumn<QString>("chm");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<bool>("source");
    QTest::addColumn<QString>("opens");

    QTest::newRow("help file only") << "file" << false << false << "chm";
    QTest::newRow("help file beside an installed manual") << "file" << true << true << "chm";
    QTest::newRow("installed manual") << "" << true << false << "installed";
    QTest::newRow("installed manual before the source tree's") << "" << true << true << "installed";
    QTest::newRow("source tree's manual") << "" << false << true << "source";
    QTest::newRow("help file named as on Windows") << "ACCESS.CHM" << true << false << "chm";
    QTest::newRow("a folder named access.chm is no help file") << "folder" << false << true << "source";
    QTest::newRow("neither") << "" << false << false << "none";
}

void HelpFileTest::helpOpens() {
    QFETCH(QString, chm);
    QFETCH(bool, installed);
    QFETCH(bool, source);
    QFETCH(QString, opens);

    Site site;
    QTemporaryDir places;
    const QString installedIndex = places.path() + "/usr/share/doc/talvern/manual/index.html";
    const QString sourceIndex = places.path() + "/clone/docs/manual/index.html";
    if (installed)
        makeFile(installedIndex);
    if (source)
        makeFile(sourceIndex);
    desktop::setManualCandidates(QStringList{installedIndex, sourceIndex});
    const QString chmFile = QDir::current().absoluteFilePath(chm == "file" ? QStringLiteral("access.chm") : chm);
    if (chm == "file" || chm == "ACCESS.CHM")
        makeFile(chmFile);
    if (chm == "folder")
        QVERIFY(QDir().mkdir("access.chm"));

    TForm1& form = site.start();
    form.findChild<QAction*>("Oprogramie1")->trigger();

    if (opens == "none") {
        QVERIFY(site.opened.empty());
        QCOMPARE(site.messages.size(), std::size_t(1));
        QCOMPARE(site.messages[0].title, QStringLiteral("Plik pomocy"));
        QVERIFY(site.messages[0].text.contains(QStringLiteral("podręcznik operatora nie jest zainstalowany")));
        // The box says where the package puts the manual.
        QVERIFY(site.messages[0].text.contains(places.path() + "/usr/share/doc/talvern/manual"));
        return;
    }
    const QString expected = opens == "chm"         ? chmFile
                             : opens == "installed" ? installedIndex
                                                    : sourceIndex;
    QCOMPARE(site.opened.size(), std::size_t(1));
    QCOMPARE(site.opened[0], QUrl::fromLocalFile(expected));
    QVERIFY(site.messages.empty());
}

void HelpFileTest::buildFromTheSourceTreeFindsItsManual() {
    // This test runs from the build folder, where nothing is installed: the program's own places
    // lead to the manual of the source tree it was built from.
#ifndef TALVERN_SOURCE_MANUAL
    QSKIP("built without the source tree's manual (TALVERN_MANUAL_FROM_SOURCE=OFF)");
#else
    Site site;
    TForm1& form = site.start();
    form.findChild<QAction*>("Oprogramie1")->trigger();
    QCOMPARE(site.opened.size(), std::size_t(1));
    QCOMPARE(site.opened[0], QUrl::fromLocalFile(QFileInfo(TALVERN_SOURCE_MANUAL "/index.html").absoluteFilePath()));
    QVERIFY(QFileInfo(site.opened[0].toLocalFile()).isFile());
    QVERIFY(site.messages.empty());
#endif
}

QTEST_MAIN(HelpFileTest)
#include "HelpFileTest.moc"
