#include "TableCheck.h"

#include "DbfError.h"
#include "DbfTable.h"
#include "FieldCodec.h"
#include "TableDamage.h"

#include <memory>

namespace talvern::dbf {
namespace {

std::string sentence(const std::string& clause) {
    std::string s = clause;
    if (!s.empty() && s[0] >= 'a' && s[0] <= 'z') {
        s[0] = static_cast<char>(s[0] - 'a' + 'A');
    }
    return s;
}

} // namespace

CheckReport checkTable(const std::string& path) {
    CheckReport report;
    std::unique_ptr<DbfTable> opened;
    try {
        opened = std::make_unique<DbfTable>(path, DbfTable::Mode::ReadOnly, DbfTable::OnDamage::Inspect);
    } catch (const DamagedTableError& e) {
        // The header itself cannot be read: nothing past it can be checked.
        for (const auto& d : e.damage()) {
            report.damage.push_back(sentence(d.english));
        }
        return report;
    }
    DbfTable& table = *opened;
    for (const auto& d : table.findings().damage) {
        report.damage.push_back(sentence(d.english));
    }
    report.notes = table.findings().notes;
    if (table.foundInterruptedWrite()) {
        report.notes.push_back("A record rewrite was cut short (its journal is beside the table); the record is "
                               "checked as finished, and the program finishes it when it next opens the table");
    }
    if (table.header().hasProductionIndex) {
        report.notes.push_back("The table is marked as having a production index (.mdx); this program does not "
                               "keep index files up to date, so other programs should rebuild it");
    }

    // Flags and memo pointers are checked by opening; here the values of the other fields.
    const auto& fields = table.fields();
    for (std::uint32_t i = 0; i < table.recordCount(); ++i) {
        std::string_view rec = table.record(i);
        const std::string where = "Record " + std::to_string(i + 1);
        for (std::size_t f = 0; f < fields.size(); ++f) {
            const FieldDef& def = fields[f];
            std::string_view raw = rec.substr(def.offset, def.length);
            if (FieldCodec::isMemoType(def.type)) {
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
