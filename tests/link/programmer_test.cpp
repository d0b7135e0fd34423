// The programmer link and the card operations against real parts: the serial component on a
// pseudo-terminal with the simulated programmer on the other end, and real tables on disk.
#include "LinkRig.h"

#include "card/AccessBlocks.h"
#include "card/CardWrite.h"
#include "card/ConfigCard.h"
#include "programmer/CardWriter.h"

#include <QSignalSpy>
#include <QTest>

using namespace talvern;
using card::Bytes;
using talvern::testing::LinkRig;

namespace {

card::CardImage expectedCard(card::CardIdentity id, const card::AccessBlocks& blocks) {
    return card::cardImage(id, blocks);
}

card::AccessBlocks access(std::initializer_list<int> readers) {
    card::ReaderAccess bits;
    for (int r : readers) {
        bits.set(static_cast<std::size_t>(r - 1));
    }
    return card::accessBlocks(bits);
}

std::vector<Bytes> frameBytes(const progsim::PtySimulator& simulator) {
    std::vector<Bytes> out;
    for (const auto& f : simulator.frames()) {
        out.push_back(f.bytes);
    }
    return out;
}

QStringList texts(const std::vector<OperatorMessage>& messages) {
    QStringList out;
    for (const auto& m : messages) {
        out << m.text + QStringLiteral(" | ") + m.title;
    }
    return out;
}

} // namespace

class ProgrammerTest : public QObject {
    Q_OBJECT

private slots:
    void sendWhileDisconnectedOnlyTraces() {
        LinkRig rig;
        rig.link->SendFrame(card::connectFrame());
        QCOMPARE(rig.trace, QStringLiteral(" 5A 03 07 5E"));
        QVERIFY(!rig.simulator->waitForFrames(1, std::chrono::milliseconds(200)));
    }

    void connectAnimateDisconnect() {
        LinkRig rig;
        QVERIFY(rig.connect());
        QCOMPARE(frameBytes(*rig.simulator), std::vector<Bytes>{card::connectFrame()});
        QCOMPARE(rig.status, QStringLiteral("Connect: COM1 "));
        QVERIFY(rig.timer3.isActive());
        const auto& patterns = link::ProgrammerLink::animationPatterns();
        for (int round = 0; round < 2; ++round) {
            for (int step = 0; step < 5; ++step) {
                rig.link->Timer3Timer();
                QCOMPARE(rig.status, QStringLiteral("Connect: COM1 ") + patterns[std::size_t(step)]);
                QCOMPARE(patterns[std::size_t(step)].size(), 24);
            }
        }
        rig.link->DisconnectLink();
        QVERIFY(rig.simulator->waitForFrames(2, std::chrono::seconds(2)));
        QCOMPARE(rig.simulator->frames().back().bytes, card::disconnectFrame());
        QCOMPARE(rig.status, QStringLiteral("Disconnect..."));
        QVERIFY(!rig.timer3.isActive());
        QVERIFY(!rig.rs.Active());
        rig.link->Timer3Timer();
        QCOMPARE(rig.status, QStringLiteral("Disconnect..."));

        // Disconnecting again sends nothing.
        rig.link->DisconnectLink();
        QVERIFY(!rig.simulator->waitForFrames(3, std::chrono::milliseconds(200)));
    }

    void connectFailureLeavesTheLinkDown() {
        LinkRig rig;
        rig.link->SelectPort(3); // mapped to a device that does not exist
        bool raised = false;
        try {
            rig.link->ConnectLink();
        } catch (const std::exception& e) {
            raised = QString::fromUtf8(e.what()).startsWith(QStringLiteral("Device \"COM3\" Open Error !!!"));
        }
        QVERIFY(raised);
        QVERIFY(!rig.link->connected());
        QCOMPARE(rig.status, QStringLiteral("Disconnect..."));
        QVERIFY(!rig.trace.contains(QStringLiteral("5A 03 07 5E")));
    }

