// The card information window after "Read" tells what the card journal knows of the card on the
// programmer: the real main window offscreen, the serial component on a pseudo-terminal and the
// simulated programmer holding the card.
#include "E2eSite.h"

#include "CardAccessHex.h"
#include "CardJournal.h"
#include "TForm4.h"
#include "card/AccessBlocks.h"
#include "card/CardWrite.h"

#include <QLabel>

using namespace talvern;
using talvern::e2e::Site;

namespace {

std::bitset<96> readers(std::initializer_list<int> numbers) {
    std::bitset<96> bits;
    for (int r : numbers)
        bits.set(static_cast<std::size_t>(r - 1));
    return bits;
}

journal::CardJournalRow duplicate(int index, const std::bitset<96>& access, const char* written) {
    journal::CardJournalRow row;
    row.written = written;
    row.kind = journal::JournalKind::kDuplicate;
    row.number = 42;
    row.index = index;
    row.sysCode = 70000;
    row.surname = "Nowak";
    row.group = "Staff";
    row.access = journal::CardAccessHex::fromBits(access);
    row.result = journal::JournalResult::kVerified;
    row.mode = journal::JournalMode::kAdministrator;
    return row;
}

} // namespace

class CardReadJournalTest : public QObject {
    Q_OBJECT

private slots:
    void readShowsWhatTheJournalKnows_data() {
        QTest::addColumn<int>("cardIndex");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("access");
        QTest::newRow("the current duplicate, as its group opens today")
            << 2 << "Zapisana 2026-03-04 11:00:00: duplikat, zapisana i sprawdzona (administrator)"
            << "Aktualny duplikat: tak" << "Uprawnienia: zgodna";
        QTest::newRow("an older duplicate written before the group gained reader 2")
            << 1 << "Zapisana 2026-01-02 10:00:00: duplikat, zapisana i sprawdzona (administrator)"
            << "Aktualny duplikat: nie (w bazie: 2)" << "Uprawnienia: nieaktualna — przeprogramuj";
        QTest::newRow("a card the journal does not know")
            << 3 << "Karty nie ma w dzienniku kart: nie wiadomo, kiedy i jak ją zapisano."
            << "Aktualny duplikat: nie (w bazie: 2)" << "Uprawnienia: nieznane";
    }

    void readShowsWhatTheJournalKnows() {
        QFETCH(int, cardIndex);
        QFETCH(QString, written);
        QFETCH(QString, current);
        QFETCH(QString, access);
        Site site;
        site.addGroups({{"Staff", {1, 2}}});
        site.addUsers({{41, "Kowal", "Staff"}, {42, "Nowak", "Staff", 2}});
        TForm1& form = site.start();
        QVERIFY(site.connect());
        form.cardJournal().append(duplicate(1, readers({1}), "2026-01-02 10:00:00"));
        form.cardJournal().append(duplicate(2, readers({1, 2}), "2026-03-04 11:00:00"));
        const auto onCard = card::accessBlocks(cardIndex == 1 ? readers({1}) : readers({1, 2}));
        site.simulator->placeCard(card::cardImage({42, 70000, static_cast<std::uint32_t>(cardIndex)}, onCard));

        site.click("Button2");
        QTRY_VERIFY_WITH_TIMEOUT(form.Form4()->isVisible(), 5000);
        QCOMPARE(form.Table1().fieldByName("NUMBER").asInteger(), 42);
        QCOMPARE(form.Form4()->Label1()->text(), QString::number(cardIndex));
        QCOMPARE(form.Form4()->writtenLine()->text(), written);
        QCOMPARE(form.Form4()->currentLine()->text(), current);
        QCOMPARE(form.Form4()->accessLine()->text(), access);
        QVERIFY(site.messages.empty());
    }

    // A site that never wrote a card has no journal: the read says the card is unknown and no
    // journal is made by reading.
    void readOnASiteWithoutAJournal() {
        Site site;
        site.addGroups({{"Staff", {1}}});
        site.addUsers({{42, "Nowak", "Staff"}});
        TForm1& form = site.start();
        QVERIFY(site.connect());
        site.simulator->placeCard(card::cardImage({42, 70000, 0}, card::accessBlocks(readers({1}))));
        site.click("Button2");
        QTRY_VERIFY_WITH_TIMEOUT(form.Form4()->isVisible(), 5000);
        QVERIFY(form.Form4()->writtenLine()->text().startsWith(QStringLiteral("Karty nie ma w dzienniku kart")));
        QCOMPARE(form.Form4()->currentLine()->text(), QStringLiteral("Aktualny duplikat: tak"));
        QVERIFY(!QFile::exists(QStringLiteral("karty.dbf")));
    }
};

QTEST_MAIN(CardReadJournalTest)
#include "CardReadJournalTest.moc"
