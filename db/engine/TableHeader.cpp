#include "TableHeader.h"

#include "DbfError.h"
#include "LittleEndian.h"
#include "TableDamage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace talvern::dbf {
namespace {

using littleEndian::put16;
using littleEndian::put32;
using littleEndian::get16;
using littleEndian::get32;

constexpr std::size_t kDescriptorLength = 32;
constexpr std::size_t kLevel7DescriptorLength = 48;
constexpr std::size_t kLevel7FieldsStart = 68;
constexpr char kHeaderTerminator = 0x0D;

std::string nameFrom(std::string_view raw) {
    auto end = raw.find('\0');
    std::string name(raw.substr(0, end));
    while (!name.empty() && name.back() == ' ') {
        name.pop_back();
    }
    return name;
}

bool knownType(char type, bool level7) {
    switch (type) {
    case 'C': case 'N': case 'F': case 'L': case 'D': case 'M': case 'B': case 'G':
        return true;
    case 'I': case 'O': case '@': case '+':
        return level7;
    default:
        return false;
    }
}

} // namespace

std::uint8_t versionByte(TableFormat format) {
    switch (format) {
    case TableFormat::DBase3: return 0x03;
    case TableFormat::DBase3Memo: return 0x83;
    case TableFormat::DBase4Memo: return 0x8B;
    case TableFormat::Level7: return 0x04;
    case TableFormat::Level7Memo: return 0x8C;
    }
    return 0x03;
}

std::optional<TableFormat> formatFromVersion(std::uint8_t version) {
    switch (version) {
    case 0x03: return TableFormat::DBase3;
    case 0x83: return TableFormat::DBase3Memo;
    case 0x8B: return TableFormat::DBase4Memo;
    case 0x04: return TableFormat::Level7;
    case 0x8C: return TableFormat::Level7Memo;
    default: return std::nullopt;
    }
}

bool hasMemoFile(TableFormat format) {
    return format == TableFormat::DBase3Memo || format == TableFormat::DBase4Memo || format == TableFormat::Level7Memo;
}

bool isLevel7(TableFormat format) { return format == TableFormat::Level7 || format == TableFormat::Level7Memo; }

std::string formatName(TableFormat format) {
    switch (format) {
    case TableFormat::DBase3: return "dBASE III+";
    case TableFormat::DBase3Memo: return "dBASE III+ with memo";
    case TableFormat::DBase4Memo: return "dBASE IV with memo";
    case TableFormat::Level7: return "dBASE level 7";
    case TableFormat::Level7Memo: return "dBASE level 7 with memo";
    }
    return "dBASE";
}

bool TableHeader::isHeaderTail(std::string_view tail, TableFormat format) {
    auto zeros = [](std::string_view b) { return b.find_first_not_of('\0') == std::string_view::npos; };
    if (zeros(tail)) {
        return true; // nothing, or the padding some dBASE III writers leave after the terminator
    }
    // Level 7 may keep a field properties structure there; its bytes 14-15 give its size, zeros may follow.
    if (!isLevel7(format) || tail.size() < kPropertiesPrefixLength) {
        return false;
    }
    const std::size_t size = get16(tail, 14);
    return size >= kPropertiesPrefixLength && size <= tail.size() && zeros(tail.substr(size));
}