    void choosingAnotherPortDisconnectsFirst() {
        LinkRig rig;
        QVERIFY(rig.connect());
        rig.link->SelectPort(2);
        QVERIFY(rig.simulator->waitForFrames(2, std::chrono::seconds(2)));
        QCOMPARE(rig.simulator->frames().back().bytes, card::disconnectFrame());
        QVERIFY(!rig.link->connected());
        QVERIFY(!rig.rs.Active());
        QCOMPARE(rig.rs.ComPortNo(), 2);
        QCOMPARE(rig.portLabel, QStringLiteral("COM2 "));
        QCOMPARE(rig.savedPorts, std::vector<int>{2});
    }

    void programWritesTheUsersCard() {
        LinkRig rig;
        rig.addGroup("Other", {5});
        rig.addGroup("Staff", {1, 24});
        rig.addUser({300, "Nowak", "Staff", 2});
        rig.addUser({301, "Kowal", "Other", 0});
        rig.users.first();
        QCOMPARE(rig.groups.fieldByName("NAME").asString(), std::string("Staff"));
        QVERIFY(rig.connect());
        rig.timer1.start();
        rig.Button4->click();
        QVERIFY(rig.messages.empty());
        QVERIFY(rig.simulator->waitForFrames(7, std::chrono::seconds(2)));
        QCOMPARE(rig.simulator->card(), expectedCard({300, 70000, 2}, access({1, 24})));
        QCOMPARE(rig.gauges, (std::vector<int>{10, 20, 30, 40, 50, 100, 0}));
        QCOMPARE(rig.pauses, (std::vector<int>{150, 150, 200, 200, 200, 200}));
        QVERIFY(!rig.transferShown);
        QVERIFY(!rig.timer1.isActive());
        QCOMPARE(rig.trace.size(), 6 * 14 * 3);                     // the link trace holds exactly the six frames
        QCOMPARE(rig.users.fieldByName("NUMBER").asInteger(), 301); // on to the next user
    }

    void programCases_data() {
        QTest::addColumn<QString>("group");
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("duplicate");
        QTest::addColumn<int>("cardIndex"); // -1: no card written
        QTest::addColumn<bool>("noAccess");
        QTest::addColumn<int>("storedIndex");
        QTest::addColumn<QString>("storedInfo");
        QTest::addColumn<QString>("message");
        QTest::newRow("duplicate") << "Staff" << 3 << true << 4 << false << 4 << ""
                                   << "";
        QTest::newRow("duplicate at 15") << "Staff" << 15 << true << 15 << false << 15 << ""
                                         << "Index 16!  | Przekroczenie zakresu";
        QTest::newRow("no duplicate") << "Staff" << 3 << false << 3 << false << 3 << "note"
                                      << "";
        QTest::newRow("lack of assignment") << "Lack of assignment!" << 0 << false << 0 << true << 0 << "note"
                                            << "";
        QTest::newRow("group that does not exist") << "Gone" << 0 << false << 0 << true << 0 << "note"
                                                   << "";
        QTest::newRow("index that does not fit") << "Staff" << 16 << true << -1 << false << 16 << "note"
                                                 << "Licznik duplikatów 16";
    }

    void programCases() {
        QFETCH(QString, group);
        QFETCH(int, index);
        QFETCH(bool, duplicate);
        QFETCH(int, cardIndex);
        QFETCH(bool, noAccess);
        QFETCH(int, storedIndex);
        QFETCH(QString, storedInfo);
        QFETCH(QString, message);
        LinkRig rig;
        rig.addGroup("Staff", {1, 24});
        rig.addUser({42, "Nowak", group.toStdString(), index, "note"});
        rig.addUser({43, "Kowal", "Staff", 0});
        rig.users.first();
        rig.CBox2->setChecked(duplicate);
        QVERIFY(rig.connect());
        rig.Button4->click();
        if (message.isEmpty()) {
            QVERIFY(rig.messages.empty());
        } else {
            QCOMPARE(rig.messages.size(), 1u);
            QVERIFY2(texts(rig.messages).front().startsWith(message), qPrintable(texts(rig.messages).front()));
        }
        if (cardIndex < 0) {
            QVERIFY(!rig.simulator->waitForFrames(2, std::chrono::milliseconds(300)));
            QCOMPARE(rig.simulator->card(), card::CardImage{});
            QCOMPARE(rig.users.fieldByName("NUMBER").asInteger(), 42); // the cursor stays
        } else {
            QVERIFY(rig.simulator->waitForFrames(7, std::chrono::seconds(2)));
            QCOMPARE(rig.simulator->card(), expectedCard({42, 70000, std::uint32_t(cardIndex)},
                                                         noAccess ? card::noAccessBlocks() : access({1, 24})));
            QCOMPARE(rig.users.fieldByName("NUMBER").asInteger(), 43);
        }
        QVERIFY(rig.users.locate("NUMBER", "42", false));
        QCOMPARE(rig.users.fieldByName("INDEX").asInteger(), storedIndex);
        QCOMPARE(QString::fromStdString(rig.users.fieldByName("INFO").asString()), storedInfo);
        QVERIFY(rig.CBox2->isChecked() == duplicate); // the option keeps its state
    }

