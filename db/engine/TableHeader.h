#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talvern::dbf {

// The file layouts this engine reads and writes. A table keeps the layout it was opened in.
enum class TableFormat {
    DBase3,     // version byte 0x03: dBASE III+ (or dBASE IV) without memos
    DBase3Memo, // 0x83: dBASE III+ with a .dbt of 512-byte blocks ended by 0x1A
    DBase4Memo, // 0x8B: dBASE IV with a .dbt whose block size is in its header, blocks carrying their length
    Level7,     // 0x04: level 7 (48-byte field descriptors, binary integer/double/timestamp/autoincrement types)
    Level7Memo, // 0x8C: level 7 with a dBASE IV style .dbt
};

std::uint8_t versionByte(TableFormat format);
std::optional<TableFormat> formatFromVersion(std::uint8_t version);
bool hasMemoFile(TableFormat format);
bool isLevel7(TableFormat format);
// A short human name, e.g. "dBASE III+ with memo".
std::string formatName(TableFormat format);

// A field as the file describes it. name is as written in the file (no case folding).
// Where a level-7 field descriptor keeps an autoincrement field's next value (four bytes, little-endian).
// The BDE's own files and the other readers of level 7 put it at 42-45, not at 40-43 as the published
// description of the format has it.
inline constexpr std::size_t kNextAutoIncrementOffset = 42;

struct FieldDef {
    std::string name;
    char type = 'C';
    std::uint8_t length = 0;
    std::uint8_t decimals = 0;
    std::uint32_t offset = 0;             // byte offset in the record (the deletion flag is byte 0)
    std::uint32_t descriptorOffset = 0;   // where the descriptor sits in the header
    std::uint32_t nextAutoIncrement = 0;  // level 7 '+' fields only
};

// What a new table's field should look like; used when creating tables.
struct FieldSpec {
    std::string name;
    char type;
    std::uint8_t length;
    std::uint8_t decimals = 0;
};

struct TableHeader {
    TableFormat format = TableFormat::DBase3;
    std::uint32_t recordCount = 0;   // as the header says; see DbfTable for what is trusted
    std::uint16_t headerLength = 0;
    std::uint16_t recordLength = 0;
    std::uint8_t languageDriver = 0;
    bool hasProductionIndex = false; // byte 28: other programs keep a .mdx index beside the table
    std::vector<FieldDef> fields;

    // The fixed part every layout shares and how much of the file holds the header.
    static constexpr std::size_t kPrefixLength = 32;

    // Parses a header whose first kPrefixLength bytes say its length; bytes must hold headerLength bytes
    // (fewer when the file is shorter). Throws DbfError with tableName in the message (and a Polish text for
    // the operator) when the header is damaged: unknown version, a record length other than the fields',
    // descriptors past the header length, anything but padding between the field list and the header's end.
    static TableHeader parse(std::string_view bytes, const std::string& tableName);

    // Whether the bytes between the field list's terminator and the header's stated end are what writers
    // leave there: nothing, zeros, or in level 7 a field properties structure whose size (its bytes 14-15)
    // fits, zeros after it. Anything else means the header length is wrong.
    static bool isHeaderTail(std::string_view tail, TableFormat format);
    static constexpr std::size_t kPropertiesPrefixLength = 16;

    // The complete header of a new, empty table.
    static std::string build(TableFormat format, const std::vector<FieldSpec>& fields, std::uint8_t languageDriver);
};

// Validates a field of a new table; throws DbfError on a type the format does not have or a bad width.
void validateFieldSpec(TableFormat format, const FieldSpec& field);

// The header's last-update date bytes (years since 1900, month, day) for today.
void currentDateBytes(std::uint8_t out[3]);

} // namespace talvern::dbf
