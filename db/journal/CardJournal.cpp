#include "CardJournal.h"

#include "DbfError.h"
#include "DbfTable.h"
#include "FieldCodec.h"
#include "FileNames.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace talvern::journal {
namespace {

// Field positions, in the order of CardJournal::fields().
enum Field { Written, Kind, Option, Number, Index, SysCode, Surname, Name, Group, Access, Reader, RSettings, Result, Mode,
             FieldCount };

// A new journal's folder entry must be on the disk before a row counts as kept.
void syncDirectory(const std::string& directory) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        throw dbf::DbfError("Folder of karty.dbf cannot be opened (" + std::string(std::strerror(errno)) + ")");
    }
    const int rc = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    if (rc != 0 && error != EINVAL) {
        throw dbf::DbfError("Folder of karty.dbf cannot be written to the disk (" + std::string(std::strerror(error)) + ")");
    }
}

// Text cut to the field's width in the code page and with characters it lacks replaced, so that a holder's
// long name or an odd character never costs the row.
std::string fitText(const dbf::FieldDef& field, const std::string& text, const dbf::CodePage& codePage) {
    std::string value = text;
    for (;;) {
        try {
            return dbf::FieldCodec::fromText(field, value, codePage);
        } catch (const dbf::DbfError&) {
            if (value.empty()) {
                return dbf::FieldCodec::blank(field);
            }
        }
        // Drop the last UTF-8 character, or replace what cannot be encoded, and try again.
        std::string shorter;
        bool replaced = false;
        for (std::size_t i = 0; i < value.size();) {
            std::size_t len = 1;
            const auto c = static_cast<unsigned char>(value[i]);
            if (c >= 0xF0) {
                len = 4;
            } else if (c >= 0xE0) {
                len = 3;
            } else if (c >= 0xC0) {
                len = 2;
            }
            const std::string one = value.substr(i, len);
            i += len;
            bool fits = true;
            try {
                dbf::FieldCodec::fromText(field, one, codePage);
            } catch (const dbf::DbfError&) {
                fits = false;
            }
            shorter += fits ? one : "?";
            replaced = replaced || !fits;
        }
        if (!replaced) {
            // Every character fits: the text is too long; cut one character off the end.
            std::size_t end = shorter.size() - 1;
            while (end > 0 && (static_cast<unsigned char>(shorter[end]) & 0xC0) == 0x80) {
                --end;
            }
            shorter.resize(end);
        }
        if (replaced && shorter == value) {
            // Not even '?' fits: the field is not text (a journal another program rebuilt with other types).
            throw dbf::DbfError("Field " + field.name + " of karty.dbf cannot hold the text \"" + text + "\"",
                                "Pole " + field.name + " dziennika kart karty.dbf nie może przechować tekstu „" + text +
                                    "”.");
        }
        value = shorter;
    }
}

} // namespace

CardJournal::CardJournal(std::string siteDirectory) : m_directory(std::move(siteDirectory)) {
    while (m_directory.size() > 1 && m_directory.back() == '/') {
        m_directory.pop_back();
    }
}

CardJournal::~CardJournal() = default;

void CardJournal::close() {
    m_table.reset();
    m_numbers.clear();
}

std::vector<dbf::FieldSpec> CardJournal::fields() {
    return {{"WRITTEN", 'C', 19}, {"KIND", 'C', 12},    {"OPTION", 'C', 30},    {"NUMBER", 'N', 6},
            {"INDEX", 'N', 2},    {"SYSCODE", 'N', 8},  {"SURNAME", 'C', 30},   {"NAME", 'C', 30},
            {"GROUP", 'C', 30},   {"ACCESS", 'C', 24},  {"READER", 'N', 3},     {"RSETTINGS", 'C', 60},
            {"RESULT", 'C', 12},  {"MODE", 'C', 5}};
}

std::string CardJournal::path() const {
    return dbf::findIgnoringCase(m_directory + "/" + kFileName);
}

bool CardJournal::exists() const {
    return m_table || ::access(path().c_str(), F_OK) == 0;
}