    void userNumberThatDoesNotFitIsRefused() {
        LinkRig rig;
        rig.addUser({70000, "Nowak", "", 0});
        QVERIFY(rig.connect());
        rig.Button4->click();
        rig.Button3->click();
        QCOMPARE(rig.messages.size(), 2u);
        for (const auto& m : rig.messages) {
            QVERIFY(m.text.startsWith(QStringLiteral("Numer użytkownika 70000 nie mieści się na karcie")));
            QCOMPARE(m.title, QStringLiteral("Przekroczenie zakresu"));
        }
        QVERIFY(!rig.simulator->waitForFrames(2, std::chrono::milliseconds(300)));
        QCOMPARE(rig.simulator->card(), card::CardImage{});
    }

    void guardsWhenNotConnected() {
        LinkRig rig;
        rig.addUser({1, "Nowak", "", 0});
        rig.addReader({1, 5});
        rig.Button4->click();
        rig.Button2->click();
        rig.Button12->click();
        rig.Button3->click();
        QCOMPARE(texts(rig.messages), (QStringList{QStringLiteral("Sprawdź połączenie  | Brak połączenia"),
                                                   QStringLiteral("Sprawdź połączenie  | Brak połączenia"),
                                                   QStringLiteral("Sprawdź połączenie  | Brak połączenia"),
                                                   QStringLiteral("Błąd komunikacji | Brak łączności ")}));
        QVERIFY(rig.trace.isEmpty());
        QVERIFY(!rig.transferShown);
    }

    void deleteWithdrawalWritesTheNoAccessCard() {
        LinkRig rig;
        rig.addGroup("Staff", {1, 24});
        rig.addUser({7, "Nowak", "Staff", 3, "note"});
        rig.addUser({8, "Kowal", "Staff", 0});
        rig.users.first();
        rig.CBox2->setChecked(true); // not read by this operation
        QVERIFY(rig.connect());
        rig.Button3->click();
        QVERIFY(rig.simulator->waitForFrames(7, std::chrono::seconds(2)));
        QCOMPARE(rig.simulator->card(), expectedCard({7, 70000, 3}, card::noAccessBlocks()));
        QCOMPARE(rig.users.fieldByName("NUMBER").asInteger(), 7); // the cursor does not move
        QCOMPARE(rig.users.fieldByName("INDEX").asInteger(), 3);
        QCOMPARE(rig.users.fieldByName("INFO").asString(), std::string("note"));
    }

    void deleteWithdrawalForUserZeroWritesNothing() {
        LinkRig rig;
        rig.addUser({0, "Nobody", "", 0});
        QVERIFY(rig.connect());
        rig.Button3->click();
        rig.Button4->click();
        QVERIFY(rig.messages.empty());
        QVERIFY(!rig.simulator->waitForFrames(2, std::chrono::milliseconds(300)));
        QVERIFY(rig.gauges.empty());
    }

    void readCases_data() {
        QTest::addColumn<int>("placed"); // 0 blank, 1 user 42 dup 2, 2 other system, 3 configuration, 4 unknown user,
                                         // 5 no card
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("cardInfo"); // empty: the window is not shown
        QTest::newRow("user") << 1 << ""
                              << "2";
        QTest::newRow("other system") << 2 << "Brak karty lub karta pochodzi z innego systemu. | Wynik wyszukiwania"
                                      << "";
        QTest::newRow("configuration") << 3 << "Karta konfiguracyjna. | Wynik wyszukiwania"
                                       << "";
        QTest::newRow("unknown user") << 4 << ""
                                      << "";
        QTest::newRow("blank card") << 0 << ""
                                    << "";
        QTest::newRow("no card") << 5 << ""
                                 << "";
    }

