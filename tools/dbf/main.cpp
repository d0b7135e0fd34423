// talvern-dbf: looks into and moves data in and out of the site's dBASE tables.
#include "BuildVersion.h"
#include "Commands.h"

#include <exception>
#include <iostream>
#include <string>
#include <vector>

namespace {

void usage(std::ostream& out) {
    out << "usage: talvern-dbf dump PATH              print the table as JSON (UTF-8)\n"
           "       talvern-dbf check PATH             report damage and bad values; exit 1 when there are any\n"
           "       talvern-dbf repair PATH            write a repaired copy beside the table, e.g. osoby.dbf ->\n"
           "                                          osoby-naprawiona.dbf (and .dbt); the table is never changed\n"
           "       talvern-dbf export --csv PATH      write the live records as CSV with a header row\n"
           "       talvern-dbf import --csv CSV PATH  append the records of such a CSV to the table\n"
           "       talvern-dbf backup DIR [--to FOLDER]\n"
           "                                          back up the site in DIR (its tables and memo files) into a\n"
           "                                          new dated folder in DIR/kopie, or in FOLDER/NAME, NAME being\n"
           "                                          the site's own (in DIR/obiekt.txt), so sites can share FOLDER\n"
           "       talvern-dbf backups DIR [--to FOLDER]\n"
           "                                          list that site's backups: folder, date, users, check, reason\n"
           "       talvern-dbf restore BACKUP DIR     back up the site in DIR, then put the tables of the backup\n"
           "                                          folder BACKUP in their place; another site's is refused\n"
           "       talvern-dbf --version              print the version\n"
           "\n"
           "dump writes numbers as JSON numbers, logicals as true/false, dates as \"YYYY-MM-DD\", timestamps as\n"
           "\"YYYY-MM-DD HH:MM:SS.mmm\" and text and notes as strings. A field that holds nothing is null, whatever\n"
           "its type: blank text and an empty note are null, never \"\". CSV writes such a field as an empty value.\n";
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 2 && args[0] == "dump") {
            return talvern::dbftool::dumpTable(args[1], std::cout);
        }
        if (args.size() == 2 && args[0] == "check") {
            return talvern::dbftool::checkTable(args[1], std::cout);
        }
        if (args.size() == 2 && args[0] == "repair") {
            return talvern::dbftool::repairTable(args[1], std::cout);
        }
        if (args.size() == 3 && args[0] == "export" && args[1] == "--csv") {
            return talvern::dbftool::exportCsv(args[2], std::cout);
        }
        if (args.size() == 4 && args[0] == "import" && args[1] == "--csv") {
            return talvern::dbftool::importCsv(args[2], args[3], std::cout);
        }
        if ((args.size() == 2 || (args.size() == 4 && args[2] == "--to")) &&
            (args[0] == "backup" || args[0] == "backups")) {
            const std::string root = args.size() == 4 ? args[3] : std::string();
            return args[0] == "backup" ? talvern::dbftool::backupSite(args[1], root, std::cout)
                                       : talvern::dbftool::listSiteBackups(args[1], root, std::cout);
        }
        if (args.size() == 3 && args[0] == "restore") {
            return talvern::dbftool::restoreSite(args[1], args[2], std::cout);
        }
        if (args.size() == 1 && args[0] == "--version") {
            std::cout << talvern::versionLine("talvern-dbf") << "\n";
            return 0;
        }
        if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
            usage(std::cout);
            return 0;
        }
        usage(std::cerr);
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "talvern-dbf: " << e.what() << "\n";
        return 1;
    }
}
