#include "TableDamage.h"

namespace talvern::dbf {
namespace {

std::string shownFlag(char flag) {
    const auto byte = static_cast<unsigned char>(flag);
    if (byte >= 0x20 && byte < 0x7F) {
        return std::string("'") + flag + "'";
    }
    static const char digits[] = "0123456789ABCDEF";
    return std::string("0x") + digits[byte >> 4] + digits[byte & 0xF];
}

} // namespace

DbfError damagedTableError(const std::string& tableName, const std::vector<TableDamage>& damage) {
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
    english += ". Nothing was written to it; talvern-dbf repair makes a repaired copy beside it.";
    polish += ".\nProgram nie zapisał w niej niczego. Naprawioną kopię tabeli tworzy polecenie: talvern-dbf repair " +
              tableName;
    return DbfError(english, polish);
}

void RecordSpan::judge(TableFindings& findings) const {
    if (whole < counted) {
        findings.damage.push_back(
            {"the header counts " + std::to_string(counted) + " records but the file holds only " +
                 std::to_string(whole) + " whole records",
             "liczba rekordów w nagłówku (" + std::to_string(counted) +
                 ") jest większa niż liczba pełnych rekordów w pliku (" + std::to_string(whole) + ")"});
        return;
    }
    if (isInterruptedAppend()) {
        findings.notes.push_back("An append was cut short: one record, still marked deleted, lies after the " +
                                 std::to_string(counted) +
                                 " counted ones; it is not part of the table and the next append takes its place");
    } else if (whole > counted) {
        findings.damage.push_back({"the file holds " + std::to_string(whole) + " records, more than the " +
                                       std::to_string(counted) + " the header counts",
                                   "plik zawiera więcej rekordów (" + std::to_string(whole) +
                                       ") niż podaje nagłówek (" + std::to_string(counted) + ")"});
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
                " zamiast ' ' lub '*' (rekordy nie leżą tam, gdzie wskazuje nagłówek)"};
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

} // namespace damage

} // namespace talvern::dbf
