#include "Commands.h"

#include "Csv.h"
#include "DbfError.h"
#include "DbfTable.h"
#include "FileNames.h"
#include "TTable.h"
#include "TableCheck.h"

#include <fstream>
#include <stdexcept>

namespace talvern::dbftool {

int checkTable(const std::string& path, std::ostream& out) {
    dbf::CheckReport report;
    try {
        report = dbf::checkTable(path);
    } catch (const dbf::DbfError& e) {
        out << "error: " << e.what() << "\n";
        return 1;
    }
    for (const auto& note : report.notes) {
        out << "note: " << note << "\n";
    }
    for (const auto& damage : report.damage) {
        out << "damage: " << damage << "\n";
    }
    for (const auto& problem : report.problems) {
        out << "problem: " << problem << "\n";
    }
    if (!report.damage.empty()) {
        out << "damaged: the program refuses this table and writes nothing to it; talvern-dbf repair " << path
            << " writes a repaired copy, " << dbf::repairedCopyPath(path) << "\n";
        return 1;
    }
    if (!report.problems.empty()) {
        return 1;
    }
    out << "ok\n";
    return 0;
}

int exportCsv(const std::string& path, std::ostream& out) {
    dbf::DbfTable table(path, dbf::DbfTable::Mode::ReadOnly);
    std::vector<std::string> row;
    for (const auto& f : table.fields()) {
        row.push_back(f.name);
    }
    writeCsvRow(out, row);
    for (std::uint32_t r = 0; r < table.recordCount(); ++r) {
        std::string rec(table.record(r));
        if (dbf::DbfTable::isDeleted(rec)) {
            continue;
        }
        row.clear();
        for (std::size_t i = 0; i < table.fields().size(); ++i) {
            row.push_back(table.text(static_cast<int>(i), rec));
        }
        writeCsvRow(out, row);
    }
    return 0;
}

namespace {

struct CsvInput {
    std::ifstream stream;
    std::vector<std::string> header;
};

void openCsv(const std::string& csvPath, CsvInput& input) {
    input.stream.open(csvPath, std::ios::binary);
    if (!input.stream) {
        throw std::runtime_error("The CSV file " + csvPath + " cannot be read");
    }
    auto header = readCsvRow(input.stream);
    if (!header) {
        throw std::runtime_error("The CSV file " + csvPath + " is empty: it needs a header row of field names");
    }
    input.header = *header;
    if (!input.header.empty() && input.header[0].rfind("\xEF\xBB\xBF", 0) == 0) {
        input.header[0].erase(0, 3); // a byte-order mark some spreadsheets put first
    }
}

// Puts one CSV row into the record being appended; throws naming the line on a value the table refuses.
void fillRecord(db::TTable& table, const std::vector<int>& columns, const std::vector<std::string>& row,
                std::size_t line) {
    if (row.size() != columns.size()) {
        throw std::runtime_error("CSV line " + std::to_string(line) + " has " + std::to_string(row.size()) +
                                 " values; the header has " + std::to_string(columns.size()));
    }
    for (std::size_t c = 0; c < columns.size(); ++c) {
        try {
            table.field(columns[c]).setAsString(row[c]);
        } catch (const dbf::DbfError& e) {
            throw std::runtime_error("CSV line " + std::to_string(line) + ": " + e.what());
        }
    }
}

} // namespace

int importCsv(const std::string& csvPath, const std::string& path, std::ostream& out) {
    db::TTable table;
    table.open(path);
    std::vector<int> columns;
    {
        CsvInput input;
        openCsv(csvPath, input);
        for (const auto& name : input.header) {
            int index = table.findField(name);
            if (index < 0) {
                throw std::runtime_error("Table " + table.tableName() + " has no field " + name + " (CSV header)");
            }
            columns.push_back(index);
        }
        // First pass: every value must fit, so that a bad line leaves the table untouched.
        table.disableControls();
        std::size_t line = 1;
        while (auto row = readCsvRow(input.stream)) {
            ++line;
            table.append();
            try {
                fillRecord(table, columns, *row, line);
            } catch (...) {
                table.cancel();
                throw;
            }
            table.cancel();
        }
    }
    // Every line fits: the site is backed up before the first record is added.
    backupBeforeImport(path, out);
    CsvInput input;
    openCsv(csvPath, input);
    std::size_t line = 1, added = 0;
    while (auto row = readCsvRow(input.stream)) {
        ++line;
        table.append();
        fillRecord(table, columns, *row, line);
        table.post();
        ++added;
    }
    table.close();
    out << "appended " << added << " record(s) to " << path << "\n";
    return 0;
}

} // namespace talvern::dbftool
