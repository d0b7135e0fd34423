#pragma once

#include <string>

namespace talvern::cards::bench {

// Writes a card journal (karty.dbf) of rows rows into directory, as years of a busy site leave it:
// user cards, duplicates, withdrawals and lost-card reports for users 1..users of groups "Grupa N"
// (N 1..groups), and a configuration card now and then, dated a few minutes apart, oldest first.
void generateJournal(const std::string& directory, long rows, long users = 65535, int groups = 1000);

} // namespace talvern::cards::bench
