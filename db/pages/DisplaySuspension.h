#pragma once
// Suspends the display of a table for a scope: bound boxes, grids and group tracking hear nothing until
// the scope ends, then re-read once.

#include "OperatorMessages.h"
#include "TTable.h"

namespace talvern {

class DisplaySuspension {
public:
    explicit DisplaySuspension(db::TTable& table) : m_table(table) { m_table.disableControls(); }
    ~DisplaySuspension() {
        // Resuming lets group tracking move the groups cursor, which can fail like any movement; the
        // error is shown rather than thrown out of a destructor.
        try {
            m_table.enableControls();
        } catch (const std::exception& error) {
            OperatorMessages::showError(error);
        }
    }
    DisplaySuspension(const DisplaySuspension&) = delete;
    DisplaySuspension& operator=(const DisplaySuspension&) = delete;

private:
    db::TTable& m_table;
};

} // namespace talvern
