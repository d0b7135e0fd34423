#pragma once

#include <string>

namespace talvern::db::bench {

struct SiteSize {
    int users = 65535;
    int readers = 96;
    int groups = 1000;
};

// Fills directory (which must hold no tables yet) with the three standard tables of a large site: users
// numbered 1..users with Polish names, spread over the groups, every tenth with a note; groups "Grupa N"
// with a pattern of access fields; readers 1..readers. Uses the engine's own cursors.
void generateLargeSite(const std::string& directory, const SiteSize& size = {});

} // namespace talvern::db::bench
