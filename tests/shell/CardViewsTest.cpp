// The card windows in the real main window, offscreen, on a site whose tables and card journal are
// filled before start-up: the Groups page's warning when a stored change takes readers away from
// cards that still open them, the Users page's line about a lost card, and the two windows of the
// "Karty" menu on a site with and without a journal.

#include "ShellFixture.h"

#include "CardAccessHex.h"
#include "CardCellDelegate.h"
#include "CardHistoryModel.h"
#include "CardHistoryWindow.h"
#include "CardJournal.h"
#include "CardsToRewriteWindow.h"
#include "DbfError.h"
#include "DbfTable.h"
#include "SiteJournal.h"
#include "JournalSource.h"
#include "GroupsPage.h"
#include "StandardTables.h"
#include "TForm1.h"
#include "TTable.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

using namespace talvern;

namespace {

void fillSite() {
    db::ensureStandardTables(".");
    db::TTable groups;
    groups.open("grupa.dbf");
    groups.append();
    groups.fieldByName("NAME").setAsString("Biuro");
    groups.fieldByName("P1").setAsBoolean(true);
    groups.fieldByName("P2").setAsBoolean(true);
    groups.post();
    groups.close();
    db::TTable users;
    users.open("osoby.dbf");
    for (int number : {1, 2}) {
        users.append();
        users.fieldByName("NUMBER").setAsInteger(number);
        users.fieldByName("SURNAME").setAsString(number == 1 ? "Anna" : "Jan");
        users.fieldByName("GROUP").setAsString("Biuro");
        users.fieldByName("INDEX").setAsInteger(0);
        users.post();
    }
    users.close();
}

journal::CardJournalRow card(long number, const char* kind, const char* result, const std::string& access) {
    journal::CardJournalRow row;
    row.kind = kind;
    row.number = number;
    row.sysCode = 1;
    row.group = "Biuro";
    row.access = access;
    row.result = result;
    row.mode = journal::JournalMode::kAdministrator;
    return row;
}

void unlock(TForm1& form) {
    form.findChild<QLineEdit*>(QStringLiteral("Edit5"))->setText(QStringLiteral("9"));
    form.BitBtn1Click();
}

// Holder 1's card opens readers 1 and 2, holder 2's reader 1; holder 2's may be reported lost.
void writeTwoCards(bool secondLost) {
    journal::CardJournal journal(".");
    journal.append(card(1, journal::JournalKind::kUserCard, journal::JournalResult::kVerified,
                        "C00000000000000000000000"));
    journal.append(card(2, journal::JournalKind::kUserCard, journal::JournalResult::kVerified,
                        "800000000000000000000000"));
    if (secondLost)
        journal.append(card(2, journal::JournalKind::kLost, journal::JournalResult::kReported, ""));
}

// Reader 2 taken from the first group on the Groups page, and the change stored.
void takeReaderTwo(TForm1& form, GroupsPage& groups) {
    groups.SpeedButton5Click();
    form.Table3().first();
    form.Table3().edit();
    form.Table3().fieldByName("P2").setAsBoolean(false);
    groups.SpeedButton6Click();
}

} // namespace

class CardViewsTest : public QObject {
    Q_OBJECT

private slots:
    void readersTakenAwayAreCountedOnTheCardsThatStillOpenThem() {
        test::Site site;
        fillSite();
        writeTwoCards(false);
        TForm1& form = site.start();
        unlock(form);
        auto* groups = form.findChild<GroupsPage*>();
        QVERIFY(groups != nullptr);
        // Reader 2 taken away: one card still opens it.
        takeReaderTwo(form, *groups);
        QTRY_COMPARE(site.messages.size(), std::size_t(1));
        QCOMPARE(site.messages[0].title, QStringLiteral("Karty do przeprogramowania"));
        QVERIFY2(site.messages[0].text.contains(QStringLiteral("odebrane czytniki 2; karty, które nadal je otwierają: 1.")),
                 qPrintable(site.messages[0].text));
        // A reader given is no warning; "No access" takes reader 1 from both cards.
        groups->Button13Click();
        QTest::qWait(50);
        QCOMPARE(site.messages.size(), std::size_t(1));
        groups->Button14Click();
        QTRY_COMPARE(site.messages.size(), std::size_t(2));
        QVERIFY2(site.messages[1].text.contains(QStringLiteral("karty, które nadal je otwierają: 2.")),
                 qPrintable(site.messages[1].text));

        // Both cards now open more than the group: both are listed.
        form.KartyDoPrzeprogramowania1Click();
        QCOMPARE(form.cardsToRewriteWindow()->model()->rowCount(), 2);
    }

