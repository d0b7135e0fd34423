#include "RecordSearch.h"

#include "SearchFold.h"
#include "Utf8Letters.h"

#include <algorithm>
#include <cstring>

namespace talvern::db {
namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\0')) {
        s.remove_suffix(1);
    }
    return s;
}

bool allDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool isCharacterType(char type) { return type == 'C'; }
bool isPlainNumberType(char type) { return type == 'N' || type == 'F'; }

// The first UTF-8 character of text as a code point; 0xFFFD when it cannot be read.
char32_t firstCodePoint(std::string_view s) {
    const Utf8Letter letter = readUtf8Letter(s, 0);
    return letter.length == 0 ? 0xFFFD : letter.code;
}

} // namespace

RecordSearch::RecordSearch(TTable& table, std::vector<std::string> textFields, std::vector<std::string> numberFields)
    : m_table(table), m_textNames(std::move(textFields)), m_numberNames(std::move(numberFields)) {}

void RecordSearch::resolve() {
    dbf::DbfTable* file = m_table.file();
    if (file == m_resolvedFor) {
        return;
    }
    m_resolvedFor = file;
    m_textFields.clear();
    m_numberFields.clear();
    if (!file) {
        return;
    }
    auto add = [&](const std::vector<std::string>& names, std::vector<Field>& into) {
        for (const std::string& name : names) {
            const int index = file->findField(name);
            if (index >= 0) {
                const dbf::FieldDef& def = file->fields()[static_cast<std::size_t>(index)];
                into.push_back({index, def.type, def.offset, def.length});
            }
        }
    };
    add(m_textNames, m_textFields);
    add(m_numberNames, m_numberFields);
    // Each byte of the code page folded as its letter folds; a letter that folds to one the code page lacks
    // stays as it is.
    const dbf::CodePage& codePage = file->codePage();
    for (int b = 0; b < 256; ++b) {
        m_fold[static_cast<std::size_t>(b)] = static_cast<unsigned char>(b);
        if (b == 0) {
            continue;
        }
        const char byte = static_cast<char>(b);
        const char32_t folded = foldLetterForSearch(firstCodePoint(codePage.toUtf8(std::string_view(&byte, 1))));
        if (folded < 0x80) {
            m_fold[static_cast<std::size_t>(b)] = static_cast<unsigned char>(folded);
            continue;
        }
        try {
            const std::string back = codePage.fromUtf8(foldForSearch(codePage.toUtf8(std::string_view(&byte, 1))));
            if (back.size() == 1) {
                m_fold[static_cast<std::size_t>(b)] = static_cast<unsigned char>(back[0]);
            }
        } catch (const DbfError&) {
        }
    }
    setText(m_text);
}

void RecordSearch::setText(std::string_view utf8) {
    m_text = std::string(utf8);
    const std::string_view wanted = trimmed(m_text);
    m_wanted.clear();
    m_wantedFolded = foldForSearch(wanted);
    if (wanted.empty()) {
        m_kind = Kind::Nothing;
    } else if (allDigits(wanted)) {
        m_kind = Kind::Digits;
        m_wanted = std::string(wanted);
    } else {
        m_kind = Kind::Letters;
        if (m_resolvedFor) {
            try {
                m_wanted = m_resolvedFor->codePage().fromUtf8(m_wantedFolded);
                for (char& c : m_wanted) {
                    c = static_cast<char>(m_fold[static_cast<unsigned char>(c)]);
                }
            } catch (const DbfError&) {
                m_kind = Kind::Unmatchable; // a letter no record can hold
            }
        }
    }
}

bool RecordSearch::matchesRecord(std::string_view record) {
    if (m_kind == Kind::Digits) {
        for (const Field& f : m_numberFields) {
            if (isPlainNumberType(f.type)) {
                std::string_view digits = trimmed(record.substr(f.offset, f.length));
                if (digits.substr(0, m_wanted.size()) == m_wanted) {
                    return true;
                }
            } else if (trimmed(m_resolvedFor->text(f.index, record)).substr(0, m_wanted.size()) == m_wanted) {
                return true;
            }
        }
        return false;
    }
    const std::size_t n = m_wanted.size();
    const auto* want = reinterpret_cast<const unsigned char*>(m_wanted.data());
    for (const Field& f : m_textFields) {
        if (!isCharacterType(f.type)) {
            if (foldForSearch(m_resolvedFor->text(f.index, record)).find(m_wantedFolded) != std::string::npos) {
                return true;
            }
            continue;
        }
        const std::string_view raw = trimmed(record.substr(f.offset, f.length));
        if (raw.size() < n) {
            continue;
        }
        const auto* have = reinterpret_cast<const unsigned char*>(raw.data());
        for (std::size_t at = 0; at + n <= raw.size(); ++at) {
            if (m_fold[have[at]] != want[0]) {
                continue;
            }
            std::size_t k = 1;
            while (k < n && m_fold[have[at + k]] == want[k]) {
                ++k;
            }
            if (k == n) {
                return true;
            }
        }
    }
    return false;
}

