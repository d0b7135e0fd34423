#include "CardReports.h"

#include "CardJournal.h"
#include "CardStanding.h"
#include "SiteJournal.h"
#include "SiteRecords.h"
#include "SiteRights.h"

#include <iterator>
#include <unordered_map>

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
    // Walked from the newest row back, so that at each lost report the holder's first card written
    // after it is at hand (a write that failed is no card): one pass, however long the journal.
    std::unordered_map<long, const cards::IssuedCard*> nextCard;
    std::vector<std::vector<std::string>> found;
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        if (row->isHolderCard()) {
            nextCard[row->number] = &*row;
        } else if (row->isLostReport()) {
            const auto next = nextCard.find(row->number);
            const cards::IssuedCard* replacement = next == nextCard.end() ? nullptr : next->second;
            found.push_back({std::to_string(row->number), row->surname, row->name, std::to_string(row->index),
                             row->written, replacement ? "tak" : "nie", replacement ? cardText(*replacement) : ""});
        }
    }
    table.rows.assign(std::make_move_iterator(found.rbegin()), std::make_move_iterator(found.rend()));
    return table;
}

} // namespace talvern::db::reports
