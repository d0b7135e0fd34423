// Cards read back after they are written, and the card journal, on the real main window offscreen
// with the real serial component on a pseudo-terminal and the simulated programmer.
#include "E2eSite.h"

#include "CardAccessHex.h"
#include "CardJournal.h"
#include "SiteJournal.h"
#include "TForm4.h"
#include "card/AccessBlocks.h"
#include "card/CardWrite.h"
#include "card/ConfigCard.h"
#include "programmer/CardWriter.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>

#include <thread>

using namespace talvern;
using talvern::e2e::Site;
using journal::CardJournalRow;
namespace Kind = journal::JournalKind;
namespace Result = journal::JournalResult;

namespace {

card::AccessBlocks access(std::initializer_list<int> readers) {
    card::ReaderAccess bits;
    for (int r : readers) {
        bits.set(static_cast<std::size_t>(r - 1));
    }
    return card::accessBlocks(bits);
}

QStringList titles(const std::vector<OperatorMessage>& messages) {
    QStringList out;
    for (const auto& m : messages) {
        out << m.title;
    }
    return out;
}

// A journal row as a card of a user is expected to leave it (the time is checked apart).
CardJournalRow userRow(const char* kind, int number, int index, const std::string& surname, const std::string& group,
                       std::vector<int> readers, const char* result, const char* mode = journal::JournalMode::kAdministrator) {
    CardJournalRow row;
    row.kind = kind;
    row.number = number;
    row.index = index;
    row.sysCode = 70000;
    row.surname = surname;
    row.group = group;
    row.access = journal::CardAccessHex::fromReaders(readers);
    row.result = result;
    row.mode = mode;
    return row;
}

// The journal's rows with their times checked for shape and then left out of the comparison.
std::vector<CardJournalRow> journalRows(TForm1& form) {
    std::vector<CardJournalRow> rows;
    auto& j = form.cardJournal();
    for (std::uint32_t i = 0; i < j.rowCount(); ++i) {
        CardJournalRow row = j.row(i);
        if (row.written.size() != 19 || row.written[4] != '-' || row.written[13] != ':') {
            row.written = "bad time: " + row.written;
        } else {
            row.written.clear();
        }
        rows.push_back(row);
    }
    return rows;
}

} // namespace

class VerifiedWriteTest : public QObject {
    Q_OBJECT

private slots:
    void goodCardIsVerifiedAndRecorded() {
        Site site(70000, true);
        site.addGroups({{"Staff", {1, 24, 96}}});
        site.addUsers({{300, "Nowak", "Staff", 2}, {301, "Kowal", "Staff"}});
        TForm1& form = site.start();
        QVERIFY(site.connect());
        QVERIFY(!form.cardJournal().exists()); // a site starts without one
        form.Table1().first();
        site.click("Button4");
        QVERIFY(site.messages.empty());
        QCOMPARE(site.simulator->card(), card::cardImage({300, 70000, 2}, access({1, 24, 96})));
        QCOMPARE(form.Table1().fieldByName("NUMBER").asInteger(), 301);
        // The read-card command follows the six blocks.
        const auto frames = site.simulator->frames();
        QCOMPARE(frames.size(), std::size_t(8));
        QCOMPARE(frames.back().bytes, card::readCardFrame());
        const std::vector<CardJournalRow> expected{
            userRow(Kind::kUserCard, 300, 2, "Nowak", "Staff", {1, 24, 96}, Result::kVerified)};
        QCOMPARE(journalRows(form), expected);
    }

