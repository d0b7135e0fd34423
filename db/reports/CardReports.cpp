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
         cards::cardsToRewrite(journalRows(site), cards::siteUsers(site.users), cards::groupRights(site.groups))) {
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
    const std::vector<cards::IssuedCard> rows = journalRows(site);
    for (const cards::IssuedCard& report : rows) {
        if (!report.isLostReport()) {
            continue;
        }
        // The first card written for the holder after the report (a write that failed is no card).
        const cards::IssuedCard* replacement = nullptr;
        for (std::size_t at = static_cast<std::size_t>(report.row) + 1; at < rows.size() && !replacement; ++at) {
            if (rows[at].number == report.number && rows[at].isHolderCard()) {
                replacement = &rows[at];
            }
        }
        table.rows.push_back({std::to_string(report.number), report.surname, report.name,
                              std::to_string(report.index), report.written, replacement ? "tak" : "nie",
                              replacement ? cardText(*replacement) : ""});
    }
    return table;
}

} // namespace talvern::db::reports
