#pragma once
// The reports drawn from the card journal: the holders whose card must be written again, and the cards
// reported lost. The menu offers them only at a site that has a journal (a card was written there).

#include "Report.h"

namespace talvern::db::reports {

// The holders whose newest card no longer opens what their group opens today, or who have rights and no
// card: the same list as "Karty" → "Karty do przeprogramowania", with the cause and the readers the new
// card gains and loses.
class CardsToRewrite : public Report {
public:
    std::string caption() const override;
    bool readsCardJournal() const override { return true; }
    ReportTable build(SiteTables& site, int) const override;
};

// Every lost card recorded, in the order recorded: whose it was, its INDEX, when it was reported and the
// user card or duplicate that replaced it, if any (the rule of cards::lostCards).
class LostCards : public Report {
public:
    std::string caption() const override;
    bool readsCardJournal() const override { return true; }
    ReportTable build(SiteTables& site, int) const override;
};

} // namespace talvern::db::reports