    void droppedBlockIsWrittenAgainAndThenCounts() {
        Site site(70000, true);
        site.addGroups({{"Staff", {5}}});
        site.addUsers({{42, "Nowak", "Staff", 3}, {43, "Kowal", "Staff"}});
        TForm1& form = site.start();
        QVERIFY(site.connect());
        form.Table1().first();
        site.simulator->dropNextWriteOf(2);
        int asked = 0;
        OperatorMessages::setAnswerer([&](const OperatorMessage& m) {
            ++asked;
            // The operator is told before the journal row could be missing: it is on the disk already.
            return m.text.contains(QStringLiteral("płasko")) && form.cardJournal().rowCount() == 1;
        });
        site.control<QCheckBox>("CBox2")->setChecked(true);
        site.click("Button4");
        QCOMPARE(asked, 1);
        QCOMPARE(titles(site.messages), QStringList{link::notVerifiedTitle()});
        QCOMPARE(site.simulator->card(), card::cardImage({42, 70000, 4}, access({5})));
        QVERIFY(form.Table1().locate("NUMBER", "42", false));
        QCOMPARE(form.Table1().fieldByName("INDEX").asInteger(), 4);
        const std::vector<CardJournalRow> expected{
            userRow(Kind::kDuplicate, 42, 4, "Nowak", "Staff", {5}, Result::kNotVerified),
            userRow(Kind::kDuplicate, 42, 4, "Nowak", "Staff", {5}, Result::kVerified)};
        QCOMPARE(journalRows(form), expected);
    }

    void noCardIsNeverCounted() {
        QFETCH(bool, tryAgain);
        Site site(70000, true);
        site.addGroups({{"Staff", {5}}});
        site.addUsers({{42, "Nowak", "Staff", 3}, {43, "Kowal", "Staff"}});
        TForm1& form = site.start();
        QVERIFY(site.connect());
        form.Table1().first();
        site.simulator->removeCard();
        OperatorMessages::setAnswerer([&](const OperatorMessage&) { return tryAgain; });
        site.control<QCheckBox>("CBox2")->setChecked(true);
        site.click("Button4");
        // Asked after every failed attempt but the last; told at the end when every attempt failed.
        const int attempts = tryAgain ? link::CardWriter::kMaxAttempts : 1;
        QStringList expectedTitles;
        for (int a = 0; a < attempts; ++a) {
            expectedTitles << link::notVerifiedTitle();
        }
        QCOMPARE(titles(site.messages), expectedTitles);
        if (tryAgain) {
            QCOMPARE(site.messages.back().text, link::notVerifiedText());
        }
        // No raised INDEX, no move to the next user.
        QCOMPARE(form.Table1().fieldByName("NUMBER").asInteger(), 42);
        QCOMPARE(form.Table1().fieldByName("INDEX").asInteger(), 3);
        std::vector<CardJournalRow> expected(
            static_cast<std::size_t>(attempts), userRow(Kind::kDuplicate, 42, 4, "Nowak", "Staff", {5}, Result::kNotVerified));
        QCOMPARE(journalRows(form), expected);
    }
    void noCardIsNeverCounted_data() {
        QTest::addColumn<bool>("tryAgain");
        QTest::newRow("operator cancels") << false;
        QTest::newRow("operator tries until the last attempt") << true;
    }

    // Verification off: the write as it always was, the card journal still kept.
    void verificationOffWritesAsAlways() {
        Site site; // the settings turn it off
        site.addGroups({{"Staff", {1}}});
        site.addUsers({{300, "Nowak", "Staff"}, {301, "Kowal", "Staff"}});
        TForm1& form = site.start();
        QVERIFY(!site.control<QCheckBox>("CheckBoxVerify")->isChecked());
        QVERIFY(site.connect());
        form.Table1().first();
        site.simulator->removeCard(); // unseen without the read-back: the card counts as written
        site.click("Button4");
        QVERIFY(site.messages.empty());
        QCOMPARE(site.simulator->frames().size(), std::size_t(7));
        QCOMPARE(form.Table1().fieldByName("NUMBER").asInteger(), 301);
        const std::vector<CardJournalRow> expected{
            userRow(Kind::kUserCard, 300, 0, "Nowak", "Staff", {1}, Result::kUnverified)};
        QCOMPARE(journalRows(form), expected);
    }

