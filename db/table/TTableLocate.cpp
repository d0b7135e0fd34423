#include "TTable.h"

#include "FieldCodec.h"
#include "TextFold.h"

#include <charconv>
#include <cmath>

namespace talvern::db {

namespace {

bool parseNumber(std::string_view s, double& out) {
    while (!s.empty() && s.front() == ' ') {
        s.remove_prefix(1);
    }
    while (!s.empty() && s.back() == ' ') {
        s.remove_suffix(1);
    }
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
    }
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && p == s.data() + s.size() && !s.empty();
}

std::string_view trimRight(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) {
        s.remove_suffix(1);
    }
    return s;
}

} // namespace

bool TTable::locate(std::string_view fieldName, std::string_view value, bool ignoreCase) {
    requireOpen();
    TField target = fieldByName(fieldName);
    storeOrDrop();
    const dbf::FieldDef& f = def(target.index());
    const int count = recordCount();

    // Each kind compares in the cheapest form: text fields as file bytes when letter case counts.
    std::string wantBytes;
    std::string wantFolded;
    double wantNumber = 0;
    bool numeric = f.type == 'N' || f.type == 'F' || f.type == 'I' || f.type == '+' || f.type == 'O';
    bool wantNumberValid = numeric && parseNumber(value, wantNumber);
    if (f.type == 'C' && !ignoreCase) {
        try {
            wantBytes = m_file->codePage().fromUtf8(value);
        } catch (const DbfError&) {
            return false; // a text the table cannot even hold is in no record
        }
        wantBytes = std::string(trimRight(wantBytes));
    } else {
        wantFolded = ignoreCase ? foldCase(trimRight(value)) : std::string(trimRight(value));
    }
    if (numeric && !wantNumberValid && !trimRight(value).empty()) {
        return false;
    }

    // Whole numbers are usually written as plain digits: compare those as text and parse only the rest.
    std::string wantDigits;
    if (wantNumberValid && f.decimals == 0 && wantNumber == std::floor(wantNumber) && std::fabs(wantNumber) < 1e15) {
        wantDigits = std::to_string(static_cast<long long>(wantNumber));
    }
    // Walks the file's records in window-sized runs, skipping deleted ones, without a call per record.
    int found = 0;
    int rec = 0;
    const std::uint32_t physicalCount = m_file->recordCount();
    const std::size_t length = m_file->recordLength();
    std::size_t nextDeleted = 0;
    std::uint32_t physical = 0;
    while (physical < physicalCount && found == 0 && rec < count) {
        const std::string_view run = m_file->recordsFrom(physical);
        for (std::size_t at = 0; at < run.size() && found == 0; at += length, ++physical) {
            if (nextDeleted < m_deleted.size() && m_deleted[nextDeleted] == physical) {
                ++nextDeleted;
                continue;
            }
            ++rec;
            const std::string_view record = run.substr(at, length);
            std::string_view raw = record.substr(f.offset, f.length);
            bool match;
            if (f.type == 'C' && !ignoreCase) {
                // The wanted bytes, then nothing but blanks (spaces, or NULs from some writers).
                match = raw.size() >= wantBytes.size() && raw.compare(0, wantBytes.size(), wantBytes) == 0 &&
                        trimRight(raw.substr(wantBytes.size())).empty();
            } else if (numeric && wantNumberValid) {
                std::string_view digits = trimRight(raw);
                while (!digits.empty() && digits.front() == ' ') {
                    digits.remove_prefix(1);
                }
                if (!wantDigits.empty() && (f.type == 'N' || f.type == 'F') && digits == wantDigits) {
                    match = true;
                } else if (!wantDigits.empty() && (f.type == 'N' || f.type == 'F') && !digits.empty() &&
                           digits.find_first_of(".+eE") == std::string_view::npos &&
                           !(digits.size() > 1 && (digits[0] == '0' || (digits[0] == '-' && digits[1] == '0')))) {
                    match = false; // plain digits that differ from the wanted number's digits
                } else {
                    double have;
                    std::string text = dbf::FieldCodec::toText(f, raw, m_file->codePage());
                    match = parseNumber(text, have) && have == wantNumber;
                }
            } else {
                std::string text = m_file->text(target.index(), record);
                match = (ignoreCase ? foldCase(trimRight(text)) : std::string(trimRight(text))) == wantFolded;
            }
            if (match) {
                found = rec;
            }
        }
    }
    if (found == 0) {
        return false;
    }
    goTo(found);
    m_eof = false;
    notify(TableEvent::RecordMoved);
    return true;
}

} // namespace talvern::db
