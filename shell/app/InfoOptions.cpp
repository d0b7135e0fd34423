#include "InfoOptions.h"

#include "BuildVersion.h"

#include <iostream>
#include <string_view>

namespace talvern {

namespace {

constexpr char kUsage[] =
    "Użycie: talvern [--menu]\n"
    "Usage:  talvern [--menu]\n"
    "\n"
    "TALVERN, program do obsługi systemu kontroli dostępu na karty.\n"
    "Uruchomiony z terminala pracuje na tabelach obiektu (osoby.dbf, grupa.dbf, sprzet.dbf)\n"
    "w bieżącym folderze.\n"
    "TALVERN, the management program of a card-based access-control site. Started from a\n"
    "terminal it works on the site's tables in the current folder.\n"
    "\n"
    "  --menu      uruchomienie z menu pulpitu: otwiera folder obiektu operatora\n"
    "              (domyślnie ~/.local/share/talvern/site)\n"
    "              started from the desktop's menu: opens the operator's own site folder\n"
    "  --version   wypisuje wersję programu i kończy / prints the version and ends\n"
    "  --help      wypisuje ten opis i kończy / prints this usage and ends\n"
    "\n"
    "Inne argumenty są pomijane. Other arguments are ignored.\n";

} // namespace

std::optional<int> handleInfoOptions(int argc, const char* const* argv, std::ostream& out) {
    bool version = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            out << kUsage;
            return 0;
        }
        version = version || arg == "--version";
    }
    if (!version)
        return std::nullopt;
    out << versionLine("talvern") << '\n';
    return 0;
}

std::optional<int> handleInfoOptions(int argc, char** argv) {
    return handleInfoOptions(argc, argv, std::cout);
}

} // namespace talvern