    void readCases() {
        QFETCH(int, placed);
        QFETCH(QString, message);
        QFETCH(QString, cardInfo);
        LinkRig rig;
        rig.addUser({41, "Kowal", "", 0});
        rig.addUser({42, "Nowak", "", 5});
        rig.addUser({43, "Lis", "", 0});
        rig.users.first();
        const card::CardIdentity cards[] = {{}, {42, 70000, 2}, {42, 4464, 2}, {0, 70000, 0}, {99, 70000, 0}};
        if (placed == 0) {
            rig.simulator->placeBlankCard();
        } else if (placed == 5) {
            rig.simulator->removeCard();
        } else {
            rig.simulator->placeCard(card::cardImage(cards[placed], card::noAccessBlocks()));
        }
        QVERIFY(rig.connect());
        rig.Button2->click();
        QVERIFY(rig.transferShown);
        QCOMPARE(rig.pauses, std::vector<int>{250});
        QVERIFY(rig.timer1.isActive());
        QTRY_VERIFY_WITH_TIMEOUT(!rig.timer1.isActive(), 3000);
        QCOMPARE(rig.link->receiveBuffer().size(), 0u);
        QCOMPARE(rig.gauges, (std::vector<int>{10, 20, 30, 100, 0})); // each tick adds 10
        QVERIFY(!rig.transferShown);
        QCOMPARE(texts(rig.messages), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(rig.cardInfoShown, cardInfo.isEmpty() ? 0 : 1);
        QCOMPARE(rig.cardInfo, cardInfo);
        QCOMPARE(rig.users.fieldByName("NUMBER").asInteger(), cardInfo.isEmpty() ? 41 : 42);
        // Both read commands reached the programmer.
        const auto frames = frameBytes(*rig.simulator);
        QCOMPARE(frames, (std::vector<Bytes>{card::connectFrame(), card::readCardFrame(), card::readCardFrame()}));
    }

    void saveToCard_data() {
        QTest::addColumn<int>("option"); // 1 existing, 2 change code, 3 new
        QTest::addColumn<QString>("oldCode");
        QTest::addColumn<int>("cardCode"); // -1: nothing written
        QTest::addColumn<QString>("message");
        QTest::newRow("existing reader") << 1 << "" << 70000 << "";
        QTest::newRow("new reader") << 3 << "" << 1 << "";
        QTest::newRow("change system code") << 2 << "4464" << 4464 << "";
        QTest::newRow("old code empty") << 2 << "" << -1 << "Nieprawidłowe hasło systemowe. | Error";
        QTest::newRow("old code not a number") << 2 << "12a" << -1 << "'12a' is not a valid integer value | TALVERN";
        QTest::newRow("old code does not fit") << 2 << "2000000" << -1 << "Nieprawidłowe hasło systemowe. | Error";
    }

    void saveToCard() {
        QFETCH(int, option);
        QFETCH(QString, oldCode);
        QFETCH(int, cardCode);
        QFETCH(QString, message);
        LinkRig rig;
        rig.addReader({25, 5, true, false});
        QVERIFY(rig.connect());
        (option == 1 ? rig.RadioButton1 : option == 2 ? rig.RadioButton2 : rig.RadioButton3)->click();
        QCOMPARE(rig.Edit2->isVisibleTo(&rig.readersPage), option == 2);
        QCOMPARE(rig.Label17->isVisibleTo(&rig.readersPage), option == 2);
        rig.Edit2->setText(oldCode);
        rig.CheckBox1->setChecked(true);
        rig.Button12->click();
        QCOMPARE(texts(rig.messages), message.isEmpty() ? QStringList() : QStringList{message});
        if (cardCode < 0) {
            QVERIFY(!rig.simulator->waitForFrames(2, std::chrono::milliseconds(300)));
            QCOMPARE(rig.simulator->card(), card::CardImage{});
            return;
        }
        QVERIFY(rig.simulator->waitForFrames(7, std::chrono::seconds(2)));
        QCOMPARE(rig.simulator->card(), expectedCard({0, std::uint32_t(cardCode), 0},
                                                     card::configurationBlocks(70000, 25, 5, {true, false, true})));
    }

    void oldCodeEntryFollowsTheOptions() {
        LinkRig rig;
        rig.Edit2->setText(QStringLiteral("123"));
        rig.RadioButton2->click();
        QVERIFY(rig.Edit2->isVisibleTo(&rig.readersPage));
        rig.RadioButton3->click();
        QVERIFY(!rig.Edit2->isVisibleTo(&rig.readersPage));
        QVERIFY(!rig.Label17->isVisibleTo(&rig.readersPage));
        rig.RadioButton2->click();
        rig.RadioButton1->click();
        QVERIFY(!rig.Edit2->isVisibleTo(&rig.readersPage));
        QCOMPARE(rig.Edit2->text(), QStringLiteral("123")); // the box keeps its text
    }

    void saveToCardRefusesReadersThatDoNotFit_data() {
        QTest::addColumn<int>("reader"); // 0: no reader at all
        QTest::addColumn<int>("time");
        QTest::addColumn<QString>("message");
        QTest::newRow("no reader") << 0 << 5 << "Brak wybranego czytnika.";
        QTest::newRow("reader 97") << 97 << 5 << "Numer czytnika 97 jest spoza zakresu 1..96.";
        QTest::newRow("relay time 300") << 5 << 300 << "Czas otwarcia 300 s nie mieści się na karcie";
    }

    void saveToCardRefusesReadersThatDoNotFit() {
        QFETCH(int, reader);
        QFETCH(int, time);
        QFETCH(QString, message);
        LinkRig rig;
        if (reader != 0) {
            rig.addReader({reader, time});
        }
        QVERIFY(rig.connect());
        rig.Button12->click();
        QCOMPARE(rig.messages.size(), 1u);
        QVERIFY2(rig.messages.front().text.startsWith(message), qPrintable(rig.messages.front().text));
        QCOMPARE(rig.messages.front().title, QStringLiteral("Error"));
        QVERIFY(!rig.simulator->waitForFrames(2, std::chrono::milliseconds(300)));
        QVERIFY(rig.gauges.empty());
    }

    void linkLostDuringAWriteIsReported() {
        LinkRig rig;
        rig.addUser({42, "Nowak", "", 0});
        rig.addUser({43, "Kowal", "", 0});
        rig.users.first();
        rig.CBox2->setChecked(true);
        QVERIFY(rig.connect());
        // The cable is pulled during the third pause; the component notices on its watcher thread.
        rig.onPause = [&](std::size_t count) {
            if (count == 3) {
                rig.simulator->hangUp();
                for (int i = 0; i < 200 && rig.link->connected(); ++i) {
                    QThread::msleep(10);
                }
            }
        };
        rig.Button4->click();
        QCOMPARE(texts(rig.messages), QStringList{link::incompleteWriteText() + " | " + link::incompleteWriteTitle()});
        QVERIFY(!rig.link->connected());
        QVERIFY(!rig.transferShown);
        QCOMPARE(rig.gauges.back(), 0);
        QVERIFY(rig.pauses.size() <= 4u);
        // The duplicate is not counted and the user stays current, ready for another try.
        QCOMPARE(rig.users.fieldByName("NUMBER").asInteger(), 42);
        QCOMPARE(rig.users.fieldByName("INDEX").asInteger(), 0);
    }

    void writeFailureIsReported() {
        LinkRig rig;
        rig.addUser({42, "Nowak", "", 0});
        QVERIFY(rig.connect());
        // The line goes during the first pause, and the next frame is sent at once: whether the write
        // fails, or the port's watcher has closed the port first, the write is known to be incomplete.
        rig.onPause = [&](std::size_t count) {
            if (count == 1) {
                rig.simulator->hangUp();
            }
        };
        rig.Button3->click();
        QCOMPARE(texts(rig.messages), QStringList{link::incompleteWriteText() + " | " + link::incompleteWriteTitle()});
        QVERIFY(rig.pauses.size() <= 2u);
    }
};

QTEST_MAIN(ProgrammerTest)
#include "programmer_test.moc"