bool CardJournal::open(bool create) {
    if (m_table) {
        return true;
    }
    bool created = false;
    if (!exists()) {
        if (!create) {
            return false;
        }
        dbf::DbfTable::create(path(), dbf::TableFormat::DBase3, fields());
        created = true;
    }
    auto table = std::make_unique<dbf::DbfTable>(path(), dbf::DbfTable::Mode::ReadWrite);
    static_assert(FieldCount == kFieldCount);
    const auto specs = fields();
    for (std::size_t which = 0; which < specs.size(); ++which) {
        const int position = table->findField(specs[which].name);
        if (position < 0) {
            throw dbf::DbfError("Table " + table->name() + " is not a card journal (it has no field " +
                                specs[which].name + ")");
        }
        m_position[which] = static_cast<std::size_t>(position);
    }
    table->setSyncPolicy(dbf::SyncPolicy::OnClose);
    m_table = std::move(table);
    if (created) {
        syncDirectory(m_directory);
    }
    return true;
}

std::string CardJournal::now() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::string CardJournal::recordFor(const CardJournalRow& row) const {
    std::string record = m_table->blankRecord();
    const auto& codePage = m_table->codePage();
    auto put = [&](Field which, const std::string& bytes) {
        const auto& f = field(which);
        record.replace(f.offset, f.length, bytes);
    };
    auto def = [&](Field which) -> const dbf::FieldDef& { return field(which); };
    auto text = [&](Field which, const std::string& value) { put(which, fitText(def(which), value, codePage)); };
    auto number = [&](Field which, std::int64_t value) { put(which, dbf::FieldCodec::fromInteger(def(which), value)); };
    text(Written, row.written.empty() ? now() : row.written);
    text(Kind, row.kind);
    text(Option, row.option);
    number(Number, row.number);
    number(Index, row.index);
    number(SysCode, row.sysCode);
    text(Surname, row.surname);
    text(Name, row.name);
    text(Group, row.group);
    text(Access, row.access);
    number(Reader, row.reader);
    text(RSettings, row.readerSettings);
    text(Result, row.result);
    text(Mode, row.mode);
    return record;
}

const dbf::FieldDef& CardJournal::field(std::size_t which) const {
    return m_table->fields()[m_position[which]];
}

CardJournalRow CardJournal::rowFrom(std::string_view record) const {
    auto def = [&](Field which) -> const dbf::FieldDef& { return field(which); };
    auto raw = [&](Field which) {
        const auto& f = def(which);
        return record.substr(f.offset, f.length);
    };
    auto text = [&](Field which) { return dbf::FieldCodec::toText(def(which), raw(which), m_table->codePage()); };
    auto number = [&](Field which) -> std::int64_t {
        try {
            return dbf::FieldCodec::toInteger(def(which), raw(which), m_table->codePage());
        } catch (const dbf::DbfError&) {
            return 0; // a number another program left unreadable reads as none
        }
    };
    CardJournalRow row;
    row.written = text(Written);
    row.kind = text(Kind);
    row.option = text(Option);
    row.number = number(Number);
    row.index = static_cast<int>(number(Index));
    row.sysCode = number(SysCode);
    row.surname = text(Surname);
    row.name = text(Name);
    row.group = text(Group);
    row.access = text(Access);
    row.reader = static_cast<int>(number(Reader));
    row.readerSettings = text(RSettings);
    row.result = text(Result);
    row.mode = text(Mode);
    return row;
}

void CardJournal::append(const CardJournalRow& row) {
    appendMany({row});
}

void CardJournal::appendMany(const std::vector<CardJournalRow>& rows) {
    open(true);
    for (const auto& row : rows) {
        m_table->appendRecord(recordFor(row));
    }
    m_table->sync();
}

std::uint32_t CardJournal::rowCount() {
    return open(false) ? m_table->recordCount() : 0;
}

CardJournalRow CardJournal::row(std::uint32_t i) {
    if (!open(false)) {
        throw dbf::DbfError("Card journal karty.dbf has no row " + std::to_string(i));
    }
    return rowFrom(m_table->record(i));
}