    // A write cut short by a pulled cable is recorded as such, before the operator is told.
    void cutShortWriteIsRecorded() {
        Site site(70000, true);
        site.addGroups({{"Staff", {2}}});
        site.addUsers({{42, "Nowak", "Staff", 1}, {43, "Kowal", "Staff"}});
        TForm1& form = site.start();
        QVERIFY(site.connect());
        form.Table1().first();
        std::thread pull([&] {
            site.simulator->waitForFrames(4, std::chrono::seconds(5));
            site.simulator->hangUp();
        });
        std::uint32_t rowsWhenTold = 0;
        OperatorMessages::setRecorder([&](const OperatorMessage& m) {
            site.messages.push_back(m);
            rowsWhenTold = form.cardJournal().rowCount();
        });
        site.click("Button4");
        pull.join();
        QCOMPARE(titles(site.messages), QStringList{link::incompleteWriteTitle()});
        QCOMPARE(rowsWhenTold, 1u);
        QCOMPARE(form.Table1().fieldByName("NUMBER").asInteger(), 42);
        const std::vector<CardJournalRow> expected{
            userRow(Kind::kUserCard, 42, 1, "Nowak", "Staff", {2}, Result::kCutShort)};
        QCOMPARE(journalRows(form), expected);
    }

    void settingsCheckBoxTurnsVerificationOn() {
        Site site;
        site.addUsers({{300, "Nowak", "Lack of assignment!"}});
        TForm1& form = site.start();
        QVERIFY(site.connect());
        site.click("CheckBoxVerify");
        QVERIFY(form.verifiesCardWrites());
        form.Table1().first();
        site.click("Button4");
        QCOMPARE(site.simulator->frames().size(), std::size_t(8));
        QCOMPARE(journalRows(form).back().result, std::string(Result::kVerified));
        // User mode cannot change it.
        Site user;
        TForm1& userForm = user.start(QStringLiteral("5"));
        QVERIFY(!user.control<QCheckBox>("CheckBoxVerify")->isEnabled());
        QVERIFY(userForm.isUserMode());
    }

    // Every kind of card leaves its row, with the operator mode.
    void everyKindIsRecorded() {
        Site site(70000, true);
        site.addGroups({{"Staff", {9, 10}}});
        site.addUsers({{7, "Nowak", "Lack of assignment!", 1}, {8, "Kowal", "Staff", 2}});
        site.addReaders({{9, 5, true, false}});
        TForm1& form = site.start(QStringLiteral("5")); // user mode
        QVERIFY(site.connect());
        form.Table1().first();
        site.click("Button4"); // no-access card for user 7
        site.click("Button3"); // withdrawal of user 8, now current
        const char* user = journal::JournalMode::kUser;
        std::vector<CardJournalRow> expected{
            userRow(Kind::kNoAccess, 7, 1, "Nowak", "Lack of assignment!", {}, Result::kVerified, user),
            userRow(Kind::kWithdrawal, 8, 2, "Kowal", "Staff", {}, Result::kVerified, user)};
        QCOMPARE(journalRows(form), expected);
        QVERIFY(site.messages.empty());

        Site admin(70000, true);
        admin.addReaders({{9, 5, true, false}});
        TForm1& adminForm = admin.start();
        QVERIFY(admin.connect());
        admin.control<QRadioButton>("RadioButton1")->click();
        admin.control<QCheckBox>("CheckBox1")->setChecked(true);
        admin.click("Button12");
        QVERIFY(admin.messages.empty());
        CardJournalRow configuration;
        configuration.kind = Kind::kConfiguration;
        configuration.option = admin.control<QRadioButton>("RadioButton1")->text().remove(QLatin1Char('&')).toStdString();
        configuration.sysCode = 70000;
        configuration.reader = 9;
        configuration.readerSettings = "kod 70000, czas 5 s, PROX, zerowanie";
        configuration.result = Result::kVerified;
        configuration.mode = journal::JournalMode::kAdministrator;
        QCOMPARE(journalRows(adminForm), std::vector<CardJournalRow>{configuration});
        QCOMPARE(QString::fromStdString(configuration.option), QStringLiteral("Z aktualnym kodem systemowym"));
    }

