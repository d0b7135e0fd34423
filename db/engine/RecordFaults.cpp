#include "RecordFaults.h"

#include "FieldCodec.h"
#include "MemoFile.h"

namespace talvern::dbf {

std::vector<std::size_t> memoFieldPositions(const std::vector<FieldDef>& fields) {
    std::vector<std::size_t> positions;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (FieldCodec::isMemoType(fields[i].type)) {
            positions.push_back(i);
        }
    }
    return positions;
}

bool memoPointerReadable(const FieldDef& field, std::string_view raw) {
    std::size_t first = 0, last = raw.size();
    while (first < last && (raw[first] == ' ' || raw[first] == '\0')) {
        ++first;
    }
    while (last > first && (raw[last - 1] == ' ' || raw[last - 1] == '\0')) {
        --last;
    }
    if (first == last) {
        return true; // no note
    }
    if (field.length == 4 && (raw[first] < '0' || raw[first] > '9')) {
        return true; // the binary pointer some writers keep in 4-byte memo fields (FieldCodec::memoBlock)
    }
    std::uint64_t value = 0;
    for (std::size_t i = first; i < last; ++i) {
        if (raw[i] < '0' || raw[i] > '9') {
            return false;
        }
        value = value * 10 + static_cast<std::uint64_t>(raw[i] - '0');
        if (value > 0xFFFFFFFFull) {
            return false;
        }
    }
    return true;
}

RecordFaults inspectRecord(const std::vector<FieldDef>& fields, const std::vector<std::size_t>& memoFields,
                           std::string_view record, const MemoFile* memo) {
    RecordFaults faults;
    faults.badFlag = record.empty() || (record[0] != ' ' && record[0] != '*');
    for (std::size_t position : memoFields) {
        const FieldDef& field = fields[position];
        const std::string_view raw = record.substr(field.offset, field.length);
        if (!memoPointerReadable(field, raw)) {
            faults.memos.push_back({position, 0, true});
            continue;
        }
        const std::uint32_t block = FieldCodec::memoBlock(field, raw);
        if (block != 0 && !(memo && memo->isOpen() && memo->contains(block))) {
            faults.memos.push_back({position, block, false});
        }
    }
    return faults;
}

} // namespace talvern::dbf