    // A lost card not replaced yet still opens what it opened: it is counted, and named apart, since it
    // is not in hand to be written again.
    void aLostCardStillOpeningReadersTakenAwayIsCountedApart() {
        test::Site site;
        fillSite();
        writeTwoCards(true);
        TForm1& form = site.start();
        unlock(form);
        auto* groups = form.findChild<GroupsPage*>();
        QVERIFY(groups != nullptr);
        // Reader 2: the lost card never opened it.
        takeReaderTwo(form, *groups);
        QTRY_COMPARE(site.messages.size(), std::size_t(1));
        QCOMPARE(site.messages[0].text,
                 QStringLiteral("Grupa „Biuro”: odebrane czytniki 2; karty, które nadal je otwierają: 1.\n"
                                "Przeprogramuj je: Karty → Karty do przeprogramowania."));
        // "No access" takes reader 1, which the lost card opens.
        groups->Button14Click();
        QTRY_COMPARE(site.messages.size(), std::size_t(2));
        QCOMPARE(site.messages[1].title, QStringLiteral("Karty do przeprogramowania"));
        QCOMPARE(site.messages[1].text,
                 QStringLiteral("Grupa „Biuro”: odebrane czytniki 1; karty, które nadal je otwierają: 2 (w tym "
                                "zgubione, których nie można przeprogramować: 1).\n"
                                "Przeprogramuj je: Karty → Karty do przeprogramowania."));
    }

    void aLostCardIsShownForItsHolder() {
        test::Site site;
        fillSite();
        {
            journal::CardJournal journal(".");
            journal.append(card(2, journal::JournalKind::kUserCard, journal::JournalResult::kVerified,
                                "C00000000000000000000000"));
            auto lost = card(2, journal::JournalKind::kLost, journal::JournalResult::kReported, "");
            lost.written = "2026-05-06 07:08:09";
            journal.append(lost);
            // "Usuń uprawnienia" on a card of the same INDEX gives the holder no card to use.
            journal.append(card(2, journal::JournalKind::kWithdrawal, journal::JournalResult::kVerified,
                                "000000000000000000000000"));
        }
        TForm1& form = site.start();
        unlock(form);
        QLabel* line = form.lostCardLabel();
        QVERIFY(line != nullptr);
        QVERIFY(form.Table1().locate("NUMBER", "1", false));
        QTRY_VERIFY(line->text().isEmpty());
        QVERIFY(form.Table1().locate("NUMBER", "2", false));
        QTRY_COMPARE(line->text(), QStringLiteral("Zgubiona karta (duplikat 0) zgłoszona 2026-05-06 07:08:09"));
        QCOMPARE(line->accessibleName(), QStringLiteral("Stan zgubionej karty"));
        const QColor waiting = line->palette().color(QPalette::WindowText);

        // The duplicate written: the line says what replaced the lost card, which is still out there.
        auto duplicate = card(2, journal::JournalKind::kDuplicate, journal::JournalResult::kVerified,
                              "C00000000000000000000000");
        duplicate.index = 1;
        duplicate.written = "2026-05-08 10:00:00";
        form.cardJournal().append(duplicate);
        QVERIFY(form.Table1().locate("NUMBER", "1", false));
        QTRY_VERIFY(line->text().isEmpty());
        QVERIFY(form.Table1().locate("NUMBER", "2", false));
        QTRY_COMPARE(line->text(), QStringLiteral("Zgubiona karta (duplikat 0) zastąpiona duplikatem 1, 2026-05-08"));
        QVERIFY(line->palette().color(QPalette::WindowText) != waiting);
        // Either line fits its place on the page, two-digit duplicate numbers included.
        for (const QString& longest : {QStringLiteral("Zgubiona karta (duplikat 14) zgłoszona 2026-05-06 07:08:09"),
                                       QStringLiteral("Zgubiona karta (duplikat 14) zastąpiona duplikatem 15, 2026-05-08")}) {
            const int width = line->fontMetrics().horizontalAdvance(longest);
            QVERIFY2(width <= line->width(), qPrintable(QStringLiteral("%1: %2 > %3").arg(longest).arg(width).arg(line->width())));
        }
        QVERIFY(site.messages.empty());
    }

