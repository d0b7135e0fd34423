#pragma once

#include "TableHeader.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace talvern::dbf {

class CodePage;

// Converts one field's bytes in a record to and from program values. raw is exactly field.length bytes.
// Memo fields hold only a block pointer here; their text is read and written by DbfTable.
// Errors are DbfError texts naming the field, with a Polish operator text beside the English one.
namespace FieldCodec {

// True when the field holds no value: blanks for text-coded types, zero bytes for binary ones.
bool isNull(const FieldDef& field, std::string_view raw);

// The value as UTF-8 text: text without trailing blanks, numbers as written, logicals "True"/"False",
// dates YYYY-MM-DD, timestamps YYYY-MM-DD HH:MM:SS.mmm (milliseconds always shown); "" for no value.
// Not for memo fields.
std::string toText(const FieldDef& field, std::string_view raw, const CodePage& codePage);

// A text (C) field's bytes as toText reads them, still in the code page: up to a NUL, trailing blanks cut.
// For scans that compare one field of many records without decoding each.
std::string_view textBytes(std::string_view raw);

// The value as a whole number (0 when the field holds none). Decimal numbers are rounded. Throws on text
// that is not a number and on types that hold no number.
std::int64_t toInteger(const FieldDef& field, std::string_view raw, const CodePage& codePage);

// The value as true/false (false when the field holds none). Logical fields, and text fields holding
// "True"/"False"/"T"/"F". Throws on other types.
bool toBoolean(const FieldDef& field, std::string_view raw, const CodePage& codePage);

// The field's bytes for a value. Throws when the value does not fit or is not of the field's kind
// (text too long, a number wider than the field, a character outside the code page). "" stores no value.
// Timestamps take YYYY-MM-DD, optionally with HH:MM, HH:MM:SS or HH:MM:SS.mmm after a blank or a T.
std::string fromText(const FieldDef& field, std::string_view text, const CodePage& codePage);
std::string fromInteger(const FieldDef& field, std::int64_t value);
std::string fromBoolean(const FieldDef& field, bool value);
// The bytes of a field holding no value.
std::string blank(const FieldDef& field);

// Memo block pointer kept in a memo field: 0 when none (or unreadable digits).
std::uint32_t memoBlock(const FieldDef& field, std::string_view raw);
std::string memoPointer(const FieldDef& field, std::uint32_t block);

bool isMemoType(char type);

} // namespace FieldCodec
} // namespace talvern::dbf
