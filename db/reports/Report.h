#pragma once
// The reports of the "Raporty" menu: answers drawn from the three tables without moving their cursors.
// Each report is one small class: a caption for the menu, what it needs to be asked (nothing, a reader
// number, the current user), and build(), which reads the stored records and returns a table of text.
// reportCatalogue() lists them in menu order; a new report is a new class and one line there.

#include "TTable.h"

namespace talvern::journal {
class CardJournal;
}

#include <memory>
#include <string>
#include <vector>

namespace talvern::db::reports {

// The three tables a report reads; none of their cursors moves. The card reports also read the site's
// card journal (karty.dbf), which a site has only once a card was written there.
struct SiteTables {
    TTable& users;
    TTable& groups;
    TTable& readers;
    journal::CardJournal* cardJournal = nullptr;
};

struct ReportTable {
    std::string title;
    std::vector<std::string> columns;
    std::vector<bool> numeric; // per column: whole numbers, sorted and aligned as numbers
    std::vector<std::vector<std::string>> rows;
};

class Report {
public:
    // What a report asks before it is built: nothing, a reader number (1 to 96), or the record number of
    // the user it is about (the current user).
    enum class Needs { Nothing, Reader, User };

    virtual ~Report() = default;
    // The menu entry, Polish.
    virtual std::string caption() const = 0;
    virtual Needs needs() const { return Needs::Nothing; }
    // True for a report drawn from the card journal: it has an answer only at a site that has one.
    virtual bool readsCardJournal() const { return false; }
    // parameter: the reader number or the user's record number (from 1), as needs() says. Reading errors
    // come out as DbfError.
    virtual ReportTable build(SiteTables& site, int parameter) const = 0;
};

std::vector<std::unique_ptr<Report>> reportCatalogue();

} // namespace talvern::db::reports