    // A journal another program has spoilt: the windows say so, the program goes on and the file
    // is left as it was.
    void aJournalThatCannotBeRead() {
        test::Site site;
        fillSite();
        QFile spoilt(QStringLiteral("karty.dbf"));
        QVERIFY(spoilt.open(QIODevice::WriteOnly));
        spoilt.write("not a table at all");
        spoilt.close();
        TForm1& form = site.start();
        unlock(form);
        QTRY_COMPARE(form.lostCardLabel()->text(), QStringLiteral("Dziennika kart nie można odczytać."));
        form.findChild<QAction*>(QStringLiteral("HistoriaKart1"))->trigger();
        QCOMPARE(site.messages.size(), std::size_t(1));
        form.findChild<QAction*>(QStringLiteral("KartyDoPrzeprogramowania1"))->trigger();
        QCOMPARE(site.messages.size(), std::size_t(2));
        QVERIFY(form.cardsToRewriteWindow() == nullptr || !form.cardsToRewriteWindow()->isVisible());
        QVERIFY(spoilt.open(QIODevice::ReadOnly));
        QCOMPARE(spoilt.readAll(), QByteArray("not a table at all"));
    }

    // The grid over the journal: newest first, and each filter alone and together.
    void historyNewestFirstAndFiltered() {
        std::vector<cards::IssuedCard> rows;
        const auto row = [](long number, const char* kind, const char* surname) {
            cards::IssuedCard card;
            card.number = number;
            card.kind = kind;
            card.surname = surname;
            card.result = cards::result::kVerified;
            return card;
        };
        rows.push_back(row(1, cards::kind::kUserCard, "Anna"));
        rows.push_back(row(2, cards::kind::kUserCard, "Jan"));
        rows.push_back(row(1, cards::kind::kDuplicate, "Anna"));
        rows.push_back(row(12, cards::kind::kLost, "Joanna"));
        cards::ListedJournal journal(rows);
        CardHistoryModel model(journal);
        const auto numbers = [&model] {
            QStringList shown;
            for (int at = 0; at < model.rowCount(); ++at)
                shown << model.index(at, CardHistoryModel::Number).data().toString();
            return shown;
        };
        QCOMPARE(numbers(), (QStringList{"12", "1", "2", "1"}));
        model.setFilter(QStringLiteral("1"), QString());
        QCOMPARE(numbers(), (QStringList{"1", "1"}));
        model.setFilter(QStringLiteral("anna"), QString());
        QCOMPARE(numbers(), (QStringList{"12", "1", "1"}));
        model.setFilter(QStringLiteral("anna"), QString::fromLatin1(cards::kind::kDuplicate));
        QCOMPARE(numbers(), (QStringList{"1"}));
        model.setFilter(QString(), QString::fromLatin1(cards::kind::kLost));
        QCOMPARE(numbers(), (QStringList{"12"}));
        QCOMPARE(model.index(0, CardHistoryModel::Kind).data().toString(), QStringLiteral("zgubiona karta"));
        model.setFilter(QString(), QString());
        QVERIFY(!model.filtered());
        QCOMPARE(model.rowCount(), 4);
    }

    // The filter over the site's own journal file reads only the fields it looks at, straight from the
    // records: a name in any letter case, Polish letters included, a number and a kind. A journal whose
    // KIND another program rebuilt as a number cannot be filtered: the error says so and the grid keeps
    // what it showed.
    void historyFilterOverTheJournalFile() {
        test::Site site;
        {
            journal::CardJournal journal(".");
            for (const auto& [number, surname] : std::vector<std::pair<long, const char*>>{
                     {1, "Żółkiewska"}, {2, "Łęcka"}, {3, "ŻÓŁKIEWSKI"}, {1, "Żółkiewska"}}) {
                journal::CardJournalRow row = card(number, journal::JournalKind::kUserCard,
                                                   journal::JournalResult::kVerified, std::string(24, '0'));
                row.surname = surname;
                if (number == 3)
                    row.kind = journal::JournalKind::kDuplicate;
                journal.append(row);
            }
        }
        journal::CardJournal journal(".");
        cards::SiteJournal rows(journal);
        CardHistoryModel model(rows);
        const auto numbers = [&model] {
            QStringList shown;
            for (int at = 0; at < model.rowCount(); ++at)
                shown << model.index(at, CardHistoryModel::Number).data().toString();
            return shown;
        };
        model.setFilter(QStringLiteral("żółk"), QString());
        QCOMPARE(numbers(), (QStringList{"1", "3", "1"}));
        model.setFilter(QStringLiteral("ŁĘC"), QString());
        QCOMPARE(numbers(), (QStringList{"2"}));
        model.setFilter(QStringLiteral("kiewski"), QString::fromLatin1(cards::kind::kDuplicate));
        QCOMPARE(numbers(), (QStringList{"3"}));
        model.setFilter(QStringLiteral("1"), QString());
        QCOMPARE(numbers(), (QStringList{"1", "1"}));
        model.setFilter(QStringLiteral("ß"), QString());
        QCOMPARE(numbers(), QStringList());
        model.setFilter(QStringLiteral("ы"), QString()); // a letter the journal's code page lacks
        QCOMPARE(numbers(), QStringList());

        journal.close();
        QFile::remove(QStringLiteral("karty.dbf"));
        std::vector<dbf::FieldSpec> fields = journal::CardJournal::fields();
        fields[1] = {"KIND", 'N', 12};
        dbf::DbfTable::create("karty.dbf", dbf::TableFormat::DBase3, fields);
        {
            dbf::DbfTable table("karty.dbf", dbf::DbfTable::Mode::ReadWrite);
            table.appendRecord(table.blankRecord());
        }
        model.setFilter(QString(), QString());
        QCOMPARE(model.rowCount(), 1);
        QVERIFY_THROWS_EXCEPTION(dbf::DbfError, model.setFilter(QStringLiteral("2"), QString()));
        QVERIFY(!model.filtered());
        QCOMPARE(model.rowCount(), 1);
    }

