#include "TableCheck.h"

#include "DbfTable.h"
#include "DbfError.h"
#include "FieldCodec.h"

namespace talvern::dbf {

CheckReport checkTable(const std::string& path) {
    DbfTable table(path, DbfTable::Mode::ReadOnly);
    CheckReport report;
    const auto& header = table.header();
    const std::uint64_t dataBytes = table.fileSize() > header.headerLength ? table.fileSize() - header.headerLength : 0;
    const std::uint64_t present = dataBytes / header.recordLength;
    if (present < header.recordCount) {
        report.problems.push_back("The header counts " + std::to_string(header.recordCount) +
                                  " records but the file holds only " + std::to_string(present) + " whole records");
    } else if (present > header.recordCount) {
        // What an append cut short by a crash leaves: the record is written, the count is not yet.
        report.notes.push_back("The file holds " + std::to_string(present - header.recordCount) +
                               " uncounted record(s) after the last one; they are not part of the table");
    }
    if (table.foundInterruptedWrite()) {
        report.notes.push_back("A record rewrite was cut short (its journal is beside the table); the record is "
                               "checked as finished, and the program finishes it when it next opens the table");
    }
    if (table.header().hasProductionIndex) {
        report.notes.push_back("The table is marked as having a production index (.mdx); this program does not "
                               "keep index files up to date, so other programs should rebuild it");
    }
    std::size_t expectedLength = 1;
    for (const auto& f : header.fields) {
        expectedLength += f.length;
    }
    if (expectedLength != header.recordLength) {
        report.notes.push_back("Records are " + std::to_string(header.recordLength) + " bytes, the fields take " +
                               std::to_string(expectedLength));
    }

    const auto& fields = table.fields();
    for (std::uint32_t i = 0; i < table.recordCount(); ++i) {
        std::string_view rec = table.record(i);
        const std::string where = "Record " + std::to_string(i + 1);
        if (rec[0] != ' ' && rec[0] != '*') {
            report.problems.push_back(where + " has an unknown deletion flag");
        }
        for (std::size_t f = 0; f < fields.size(); ++f) {
            const FieldDef& def = fields[f];
            std::string_view raw = rec.substr(def.offset, def.length);
            if (FieldCodec::isMemoType(def.type)) {
                if (!table.memoInRange(def, rec)) {
                    report.problems.push_back(where + ", field " + def.name + ": the memo lies past the end of the memo file");
                }
                continue;
            }
            try {
                if (def.type == 'N' || def.type == 'F') {
                    FieldCodec::toInteger(def, raw, table.codePage());
                } else if (def.type == 'L') {
                    char c = raw[0];
                    if (std::string_view("TtFfYyNn? ").find(c) == std::string_view::npos) {
                        report.problems.push_back(where + ", field " + def.name + ": not a logical value");
                    }
                }
            } catch (const DbfError& e) {
                report.problems.push_back(where + ": " + e.what());
            }
        }
    }
    return report;
}

} // namespace talvern::dbf
