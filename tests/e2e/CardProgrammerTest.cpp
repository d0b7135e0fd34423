// The whole program with a programmer on the line: the real main window offscreen, the real serial
// component on a pseudo-terminal, and the simulated programmer on the other end.
#include "E2eSite.h"

#include "Gauge.h"
#include "TForm3.h"
#include "TForm4.h"
#include "card/AccessBlocks.h"
#include "card/CardWrite.h"
#include "card/ConfigCard.h"
#include "programmer/CardWriter.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QProgressBar>
#include <QRadioButton>

#include <thread>

using namespace talvern;
using card::Bytes;
using talvern::e2e::Site;

namespace {

card::AccessBlocks access(std::initializer_list<int> readers) {
    card::ReaderAccess bits;
    for (int r : readers) {
        bits.set(static_cast<std::size_t>(r - 1));
    }
    return card::accessBlocks(bits);
}

QStringList texts(const std::vector<OperatorMessage>& messages) {
    QStringList out;
    for (const auto& m : messages) {
        out << m.text + QStringLiteral(" | ") + m.title;
    }
    return out;
}

// The simulator timestamps a frame when its thread has read it, and a late wake-up can make a frame
// look later than it was sent. So each block is timed from the first block, not from the one before:
// a late look at block 3 would shorten the gap from block 3 to block 4, but never the time from
// block 1 to block 4. Only a late look at block 1 shortens them all; on a loaded two-core machine
// (sanitizer builds, tests in parallel) one was seen 11 ms late, so the margin is 25 ms: still half
// the step between the 150 and 200 ms pauses, so a pause cut short or left out is caught.
constexpr auto kArrivalJitter = std::chrono::milliseconds(25);

} // namespace

class CardProgrammerTest : public QObject {
    Q_OBJECT

private slots:
    // Beside the connect text the status bar names what COM1 stands for (a pseudo-terminal has no
    // description: its path); the text itself and its animation are as they were.
    void connectShowsThePortsDevice() {
        Site site;
        TForm1& form = site.start();
        QVERIFY(site.connect());
        QCOMPARE(form.statusText(), QStringLiteral("Connect: COM1 "));
        auto* device = form.Status()->findChild<QLabel*>(QStringLiteral("PortDevice"));
        QVERIFY(device != nullptr);
        QVERIFY(device->isVisibleTo(&form));
        QCOMPARE(device->text(), QString::fromStdString(site.simulator->devicePath()));
        QCOMPARE(device->accessibleName(), QStringLiteral("Urządzenie portu"));
        site.trigger("Rozcz1");
        QVERIFY(!device->isVisibleTo(&form));
        QCOMPARE(device->text(), QString());
    }

    void programsAUserCardPacedByItsPauses() {
        Site site;
        site.addGroups({{"Other", {5}}, {"Staff", {1, 24, 96}}});
        site.addUsers({{300, "Nowak", "Staff", 2}, {301, "Kowal", "Other"}});
        TForm1& form = site.start();
        QVERIFY(site.connect());
        QCOMPARE(form.statusText(), QStringLiteral("Connect: COM1 "));
        form.Table1().first();
        site.click("Button4");
        QVERIFY(site.messages.empty());
        QVERIFY(site.simulator->waitForFrames(7, std::chrono::seconds(3)));
        QCOMPARE(site.simulator->card(), card::cardImage({300, 70000, 2}, access({1, 24, 96})));
        QCOMPARE(form.Table1().fieldByName("NUMBER").asInteger(), 301);
        QVERIFY(!form.Form3()->isVisible());
        QCOMPARE(form.Form3()->bar2()->value(), 0);

        const auto frames = site.simulator->frames();
        std::chrono::milliseconds paused{0};
        for (std::size_t b = 1; b < 6; ++b) {
            paused += card::kBlockPauses[b - 1];
            const auto since = frames[b + 1].at - frames[1].at;
            QVERIFY2(since + kArrivalJitter >= paused,
                     qPrintable(QStringLiteral("block %1 came %2 ms after block 1, with %3 ms of pauses between")
                                    .arg(b + 1)
                                    .arg(std::chrono::duration_cast<std::chrono::milliseconds>(since).count())
                                    .arg(paused.count())));
        }
        // The link trace holds the six frames of the write, and nothing else.
        QString expectedTrace;
        for (std::size_t b = 1; b <= 6; ++b) {
            expectedTrace += QString::fromLatin1(card::traceText(frames[b].bytes));
        }
        QCOMPARE(form.Memo1()->toPlainText(), expectedTrace);
    }