    // The columns whose texts come back row after row keep each text's picture: the grid looks exactly
    // as with the standard cells, unselected, selected and with the focus frame, the first time and
    // from the pictures kept.
    void cardGridPaintsAsTheStandardCells() {
        std::vector<cards::IssuedCard> rows;
        for (long number = 1; number <= 6; ++number) {
            cards::IssuedCard card;
            card.written = "2026-12-11 10:0" + std::to_string(number) + ":00";
            card.number = number;
            card.kind = number % 2 ? cards::kind::kUserCard : cards::kind::kDuplicate;
            card.index = static_cast<int>(number % 3);
            card.surname = "Żółkiewska";
            card.group = "Biuro";
            for (std::size_t reader = number % 2; reader < 96; reader += 5)
                card.access.set(reader); // a reader list wider than its column
            card.result = cards::result::kVerified;
            card.mode = "ADMIN";
            rows.push_back(card);
        }
        cards::ListedJournal journal(rows);
        CardHistoryWindow window(journal);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTableView* grid = window.grid();
        grid->setFocus();
        grid->selectRow(2);
        QVERIFY(qobject_cast<CardCellDelegate*>(grid->itemDelegateForColumn(CardHistoryModel::Readers)) != nullptr);
        const QImage kept = grid->viewport()->grab().toImage();
        const QImage fromPictures = grid->viewport()->grab().toImage();
        for (int column = 0; column < CardHistoryModel::ColumnCount; ++column)
            grid->setItemDelegateForColumn(column, nullptr);
        const QImage standard = grid->viewport()->grab().toImage();
        QCOMPARE(kept, standard);
        QCOMPARE(fromPictures, standard);
    }

    void aSiteWithoutAJournal() {
        test::Site site;
        fillSite();
        TForm1& form = site.start();
        unlock(form);
        form.HistoriaKart1Click();
        CardHistoryWindow* history = form.cardHistoryWindow();
        QCOMPARE(history->windowTitle(), QStringLiteral("Historia kart"));
        QCOMPARE(history->model()->rowCount(), 0);
        QVERIFY(history->summary()->text().startsWith(QStringLiteral("Brak dziennika kart")));
        // Every control of the window has a name a screen reader can say.
        for (QWidget* control : history->findChildren<QWidget*>()) {
            if ((qobject_cast<QPushButton*>(control) || qobject_cast<QLineEdit*>(control) ||
                 qobject_cast<QTableView*>(control)) && control->accessibleName().isEmpty())
                QFAIL(qPrintable(control->metaObject()->className() + QStringLiteral(" without a name")));
        }
        form.KartyDoPrzeprogramowania1Click();
        // Both users have rights and no card yet.
        QCOMPARE(form.cardsToRewriteWindow()->model()->rowCount(), 2);
        QVERIFY(form.cardsToRewriteWindow()->summary()->text().contains(QStringLiteral("Brak dziennika kart")));
        QVERIFY(!QFile::exists(QStringLiteral("karty.dbf")));
        QVERIFY(site.messages.empty());
    }
};

QTEST_MAIN(CardViewsTest)
#include "CardViewsTest.moc"
