#include "StandardTables.h"

#include "DbfError.h"
#include "DbfTable.h"
#include "FileNames.h"

#include <unistd.h>

namespace talvern::db {

std::string standardFileName(StandardTable table) {
    switch (table) {
    case StandardTable::Users: return "osoby.dbf";
    case StandardTable::Readers: return "sprzet.dbf";
    case StandardTable::Groups: return "grupa.dbf";
    }
    return {};
}

std::vector<dbf::FieldSpec> standardFields(StandardTable table) {
    switch (table) {
    case StandardTable::Users:
        return {{"NUMBER", 'N', 6}, {"SURNAME", 'C', 30}, {"NAME", 'C', 30},
                {"GROUP", 'C', 30}, {"INDEX", 'N', 2},    {"INFO", 'M', 10}};
    case StandardTable::Readers:
        return {{"ID_CZYT", 'N', 3}, {"NAME", 'C', 30}, {"TIME", 'N', 3},
                {"PROX", 'L', 1},    {"EMULACJA", 'L', 1}, {"MIEJSCE", 'M', 10}};
    case StandardTable::Groups: {
        std::vector<dbf::FieldSpec> fields{{"ID_grupy", 'N', 6}, {"NAME", 'C', 30}, {"NOTES", 'M', 10}};
        for (int n = 1; n <= 96; ++n) {
            fields.push_back({"p" + std::to_string(n), 'L', 1});
        }
        return fields;
    }
    }
    return {};
}

bool holdsStandardTables(const std::string& directory) {
    const StandardTable all[] = {StandardTable::Users, StandardTable::Readers, StandardTable::Groups};
    const std::string dir = directory.empty() || directory.back() == '/' ? directory : directory + "/";
    std::string missing;
    int present = 0;
    for (auto table : all) {
        if (::access(dbf::findIgnoringCase(dir + standardFileName(table)).c_str(), F_OK) == 0) {
            ++present;
        } else {
            missing += (missing.empty() ? "" : ", ") + standardFileName(table);
        }
    }
    if (present == 3) {
        return true;
    }
    if (present > 0) {
        throw dbf::DbfError("Tables missing in the working directory: " + missing +
                                ". The other tables are there, so this looks like the wrong folder; nothing was "
                                "created.",
                            "W folderze roboczym brakuje tabel: " + missing +
                                ". Pozostałe tabele są na miejscu, więc program uruchomiono chyba w niewłaściwym "
                                "folderze; niczego nie utworzono.");
    }
    return false;
}

bool ensureStandardTables(const std::string& directory) {
    if (holdsStandardTables(directory)) {
        return false;
    }
    const std::string dir = directory.empty() || directory.back() == '/' ? directory : directory + "/";
    for (auto table : {StandardTable::Users, StandardTable::Readers, StandardTable::Groups}) {
        dbf::DbfTable::create(dir + standardFileName(table), dbf::TableFormat::DBase3Memo, standardFields(table));
    }
    return true;
}

} // namespace talvern::db
