#pragma once

#include "TableHeader.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace talvern::dbf {

class MemoFile;

// What is wrong inside one record, as opening a table and talvern-dbf repair see it: a deletion flag that
// is neither ' ' nor '*' (records that do not lie where the header puts them), and memo pointers that cannot
// be followed (not a block number, or a block past the end of the memo file).
struct MemoFault {
    std::size_t field = 0;   // position in the field list
    std::uint32_t block = 0; // the block pointed at; 0 when the pointer is not a number
    bool unreadable = false; // true: not a block number at all
};

struct RecordFaults {
    bool badFlag = false;
    std::vector<MemoFault> memos;
    bool any() const { return badFlag || !memos.empty(); }
};

// The positions of the memo fields (M, B, G) among fields: the only ones inspected beyond the flag.
std::vector<std::size_t> memoFieldPositions(const std::vector<FieldDef>& fields);

// Inspects record (recordLength bytes, flag first). memo is the open memo file, or nullptr when the table
// has none (then every pointer other than "none" is a fault).
RecordFaults inspectRecord(const std::vector<FieldDef>& fields, const std::vector<std::size_t>& memoFields,
                           std::string_view record, const MemoFile* memo);

// True when a memo field's bytes are blank, a number of a block, or a 4-byte binary pointer.
bool memoPointerReadable(const FieldDef& field, std::string_view raw);

} // namespace talvern::dbf