TableHeader TableHeader::parse(std::string_view bytes, const std::string& tableName) {
    auto damaged = [&](const std::string& english, const std::string& polish) {
        return damagedTableError(tableName, {{english, polish}});
    };
    if (bytes.size() < kPrefixLength) {
        throw damaged("the file is shorter than a table header", "plik jest krótszy niż nagłówek tabeli");
    }
    TableHeader h;
    auto version = static_cast<std::uint8_t>(bytes[0]);
    auto format = formatFromVersion(version);
    if (!format) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X", version);
        throw DbfError("Table " + tableName + " is not a dBASE table this program can use (version byte " + hex + ")",
                       "Tabela " + tableName + " nie jest tabelą dBASE, której ten program może używać (bajt wersji " +
                           hex + ").");
    }
    h.format = *format;
    if (bytes[15] != 0) {
        throw DbfError("Table " + tableName + " is encrypted; this program cannot read encrypted tables",
                       "Tabela " + tableName + " jest zaszyfrowana; program nie odczytuje zaszyfrowanych tabel.");
    }
    h.recordCount = get32(bytes, 4);
    h.headerLength = get16(bytes, 8);
    h.recordLength = get16(bytes, 10);
    h.languageDriver = static_cast<std::uint8_t>(bytes[29]);
    h.hasProductionIndex = bytes[28] != 0;

    const bool level7 = isLevel7(h.format);
    const std::size_t start = level7 ? kLevel7FieldsStart : kPrefixLength;
    const std::size_t descLength = level7 ? kLevel7DescriptorLength : kDescriptorLength;
    const std::string headerLength = std::to_string(h.headerLength);
    const std::string recordLength = std::to_string(h.recordLength);
    if (h.headerLength < start + 1) {
        throw damaged("the header length " + headerLength + " is too small",
                      "długość nagłówka " + headerLength + " jest za mała");
    }
    if (bytes.size() < h.headerLength) {
        throw damaged("the file ends inside its header (header length " + headerLength + ")",
                      "plik kończy się wewnątrz nagłówka (długość nagłówka " + headerLength + ")");
    }
    if (h.recordLength < 2) {
        throw damaged("the record length " + recordLength + " is too small",
                      "długość rekordu " + recordLength + " jest za mała");
    }

    std::uint32_t offset = 1;
    std::size_t pos = start;
    bool terminated = false;
    while (pos < h.headerLength) {
        if (bytes[pos] == kHeaderTerminator) {
            terminated = true;
            break;
        }
        if (pos + descLength > h.headerLength) {
            throw damaged("the field descriptors run past the header length " + headerLength,
                          "opisy pól wychodzą poza długość nagłówka " + headerLength);
        }
        std::string_view d = bytes.substr(pos, descLength);
        FieldDef f;
        f.descriptorOffset = static_cast<std::uint32_t>(pos);
        if (level7) {
            f.name = nameFrom(d.substr(0, 32));
            f.type = d[32];
            f.length = static_cast<std::uint8_t>(d[33]);
            f.decimals = static_cast<std::uint8_t>(d[34]);
            f.nextAutoIncrement = get32(d, kNextAutoIncrementOffset);
        } else {
            f.name = nameFrom(d.substr(0, 11));
            f.type = d[11];
            f.length = static_cast<std::uint8_t>(d[16]);
            f.decimals = static_cast<std::uint8_t>(d[17]);
        }
        const std::string number = std::to_string(h.fields.size() + 1);
        if (f.name.empty()) {
            throw damaged("field " + number + " has no name", "pole " + number + " nie ma nazwy");
        }
        if (!knownType(f.type, level7)) {
            throw damaged("field " + f.name + " has an unknown type", "pole " + f.name + " ma nieznany typ");
        }
        if (f.length == 0) {
            throw damaged("field " + f.name + " has no width", "pole " + f.name + " nie ma szerokości");
        }
        f.offset = offset;
        offset += f.length;
        if (offset > h.recordLength) {
            throw damaged("the fields are wider than the record length " + recordLength,
                          "pola są szersze niż długość rekordu " + recordLength);
        }
        h.fields.push_back(std::move(f));
        pos += descLength;
    }
    if (!terminated) {
        // The terminator lies past the header length (or is missing): the length cuts the field list short.
        throw damaged("the field list does not end within the header length " + headerLength +
                          " (the field descriptors run past the header)",
                      "lista pól nie kończy się w obrębie nagłówka o długości " + headerLength +
                          " (opisy pól wychodzą poza nagłówek)");
    }
    if (h.fields.empty()) {
        throw damaged("it has no fields", "nie ma pól");
    }
    if (offset != h.recordLength) {
        const std::string fields = std::to_string(offset);
        throw damaged("the record length " + recordLength + " disagrees with the fields, which take " + fields +
                          " bytes with the deletion flag",
                      "długość rekordu (" + recordLength +
                          ") nie zgadza się z sumą szerokości pól razem ze znacznikiem usunięcia (" + fields + ")");
    }
    if (!isHeaderTail(bytes.substr(pos + 1, h.headerLength - (pos + 1)), h.format)) {
        // What lies between the terminator and the stated end is not padding: records would be read from
        // inside the header (or the header from inside the records).
        const std::string end = std::to_string(pos + 1);
        throw damaged("the header length " + headerLength + " disagrees with the field list, which ends at byte " +
                          end,
                      "długość nagłówka " + headerLength + " nie zgadza się z listą pól, która kończy się na bajcie " +
                          end);
    }
    return h;
}

