#include "CardReports.h"

#include "CardJournal.h"
#include "CardStanding.h"
#include "SiteJournal.h"
#include "SiteRecords.h"
#include "SiteRights.h"


namespace talvern::db::reports {

namespace {

// Every row of the site's journal, oldest first; none at a site without one.
std::vector<cards::IssuedCard> journalRows(SiteTables& site) {
    if (site.cardJournal == nullptr) {
        return {};
    }
    cards::SiteJournal journal(*site.cardJournal);
    return journal.allRows();
}

// The rows that decide each holder's standing: all the list of cards to rewrite needs.
std::vector<cards::IssuedCard> standingRows(SiteTables& site) {
    if (site.cardJournal == nullptr) {
        return {};
    }
    cards::SiteJournal journal(*site.cardJournal);
    return journal.standingRows();
}

std::string cardText(const cards::IssuedCard& card) {
    return card.written + ", duplikat " + std::to_string(card.index);
}

} // namespace

std::string CardsToRewrite::caption() const { return "Karty do przeprogramowania"; }

ReportTable CardsToRewrite::build(SiteTables& site, int) const {
    ReportTable table;
    table.title = "Karty do przeprogramowania";
    table.columns = userColumnTitles();
    for (const char* title : {"Przyczyna", "Czytniki dodane", "Czytniki odebrane", "Ostatnia karta"}) {
        table.columns.push_back(title);
    }
    table.numeric = {true, false, false, false, false, false, false, false};
    for (const cards::CardToRewrite& due :
         cards::cardsToRewrite(standingRows(site), cards::siteUsers(site.users), cards::groupRights(site.groups))) {
        table.rows.push_back({std::to_string(due.user.number), due.user.surname, due.user.name, due.user.group,
                              cards::causeText(due.cause), cards::readerList(due.gained),
                              cards::readerList(due.lost), due.card ? cardText(*due.card) : "—"});
    }
    return table;
}

std::string LostCards::caption() const { return "Zgubione karty"; }

ReportTable LostCards::build(SiteTables& site, int) const {
    ReportTable table;
    table.title = "Zgubione karty";
    table.columns = {"ID", "Imię", "Nazwisko", "Duplikat", "Zgłoszona", "Zastąpiona", "Nowa karta"};
    table.numeric = {true, false, false, true, false, false, false};
    for (const cards::LostCard& lost : cards::lostCards(journalRows(site))) {
        const cards::IssuedCard& report = lost.report;
        table.rows.push_back({std::to_string(report.number), report.surname, report.name, std::to_string(report.index),
                              report.written, lost.replacement ? "tak" : "nie",
                              lost.replacement ? cardText(*lost.replacement) : ""});
    }
    return table;
}

} // namespace talvern::db::reports
