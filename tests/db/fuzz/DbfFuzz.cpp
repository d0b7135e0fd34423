// libFuzzer target for the table reader. Input: a 16-bit little-endian length, that many bytes of table
// file, then the bytes of its memo file. Every record and field is read, the structural check and the
// repair run, and the cursor walks, locates and edits, all of which must end in a value or a DbfError,
// never a crash or hang.
#include "DbfError.h"
#include "DbfTable.h"
#include "TTable.h"
#include "TableCheck.h"
#include "TableRepair.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

std::string folder() {
    // Memory-backed when possible: closing a table forces it to disk, which would dominate each run.
    static std::string path = [] {
        const std::string base =
            ::access("/dev/shm", W_OK) == 0 ? std::string("/dev/shm") : std::filesystem::temp_directory_path().string();
        std::string pattern = base + "/talvern-dbf-fuzz-XXXXXX";
        const char* made = ::mkdtemp(pattern.data());
        return made ? std::string(made) : base;
    }();
    return path;
}

void writeFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        return;
    }
    if (size > 0) {
        std::fwrite(data, 1, size, f);
    }
    std::fclose(f);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    std::size_t tableSize = data[0] | static_cast<std::size_t>(data[1]) << 8;
    data += 2;
    size -= 2;
    if (tableSize > size) {
        tableSize = size;
    }
    const std::string table = folder() + "/t.dbf";
    const std::string memo = folder() + "/t.dbt";
    writeFile(table, data, tableSize);
    writeFile(memo, data + tableSize, size - tableSize);

    try {
        talvern::dbf::DbfTable file(table, talvern::dbf::DbfTable::Mode::ReadOnly);
        for (std::uint32_t r = 0; r < file.recordCount(); ++r) {
            std::string rec(file.record(r));
            for (std::size_t f = 0; f < file.fields().size(); ++f) {
                try {
                    file.text(static_cast<int>(f), rec);
                } catch (const talvern::dbf::DbfError&) {
                }
            }
        }
    } catch (const talvern::dbf::DbfError&) {
    }
    try {
        talvern::dbf::checkTable(table);
    } catch (const talvern::dbf::DbfError&) {
    }
    // Repair derives a header from whatever the bytes say; its copy is opened by repair itself to prove it.
    try {
        talvern::dbf::repairTable(table);
    } catch (const talvern::dbf::DbfError&) {
    }
    ::unlink((folder() + "/t-naprawiona.dbf").c_str());
    ::unlink((folder() + "/t-naprawiona.dbt").c_str());
    try {
        talvern::db::TTable cursor;
        cursor.open(table);
        for (cursor.first(); !cursor.eof(); cursor.next()) {
            for (int f = 0; f < cursor.fieldCount(); ++f) {
                try {
                    cursor.field(f).asString();
                    cursor.field(f).asInteger();
                } catch (const talvern::dbf::DbfError&) {
                }
            }
        }
        if (cursor.fieldCount() > 0) {
            cursor.locate(cursor.field(0).name(), "x", true);
            cursor.edit();
            cursor.field(0).setAsString("1");
            cursor.post();
        }
    } catch (const talvern::dbf::DbfError&) {
    }
    return 0;
}