void validateFieldSpec(TableFormat format, const FieldSpec& field) {
    const bool level7 = isLevel7(format);
    const std::size_t maxName = level7 ? 31 : 10;
    if (field.name.empty() || field.name.size() > maxName) {
        throw DbfError("Field name \"" + field.name + "\" must have 1 to " + std::to_string(maxName) + " characters");
    }
    if (!knownType(field.type, level7) || field.type == 'B' || field.type == 'G') {
        throw DbfError(std::string("Field ") + field.name + ": type " + field.type + " cannot be created in " +
                       formatName(format));
    }
    if (field.type == 'M' && !hasMemoFile(format)) {
        throw DbfError("Field " + field.name + ": memo fields need a table with a memo file");
    }
    if (field.length == 0) {
        throw DbfError("Field " + field.name + " needs a width");
    }
}

void currentDateBytes(std::uint8_t out[3]) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    out[0] = static_cast<std::uint8_t>(std::clamp(local.tm_year, 0, 255));
    out[1] = static_cast<std::uint8_t>(local.tm_mon + 1);
    out[2] = static_cast<std::uint8_t>(local.tm_mday);
}

std::string TableHeader::build(TableFormat format, const std::vector<FieldSpec>& fields, std::uint8_t languageDriver) {
    const bool level7 = isLevel7(format);
    const std::size_t start = level7 ? kLevel7FieldsStart : kPrefixLength;
    const std::size_t descLength = level7 ? kLevel7DescriptorLength : kDescriptorLength;
    const std::size_t headerLength = start + descLength * fields.size() + 1;
    std::size_t recordLength = 1;
    for (const auto& f : fields) {
        validateFieldSpec(format, f);
        recordLength += f.length;
    }
    if (fields.empty() || headerLength > 0xFFFF || recordLength > 0xFFFF) {
        throw DbfError("A table needs between 1 and about 2000 fields and records shorter than 65535 bytes");
    }
    std::string h(headerLength, '\0');
    h[0] = static_cast<char>(versionByte(format));
    std::uint8_t date[3];
    currentDateBytes(date);
    std::memcpy(&h[1], date, 3);
    put32(h, 4, 0);
    put16(h, 8, static_cast<std::uint32_t>(headerLength));
    put16(h, 10, static_cast<std::uint32_t>(recordLength));
    h[29] = static_cast<char>(languageDriver);
    // Level 7 also has a language driver name (bytes 32-63); it stays empty and the driver byte names the
    // code page, as in the older layouts.
    std::size_t pos = start;
    for (const auto& f : fields) {
        if (level7) {
            std::memcpy(&h[pos], f.name.data(), f.name.size());
            h[pos + 32] = f.type;
            h[pos + 33] = static_cast<char>(f.length);
            h[pos + 34] = static_cast<char>(f.decimals);
            if (f.type == '+') {
                put32(h, pos + kNextAutoIncrementOffset, 1);
            }
        } else {
            std::memcpy(&h[pos], f.name.data(), f.name.size());
            h[pos + 11] = f.type;
            h[pos + 16] = static_cast<char>(f.length);
            h[pos + 17] = static_cast<char>(f.decimals);
        }
        pos += descLength;
    }
    h[pos] = kHeaderTerminator;
    return h;
}

} // namespace talvern::dbf
