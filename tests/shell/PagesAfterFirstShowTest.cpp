// The program builds the main window's table pages only once its locked window has been drawn.
// These tests start the real program that way and check that the operator cannot tell: the pages
// come after the first drawing, and then hold what they would have held had they been built at
// once (captions, the old system code, the reader-name hints, also after a start-up error), and an
// unlock that comes first builds them itself, card buttons and user mode included.

#include "ShellFixture.h"

#include "CaptionSet.h"
#include "DBCheckBox.h"
#include "GroupsPage.h"
#include "SiteDefaults.h"
#include "StandardTables.h"
#include "TTable.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QPushButton>
#include <QTest>
#include <QWindow>

using namespace talvern;
using talvern::test::Site;

namespace {

// What the operator finds in the pages once they are there.
struct PagesSeen {
    QStringList captions;
    QString oldCode;
    QString systemCodeEntry;
    QStringList readerHints;
    QStringList messages;

    bool operator==(const PagesSeen&) const = default;
};

PagesSeen look(Site& site) {
    TForm1& form = *site.program->Form1;
    PagesSeen seen;
    for (const CaptionEntry& entry : captionSet())
        seen.captions << describe(entry) + u'=' + currentCaption(form, entry);
    seen.oldCode = form.findChild<QLineEdit*>(QStringLiteral("Edit2"))->text();
    seen.systemCodeEntry = form.findChild<QLineEdit*>(QStringLiteral("Edit1"))->text();
    auto* groups = form.findChild<GroupsPage*>();
    for (int reader = 1; reader <= 96; ++reader)
        seen.readerHints << groups->readerBox(reader)->toolTip();
    for (const OperatorMessage& message : site.messages)
        seen.messages << message.text;
    return seen;
}

char* toString(const PagesSeen& seen) {
    const QString text =
        QStringLiteral("captions: %1\nold code: %2\ncode entry: %3\nhints: %4\nmessages: %5")
            .arg(seen.captions.join(u' '), seen.oldCode, seen.systemCodeEntry, seen.readerHints.join(u','),
                 seen.messages.join(u'|'));
    return qstrdup(text.toUtf8().constData());
}

void addReaders(const Site& site) {
    db::ensureStandardTables(site.workDir().toStdString());
    db::TTable readers;
    readers.open((site.workDir() + QStringLiteral("/sprzet.dbf")).toStdString());
    for (auto [id, name] : {std::pair{2, "Brama"}, std::pair{96, "Magazyn"}}) {
        readers.append();
        readers.fieldByName("ID_CZYT").setAsInteger(id);
        readers.fieldByName("NAME").setAsString(name);
        readers.fieldByName("TIME").setAsInteger(2);
        readers.post();
    }
}

// Notes whether the pages were there while the window handled its first exposure.
class ExposureWatch : public QObject {
public:
    explicit ExposureWatch(TForm1& form) : m_form(form) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Expose && !exposed) {
            exposed = true;
            pagesDuringFirstExposure = m_form.pagesAreBuilt();
        }
        return false;
    }
    bool exposed = false;
    bool pagesDuringFirstExposure = true;

private:
    TForm1& m_form;
};

} // namespace

class PagesAfterFirstShowTest : public QObject {
    Q_OBJECT

private slots:
    void pagesComeAfterTheFirstDrawing();
    void pagesMatchThoseBuiltAtOnce_data();
    void pagesMatchThoseBuiltAtOnce();
    void unlockBeforeTheFirstDrawingBuildsThePages();
    void workingLayoutTakesWhatCameBeforeIt();
};

void PagesAfterFirstShowTest::pagesComeAfterTheFirstDrawing() {
    Site site;
    site.program = createProgram(PagesBuilt::AfterFirstShow);
    TForm1& form = *site.program->Form1;
    QVERIFY(!form.pagesAreBuilt());
    QVERIFY(!form.findChild<GroupsPage*>());
    // The About, transfer and card information windows come with the pages.
    QVERIFY(!site.program->Form2 && !site.program->Form3 && !site.program->Form4);
    QVERIFY(!form.Form2());

    // The test's watch goes on before the window's own, so the window's runs first.
    form.winId();
    ExposureWatch watch(form);
    form.windowHandle()->installEventFilter(&watch);
    form.show();
    QTRY_VERIFY(watch.exposed);
    QVERIFY(!watch.pagesDuringFirstExposure);
    QTRY_VERIFY(form.pagesAreBuilt());
    QCOMPARE(form.findChildren<GroupsPage*>().size(), 1);
    QVERIFY(form.isLocked());
    QVERIFY(site.messages.empty());
    QVERIFY(site.program->Form2 && site.program->Form3 && site.program->Form4);
    QCOMPARE(form.Form2(), site.program->Form2.get());
    QCOMPARE(form.Form3(), site.program->Form3.get());
    QCOMPARE(form.Form4(), site.program->Form4.get());
    QVERIFY(!site.program->Form2->isVisible() && !site.program->Form3->isVisible() &&
            !site.program->Form4->isVisible());
}