    void lostCardLeadsToAVerifiedDuplicate() {
        Site site(70000, true);
        site.addGroups({{"Staff", {3}}});
        site.addUsers({{42, "Nowak", "Staff", 3}, {43, "Kowal", "Staff"}});
        TForm1& form = site.start(QStringLiteral("5"));
        QVERIFY(site.connect());
        form.Table1().first();
        QVERIFY(!cards::lostCardOut(form.cardJournal(), 42));
        site.click("ButtonLost");
        QCOMPARE(titles(site.messages), QStringList{QStringLiteral("Zgubiona karta")});
        QVERIFY(site.control<QCheckBox>("CBox2")->isChecked());
        QVERIFY(cards::lostCardOut(form.cardJournal(), 42));
        QTRY_VERIFY(form.lostCardLabel()->text().startsWith(QStringLiteral("Zgubiona karta (duplikat 3) zgłoszona ")));
        CardJournalRow lost = userRow(Kind::kLost, 42, 3, "Nowak", "Staff", {}, Result::kReported,
                                      journal::JournalMode::kUser);
        lost.access.clear();
        QCOMPARE(journalRows(form), std::vector<CardJournalRow>{lost});

        site.click("Button4");
        QCOMPARE(site.simulator->card(), card::cardImage({42, 70000, 4}, access({3})));
        QVERIFY(!cards::lostCardOut(form.cardJournal(), 42));
        form.Table1().first();
        const std::string written = form.cardJournal().row(form.cardJournal().rowCount() - 1).written;
        QTRY_COMPARE(form.lostCardLabel()->text(), QStringLiteral("Zgubiona karta (duplikat 3) zastąpiona duplikatem 4, %1")
                                                       .arg(QString::fromStdString(written.substr(0, 10))));
        // Read back: the replacement is the holder's current duplicate.
        site.click("Button2");
        QTRY_VERIFY_WITH_TIMEOUT(form.Form4()->isVisible(), 5000);
        QCOMPARE(form.Table1().fieldByName("NUMBER").asInteger(), 42);
        QCOMPARE(form.Table1().fieldByName("INDEX").asInteger(), 4);
        QCOMPARE(form.Form4()->Label1()->text().trimmed(), QStringLiteral("4"));
    }

    void warnsFromIndexThirteen() {
        QFETCH(int, stored);
        QFETCH(bool, warned);
        Site site(70000, true);
        site.addUsers({{42, "Nowak", "Lack of assignment!", stored}});
        TForm1& form = site.start();
        QVERIFY(site.connect());
        form.Table1().first();
        site.control<QCheckBox>("CBox2")->setChecked(true);
        site.click("Button4");
        QCOMPARE(titles(site.messages).contains(QStringLiteral("Duplikaty")), warned);
        if (warned) {
            QVERIFY(site.messages.front().text.contains(QStringLiteral("15 duplikatów")));
        }
        QCOMPARE(site.simulator->card()->at(0), card::cardImage({42, 70000, std::uint32_t(stored + 1)},
                                                                card::noAccessBlocks())[0]);
    }
    void warnsFromIndexThirteen_data() {
        QTest::addColumn<int>("stored");
        QTest::addColumn<bool>("warned");
        QTest::newRow("11 -> 12") << 11 << false;
        QTest::newRow("12 -> 13") << 12 << true;
        QTest::newRow("14 -> 15") << 14 << true;
    }
};

QTEST_MAIN(VerifiedWriteTest)
#include "VerifiedWriteTest.moc"
