#pragma once

#include "TTable.h"

#include <cstdint>

namespace talvern::db {

// What a record of each standard table gets when it is begun, whether by the page's Add button or by
// typing into an empty table: a record without its number could never be written to a card. Fillers
// for TTable::setNewRecordFiller; they read the table without moving its cursor.

// NUMBER the next user number, INDEX 0 (no duplicate issued yet).
void fillNewUser(TTable& users);
// ID_grupy the next group number, NAME "Group " and that number, every reader's access field false.
void fillNewGroup(TTable& groups);
// ID_CZYT the lowest free reader number 1 to 96 (left empty when all are taken), TIME 2, NAME "Reader "
// and that number, PROX and EMULACJA false.
void fillNewReader(TTable& readers);

// The lowest reader number from 1 to highest that no reader bears; 0 when every one is taken.
int lowestFreeReaderNumber(TTable& readers, int highest);

} // namespace talvern::db