void CardJournal::readKeys(std::uint32_t first, std::uint32_t end,
                           const std::function<void(const CardJournalKey&)>& each) {
    if (first >= end) {
        return;
    }
    if (!open(false) || end > m_table->recordCount()) {
        throw dbf::DbfError("Card journal karty.dbf has no row " + std::to_string(end - 1));
    }
    // A field of another type would read as something else than row() reads, or as a failure on every
    // row: the table is not one the filter can trust, and the operator is told which field is wrong.
    const auto require = [&](Field which, std::string_view types, const char* english, const char* polish) {
        const dbf::FieldDef& f = field(which);
        if (types.find(f.type) == std::string_view::npos) {
            throw dbf::DbfError("Field " + f.name + " of card journal " + m_table->name() + " is of type " +
                                    std::string(1, f.type) + ", not " + english,
                                "Pole " + f.name + " dziennika kart " + m_table->name() + " ma typ " +
                                    std::string(1, f.type) + ", a powinno zawierać " + polish + ".");
        }
    };
    require(Number, "NFIO+C", "a number", "liczbę");
    require(Kind, "C", "text", "tekst");
    require(Surname, "C", "text", "tekst");
    require(Name, "C", "text", "tekst");
    require(Result, "C", "text", "tekst");
    const dbf::FieldDef& number = field(Number);
    const dbf::FieldDef& kind = field(Kind);
    const dbf::FieldDef& surname = field(Surname);
    const dbf::FieldDef& name = field(Name);
    const dbf::FieldDef& result = field(Result);
    const auto& codePage = m_table->codePage();
    const std::size_t length = m_table->recordLength();
    const auto text = [](std::string_view record, const dbf::FieldDef& f) {
        return dbf::FieldCodec::textBytes(record.substr(f.offset, f.length));
    };
    for (std::uint32_t i = first; i < end;) {
        const std::string_view records = m_table->recordsFrom(i);
        for (std::size_t at = 0; at + length <= records.size() && i < end; at += length, ++i) {
            const std::string_view record = records.substr(at, length);
            CardJournalKey key;
            try {
                key.number = dbf::FieldCodec::toInteger(number, record.substr(number.offset, number.length), codePage);
            } catch (const dbf::DbfError&) {
                key.number = 0; // as row() reads it
            }
            key.kind = text(record, kind);
            key.surname = text(record, surname);
            key.name = text(record, name);
            key.result = text(record, result);
            each(key);
        }
    }
}

const dbf::CodePage& CardJournal::codePage() {
    if (!open(false)) {
        throw dbf::DbfError("Card journal karty.dbf does not exist");
    }
    return m_table->codePage();
}

std::vector<CardJournalRow> CardJournal::rowsOf(std::int64_t number) {
    std::vector<CardJournalRow> out;
    if (!open(false)) {
        return out;
    }
    const std::uint32_t count = m_table->recordCount();
    learnNumbers(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        if (m_numbers[i] == number) {
            out.push_back(rowFrom(m_table->record(i)));
        }
    }
    return out;
}

void CardJournal::learnNumbers(std::uint32_t count) {
    if (m_numbers.size() > count) {
        m_numbers.clear(); // fewer rows than learnt: another journal
    }
    m_numbers.reserve(count);
    const auto& f = field(Number);
    const std::size_t length = m_table->recordLength();
    for (std::uint32_t i = static_cast<std::uint32_t>(m_numbers.size()); i < count;) {
        const std::string_view records = m_table->recordsFrom(i);
        for (std::size_t at = 0; at + length <= records.size() && i < count; at += length, ++i) {
            const std::string_view record = records.substr(at, length);
            std::int64_t value = kDeletedRow;
            if (!dbf::DbfTable::isDeleted(record)) {
                try {
                    value = dbf::FieldCodec::toInteger(f, record.substr(f.offset, f.length), m_table->codePage());
                } catch (const dbf::DbfError&) {
                    value = 0; // as row() reads it
                }
            }
            m_numbers.push_back(value);
        }
    }
}

} // namespace talvern::journal