    void newcomerAddsAUserProgramsAndReadsTheCard() {
        Site site; // a new site: empty tables
        TForm1& form = site.start();
        QVERIFY(site.connect());
        site.click("SpeedButton4"); // "Edytuj"
        site.click("Button9");      // "Dodaj"
        auto* surname = site.control<QLineEdit>("DBEdit8");
        QVERIFY(surname != nullptr);
        QTest::keyClicks(surname, QStringLiteral("Nowak"));
        site.click("Button4");
        QVERIFY(site.simulator->waitForFrames(7, std::chrono::seconds(3)));
        QCOMPARE(site.simulator->card(), card::cardImage({1, 70000, 0}, card::noAccessBlocks()));
        site.click("Button2");
        QTRY_VERIFY_WITH_TIMEOUT(form.Form4()->isVisible(), 5000);
        QCOMPARE(form.Table1().fieldByName("NUMBER").asInteger(), 1);
        QCOMPARE(form.Table1().fieldByName("SURNAME").asString(), std::string("Nowak"));
        QVERIFY(site.messages.empty());
    }

    void duplicateRaisesIndexAndEmptiesInfo() {
        Site site;
        site.addGroups({{"Staff", {1}}});
        site.addUsers({{42, "Nowak", "Staff", 3, "lost the first card"}, {43, "Kowal", "Staff"}});
        TForm1& form = site.start();
        QVERIFY(site.connect());
        form.Table1().first();
        site.control<QCheckBox>("CBox2")->setChecked(true);
        site.click("Button4");
        QVERIFY(site.simulator->waitForFrames(7, std::chrono::seconds(3)));
        QCOMPARE(site.simulator->card(), card::cardImage({42, 70000, 4}, access({1})));
        QVERIFY(form.Table1().locate("NUMBER", "42", false));
        QCOMPARE(form.Table1().fieldByName("INDEX").asInteger(), 4);
        QCOMPARE(form.Table1().fieldByName("INFO").asString(), std::string());
    }

    void userWithoutGroupGetsTheNoAccessCard() {
        Site site;
        site.addGroups({{"Staff", {1, 2, 3}}});
        site.addUsers({{42, "Nowak", "Lack of assignment!"}});
        TForm1& form = site.start();
        QVERIFY(site.connect());
        form.Table3().first(); // the groups cursor stands on a group with rights
        site.click("Button4");
        QVERIFY(site.simulator->waitForFrames(7, std::chrono::seconds(3)));
        QCOMPARE(site.simulator->card(), card::cardImage({42, 70000, 0}, card::noAccessBlocks()));
    }

    void readsTheCardBack() {
        Site site;
        site.addGroups({{"Staff", {1}}});
        site.addUsers({{41, "Kowal", "Staff"}, {42, "Nowak", "Staff", 2}, {43, "Lis", "Staff"}});
        TForm1& form = site.start();
        QVERIFY(site.connect());
        QVERIFY(form.Table1().locate("NUMBER", "42", false));
        site.click("Button4"); // card of user 42, duplicate 2; the cursor moves on to 43
        QCOMPARE(form.Table1().fieldByName("NUMBER").asInteger(), 43);
        site.click("Button2");
        QTRY_VERIFY_WITH_TIMEOUT(form.Form4()->isVisible(), 5000);
        QCOMPARE(form.Table1().fieldByName("NUMBER").asInteger(), 42);
        QCOMPARE(form.Form4()->Label1()->text(), QStringLiteral("2"));
        QTRY_VERIFY(!form.Form3()->isVisible());
        QVERIFY(site.messages.empty());
    }

