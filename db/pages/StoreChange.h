#pragma once

#include "TTable.h"

namespace talvern {

// Stores a change under way on table when it changed something and drops it when it did not, as any
// movement of the cursor does.
inline void storeChange(db::TTable& table) {
    if (table.state() == db::TTable::State::Edit || table.state() == db::TTable::State::Insert) {
        if (table.isModified()) {
            table.post();
        } else {
            table.cancel();
        }
    }
}

} // namespace talvern
