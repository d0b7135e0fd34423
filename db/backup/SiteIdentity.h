#pragma once

#include <optional>
#include <string>

namespace talvern::backup {

// A site's name among the sites that keep their backups in one shared folder (a USB stick or a network
// share): the site folder's name, the computer's name and eight random hex digits, such as
// "site-recepcja-3f9a12c4". It is chosen once, at the site's first backup, and kept in a small file beside
// the tables, so it stays the same when the site folder is moved or renamed, and differs between two sites
// whose folders have the same name and path on two computers.
inline constexpr const char* kSiteIdentityName = "obiekt.txt";

// The site's name as its file gives it; nothing when the site has none yet or the file cannot be read.
// Never writes.
std::optional<std::string> readSiteIdentity(const std::string& siteDir);

// The site's name, chosen and written first when the site has none. Throws BackupError (Polish text
// included) when the file cannot be written, or when one is there but does not hold a name: an existing
// file is never replaced.
std::string siteIdentity(const std::string& siteDir);

// A name as it may be used for a folder on any disk a backup goes to: letters, digits, "-", "_", "." and
// UTF-8 letters; others become "_"; no dot at either end, no more than longest bytes (a letter is never cut).
std::string folderSafeName(const std::string& text, std::size_t longest = 40);

} // namespace talvern::backup