    void configurationCards_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<int>("cardCode");
        QTest::newRow("new reader") << "RadioButton3" << 1; // the readers' factory code
        QTest::newRow("existing reader") << "RadioButton1" << 70000;
        QTest::newRow("change system code") << "RadioButton2" << 4464; // the old code from the settings
    }

    void configurationCards() {
        QFETCH(QString, option);
        QFETCH(int, cardCode);
        Site site;
        site.addReaders({{9, 7, false, true}});
        TForm1& form = site.start();
        QVERIFY(site.connect());
        site.control<QRadioButton>(qPrintable(option))->click();
        site.control<QCheckBox>("CheckBox1")->setChecked(true);
        site.click("Button12");
        QVERIFY(site.messages.empty());
        QVERIFY(site.simulator->waitForFrames(7, std::chrono::seconds(3)));
        QCOMPARE(site.simulator->card(), card::cardImage({0, std::uint32_t(cardCode), 0},
                                                         card::configurationBlocks(70000, 9, 7, {false, true, true})));
        // Read back with this system's code: a configuration card, when it carries this system's code.
        site.click("Button2");
        if (cardCode == 70000) {
            QTRY_COMPARE_WITH_TIMEOUT(texts(site.messages), QStringList{"Karta konfiguracyjna. | Wynik wyszukiwania"},
                                      5000);
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(
                texts(site.messages),
                QStringList{"Brak karty lub karta pochodzi z innego systemu. | Wynik wyszukiwania"}, 5000);
        }
        Q_UNUSED(form);
    }

    void choosingCom2WhileConnectedDisconnectsFirst() {
        Site site;
        TForm1& form = site.start();
        QVERIFY(site.connect());
        site.trigger("COM22");
        QVERIFY(site.simulator->waitForFrames(2, std::chrono::seconds(3)));
        QCOMPARE(site.simulator->frames()[1].bytes, card::disconnectFrame());
        QVERIFY(!form.rs().Active());
        QCOMPARE(form.portNumber(), 2);
        QCOMPARE(form.portLabel(), QStringLiteral("COM2 "));
        QTRY_COMPARE(form.statusText(), QStringLiteral("Disconnect..."));
        // Stored as "Port".
        QFile settings(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/talvern/settings.reg"));
        QVERIFY(settings.open(QIODevice::ReadOnly));
        QVERIFY(settings.readAll().contains("\"Port\"=dword:00000002"));
    }

    void linkLostDuringACardWrite() {
        Site site;
        site.addUsers({{42, "Nowak", ""}, {43, "Kowal", ""}});
        TForm1& form = site.start();
        QVERIFY(site.connect());
        form.Table1().first();
        // The programmer goes away after the third block; the write is under way on the main thread.
        std::thread pull([&] {
            site.simulator->waitForFrames(4, std::chrono::seconds(5));
            site.simulator->hangUp();
        });
        site.click("Button4");
        pull.join();
        QCOMPARE(texts(site.messages),
                 QStringList{link::incompleteWriteText() + QStringLiteral(" | ") + link::incompleteWriteTitle()});
        QVERIFY(!form.Form3()->isVisible());
        QCOMPARE(form.Table1().fieldByName("NUMBER").asInteger(), 42);
        QTRY_COMPARE(form.statusText(), QStringLiteral("Disconnect..."));
        // The program goes on: the next card operation meets the guard.
        site.messages.clear();
        site.click("Button4");
        QCOMPARE(texts(site.messages), QStringList{"Sprawdź połączenie  | Brak połączenia"});
    }
};

QTEST_MAIN(CardProgrammerTest)
#include "CardProgrammerTest.moc"