// The record being changed, read through the cursor as the grid reads it.
bool RecordSearch::matchesValues(int recNo) {
    if (m_kind == Kind::Digits) {
        for (const Field& f : m_numberFields) {
            if (trimmed(m_table.valueAt(recNo, f.index)).substr(0, m_wanted.size()) == m_wanted) {
                return true;
            }
        }
        return false;
    }
    for (const Field& f : m_textFields) {
        if (foldForSearch(m_table.valueAt(recNo, f.index)).find(m_wantedFolded) != std::string::npos) {
            return true;
        }
    }
    return false;
}

template <typename Visit> void RecordSearch::scan(Visit visit) {
    dbf::DbfTable* file = m_table.file();
    const std::size_t length = file->recordLength();
    const std::uint32_t physicalCount = file->recordCount();
    const int beingChanged = m_table.state() == TTable::State::Edit ? m_table.recNo() : 0;
    int recNo = 0;
    for (std::uint32_t physical = 0; physical < physicalCount;) {
        const std::string_view run = file->recordsFrom(physical);
        const auto inRun = static_cast<std::uint32_t>(run.size() / length);
        // Reading the record being changed through the cursor may move the read-ahead window: the run is
        // read again after it.
        bool reread = false;
        std::uint32_t i = 0;
        for (; i < inRun && !reread; ++i) {
            const std::string_view record = run.substr(static_cast<std::size_t>(i) * length, length);
            if (dbf::DbfTable::isDeleted(record)) {
                continue;
            }
            ++recNo;
            bool match;
            if (recNo == beingChanged) {
                match = matchesValues(recNo);
                reread = true;
            } else {
                match = matchesRecord(record);
            }
            if (!visit(recNo, match)) {
                return;
            }
        }
        physical += i;
    }
}

bool RecordSearch::matches(int recNo) {
    if (!m_table.isOpen()) {
        return false;
    }
    resolve();
    if (m_kind == Kind::Nothing || m_kind == Kind::Unmatchable || recNo < 1 || recNo > m_table.recordCount()) {
        return false;
    }
    return matchesValues(recNo);
}

int RecordSearch::first() {
    if (!m_table.isOpen()) {
        return 0;
    }
    resolve();
    if (m_kind == Kind::Nothing || m_kind == Kind::Unmatchable) {
        return 0;
    }
    int found = 0;
    scan([&](int recNo, bool match) {
        if (match) {
            found = recNo;
        }
        return !match;
    });
    return found;
}

int RecordSearch::next(int from, bool forward) {
    if (!m_table.isOpen()) {
        return 0;
    }
    resolve();
    if (m_kind == Kind::Nothing || m_kind == Kind::Unmatchable) {
        return 0;
    }
    int firstMatch = 0;  // the first match of all: where a forward search goes round to
    int lastBefore = 0;  // the last match before from
    int firstAfter = 0;  // the first match after from
    int lastMatch = 0;   // the last match of all: where a backward search goes round to
    bool atFrom = false; // from itself matches
    scan([&](int recNo, bool match) {
        if (match) {
            if (firstMatch == 0) {
                firstMatch = recNo;
            }
            lastMatch = recNo;
            if (recNo < from) {
                lastBefore = recNo;
            } else if (recNo == from) {
                atFrom = true;
            } else if (firstAfter == 0) {
                firstAfter = recNo;
                if (forward) {
                    return false;
                }
            }
        }
        return true;
    });
    if (forward) {
        return firstAfter ? firstAfter : firstMatch;
    }
    if (lastBefore) {
        return lastBefore;
    }
    return lastMatch ? lastMatch : (atFrom ? from : 0);
}

} // namespace talvern::db