void PagesAfterFirstShowTest::pagesMatchThoseBuiltAtOnce_data() {
    QTest::addColumn<QByteArray>("key");
    const QByteArray rest = "\"admin\"=\"adm\"\r\n\"admin2\"=\"usr\"\r\n";
    QTest::newRow("all steps run") << "\"Port\"=dword:00000002\r\n\"sys_nr\"=\"12\"\r\n\"sys_nr2\"=\"11\"\r\n" + rest;
    // The old code and the hints come after the failing conversion: the pages stay without them.
    QTest::newRow("code is not a number")
        << "\"Port\"=dword:00000002\r\n\"sys_nr\"=\"abc\"\r\n\"sys_nr2\"=\"11\"\r\n" + rest;
    // Nothing but the captions comes before the failing read of the port.
    QTest::newRow("port missing") << "\"sys_nr\"=\"12\"\r\n\"sys_nr2\"=\"11\"\r\n" + rest;
}

void PagesAfterFirstShowTest::pagesMatchThoseBuiltAtOnce() {
    QFETCH(QByteArray, key);
    Site site;
    addReaders(site);
    site.writeKey(key);

    site.start();
    const PagesSeen atOnce = look(site);
    site.program.reset();
    site.messages.clear();

    site.program = createProgram(PagesBuilt::AfterFirstShow);
    TForm1& form = *site.program->Form1;
    form.show();
    QTRY_VERIFY(form.pagesAreBuilt());
    QCOMPARE(look(site), atOnce);
    QCOMPARE(site.settingsBytes(), "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SoftwareRegQ5]\r\n" + key + "\r\n");
}

void PagesAfterFirstShowTest::unlockBeforeTheFirstDrawingBuildsThePages() {
    Site site;
    site.writeKey("\"Port\"=dword:00000001\r\n\"sys_nr\"=\"7\"\r\n\"sys_nr2\"=\"6\"\r\n\"admin\"=\"adm\"\r\n"
                  "\"admin2\"=\"usr\"\r\n");
    site.program = createProgram(PagesBuilt::AfterFirstShow);
    TForm1& form = *site.program->Form1;
    form.findChild<QLineEdit*>(QStringLiteral("Edit5"))->setText(QStringLiteral("usr"));
    form.BitBtn1Click();
    QVERIFY(!form.isLocked());
    QVERIFY(form.pagesAreBuilt());
    // The secondary windows are there too: "O programie" opens About.
    QVERIFY(form.Form2() && form.Form3() && form.Form4());
    form.Oprogramie2Click();
    QVERIFY(form.Form2()->isVisible());

    // User mode reached the Readers page, and the old code is in its entry.
    QVERIFY(!form.findChild<QWidget*>(QStringLiteral("Button12"))->isEnabled());
    QCOMPARE(form.findChild<QLineEdit*>(QStringLiteral("Edit2"))->text(), QStringLiteral("6"));
    // The card buttons are connected: with the link down, "Programuj" says so.
    form.findChild<QPushButton*>(QStringLiteral("Button4"))->click();
    QCOMPARE(site.messages.size(), std::size_t(1));
    QCOMPARE(site.messages[0].text, QStringLiteral("Sprawdź połączenie "));

    // Showing the window later builds nothing a second time.
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCoreApplication::processEvents();
    QCOMPARE(form.findChildren<GroupsPage*>().size(), 1);
}

void PagesAfterFirstShowTest::workingLayoutTakesWhatCameBeforeIt() {
    Site site;
    site.program = createProgram(PagesBuilt::AfterFirstShow);
    TForm1& form = *site.program->Form1;
    // The locked window has none of the working layout's controls yet.
    QVERIFY(!form.Zakladka() && !form.Status() && !form.Memo1() && !form.COM11() && !form.settingsPage());
    QVERIFY(!form.findChild<QMenuBar*>());

    // What the programmer link shows meanwhile is kept for them.
    form.setStatusText(QStringLiteral("Disconnect..."));
    QCOMPARE(form.statusText(), QStringLiteral("Disconnect..."));

    form.show();
    QTRY_VERIFY(form.pagesAreBuilt());
    QVERIFY(form.Zakladka() && form.Status() && form.Memo1() && form.COM11() && form.settingsPage());
    QCOMPARE(form.statusText(), QStringLiteral("Disconnect..."));
    QCOMPARE(form.findChild<QLabel*>(QStringLiteral("StatusText"))->text(), QStringLiteral("Disconnect..."));
    // Built while locked, the working layout stays hidden and the window keeps its locked size.
    QVERIFY(form.isLocked());
    QCOMPARE(form.size(), QSize(399, 199));
    QVERIFY(!form.Zakladka()->isVisible() && !form.Status()->isVisible() && !form.menuBar()->isVisible());
    QVERIFY(form.findChild<QWidget*>(QStringLiteral("Edit5"))->isVisible());

    // Unlocked, it shows, and its menu and buttons are connected.
    form.findChild<QLineEdit*>(QStringLiteral("Edit5"))->setText(QString::fromLatin1(defaults::kAdminPassword));
    form.BitBtn1Click();
    QVERIFY(!form.isLocked());
    QVERIFY(form.Zakladka()->isVisible() && form.Status()->isVisible() && form.menuBar()->isVisible());
    form.findChild<QAction*>(QStringLiteral("Grupy1"))->trigger();
    QCOMPARE(form.Zakladka()->currentIndex(), 1);
    form.findChild<QAction*>(QStringLiteral("Oprogramie2"))->trigger();
    QVERIFY(form.Form2()->isVisible());
}

QTEST_MAIN(PagesAfterFirstShowTest)
#include "PagesAfterFirstShowTest.moc"
