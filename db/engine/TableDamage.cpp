#include "TableDamage.h"

#include "FileNames.h"

namespace talvern::dbf {
namespace {

std::string shownFlag(char flag) {
    const auto byte = static_cast<unsigned char>(flag);
    if (byte > 0x20 && byte < 0x7F) {
        return std::string("'") + flag + "'";
    }
    static const char digits[] = "0123456789ABCDEF";
    return std::string("0x") + digits[byte >> 4] + digits[byte & 0xF];
}

} // namespace

DamagedTableError damagedTableError(const std::string& tableName, const std::vector<TableDamage>& damage) {
    std::string english = "Table " + tableName + " is damaged: ";
    std::string polish = "Tabela " + tableName + " jest uszkodzona: ";
    if (damage.empty()) {
        english += "its structure disagrees with itself";
        polish += "jej budowa jest niespójna";
    } else {
        english += damage.front().english;
        polish += damage.front().polish;
    }
    if (damage.size() > 1) {
        const std::string more = std::to_string(damage.size() - 1);
        english += " (and " + more + " more; talvern-dbf check lists them all)";
        polish += " (oraz inne usterki: " + more + "; wszystkie wymienia polecenie talvern-dbf check " + tableName + ")";
    }
    const std::string copy = repairedCopyPath(tableName);
    english += ". Nothing was written to it; talvern-dbf repair " + tableName + " makes a repaired copy, " + copy;
    polish += ".\nProgram niczego w niej nie zapisał. Naprawioną kopię (" + copy +
              ") tworzy polecenie: talvern-dbf repair " + tableName;
    return DamagedTableError(english, polish, damage);
}

void RecordSpan::judge(TableFindings& findings) const {
    const std::string header = std::to_string(counted);
    const std::string file = std::to_string(whole);
    if (whole < counted) {
        findings.damage.push_back(
            {"the header counts " + header + " records but the file holds only " + file +
                 " whole records; the file was cut short or the count is too large",
             "liczba rekordów w nagłówku (" + header + ") jest większa niż liczba pełnych rekordów w pliku (" +
                 file + "); plik jest ucięty albo liczba w nagłówku jest za duża"});
        return;
    }
    if (whole > counted && firstUncountedFlag == 0x1A) {
        // The end-of-file mark stands right after the counted records: what follows it is padding or leftovers
        // some writers leave, not records.
        findings.notes.push_back("The file goes on past its end-of-file mark after the " + header +
                                 " counted records; those bytes are not part of the table");
        return;
    }
    if (isInterruptedAppend()) {
        findings.notes.push_back("An append was cut short: one record, still marked deleted, lies after the " + header +
                                 " counted ones; it is not part of the table and the next append takes its place");
    } else if (whole > counted) {
        findings.damage.push_back({"the file holds " + file + " records, more than the " + header +
                                       " the header counts; records past the count would be lost or overwritten",
                                   "plik zawiera więcej rekordów (" + file + ") niż podaje nagłówek (" + header +
                                       "); rekordy spoza tej liczby zostałyby utracone lub nadpisane"});
        return;
    }
    if (restBytes > 1) {
        findings.notes.push_back("The file ends with " + std::to_string(restBytes) +
                                 " bytes of a record cut off while it was being added; they are not part of the table");
    }
}

namespace damage {

TableDamage unknownDeletionFlag(std::uint64_t record, char flag) {
    const std::string number = std::to_string(record);
    return {"record " + number + " starts with " + shownFlag(flag) +
                ", neither ' ' nor '*' (the records do not lie where the header puts them)",
            "rekord " + number + " zaczyna się znakiem " + shownFlag(flag) +
                " zamiast spacji lub '*' (rekordy nie leżą tam, gdzie wskazuje nagłówek)"};
}

TableDamage memoPastEnd(std::uint64_t record, const std::string& field, std::uint32_t block, const std::string& memoFile) {
    const std::string number = std::to_string(record);
    const std::string where = std::to_string(block);
    return {"record " + number + ", field " + field + ": the note's pointer (block " + where +
                ") lies past the end of the memo file " + memoFile,
            "rekord " + number + ", pole " + field + ": wskaźnik notatki (blok " + where +
                ") wskazuje poza koniec pliku notatek " + memoFile};
}

TableDamage memoPointerUnreadable(std::uint64_t record, const std::string& field) {
    const std::string number = std::to_string(record);
    return {"record " + number + ", field " + field + ": the note's pointer is not a block number",
            "rekord " + number + ", pole " + field + ": wskaźnik notatki nie jest numerem bloku"};
}

TableDamage moreRecords(std::uint64_t count) {
    const std::string number = std::to_string(count);
    return {number + " more damaged record(s) like these", "kolejne uszkodzone rekordy tego rodzaju: " + number};
}

TableDamage memoFileMissing(const std::string& memoFile) {
    return {"its memo file " + memoFile + " is missing", "brak pliku notatek " + memoFile};
}

} // namespace damage

} // namespace talvern::dbf
