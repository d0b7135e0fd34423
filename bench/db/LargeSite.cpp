#include "LargeSite.h"

#include "StandardTables.h"
#include "TTable.h"

namespace talvern::db::bench {

void generateLargeSite(const std::string& directory, const SiteSize& size) {
    ensureStandardTables(directory);
    const std::string dir = directory + "/";
    {
        TTable groups;
        groups.open(dir + standardFileName(StandardTable::Groups));
        groups.disableControls();
        for (int g = 1; g <= size.groups; ++g) {
            groups.append();
            groups.fieldByName("ID_grupy").setAsInteger(g);
            groups.fieldByName("NAME").setAsString("Grupa " + std::to_string(g));
            for (int p = 0; p < 96; ++p) {
                groups.field(3 + p).setAsBoolean((g + p) % 3 == 0);
            }
            groups.post();
        }
        groups.enableControls();
    }
    {
        TTable readers;
        readers.open(dir + standardFileName(StandardTable::Readers));
        readers.disableControls();
        for (int r = 1; r <= size.readers; ++r) {
            readers.append();
            readers.fieldByName("ID_CZYT").setAsInteger(r);
            readers.fieldByName("NAME").setAsString("Czytnik " + std::to_string(r));
            readers.fieldByName("TIME").setAsInteger(2);
            readers.fieldByName("PROX").setAsBoolean(false);
            readers.fieldByName("EMULACJA").setAsBoolean(r % 2 == 0);
            readers.post();
        }
        readers.enableControls();
    }
    const char* surnames[] = {"Żółkiewski", "Łęcka", "Ćwik", "Nowak", "Śliwińska", "Kowalski"};
    const char* names[] = {"Józef", "Ewa", "Łucja", "Zbigniew", "Małgorzata", "Piotr"};
    TTable users;
    users.open(dir + standardFileName(StandardTable::Users));
    users.disableControls();
    for (int u = 1; u <= size.users; ++u) {
        users.append();
        users.fieldByName("NUMBER").setAsInteger(u);
        users.fieldByName("SURNAME").setAsString(std::string(surnames[u % 6]) + " " + std::to_string(u));
        users.fieldByName("NAME").setAsString(names[u % 6]);
        users.fieldByName("GROUP").setAsString("Grupa " + std::to_string(1 + u % size.groups));
        users.fieldByName("INDEX").setAsInteger(u % 16);
        if (u % 10 == 0) {
            users.fieldByName("INFO").setAsString("Karta wydana w recepcji, użytkownik " + std::to_string(u));
        }
        users.post();
    }
    users.enableControls();
}

} // namespace talvern::db::bench
