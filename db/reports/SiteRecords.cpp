#include "SiteRecords.h"

namespace talvern::db::reports {
namespace {

std::string_view trimRight(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) {
        s.remove_suffix(1);
    }
    return s;
}

std::string_view trimBoth(std::string_view s) {
    s = trimRight(s);
    while (!s.empty() && s.front() == ' ') {
        s.remove_prefix(1);
    }
    return s;
}

// Live records of a table in order, raw; the view is valid during the visit only.
template <typename Visit> void forEachRecord(TTable& table, Visit visit) {
    dbf::DbfTable* file = table.file();
    if (!file) {
        return;
    }
    const std::size_t length = file->recordLength();
    int recNo = 0;
    for (std::uint32_t physical = 0; physical < file->recordCount();) {
        const std::string_view run = file->recordsFrom(physical);
        const auto inRun = static_cast<std::uint32_t>(run.size() / length);
        for (std::uint32_t i = 0; i < inRun; ++i) {
            const std::string_view record = run.substr(static_cast<std::size_t>(i) * length, length);
            if (!dbf::DbfTable::isDeleted(record)) {
                visit(++recNo, record);
            }
        }
        physical += inRun;
    }
}

bool logicalTrue(const dbf::FieldDef& def, std::string_view record) {
    const char c = record[def.offset];
    return c == 'T' || c == 't' || c == 'Y' || c == 'y';
}

} // namespace

std::vector<GroupRecord> readGroups(TTable& groups) {
    std::vector<GroupRecord> out;
    dbf::DbfTable* file = groups.file();
    if (!file) {
        return out;
    }
    const int id = file->findField("ID_grupy");
    const int name = file->findField("NAME");
    std::array<int, kReaderCount + 1> access{};
    for (int n = 1; n <= kReaderCount; ++n) {
        access[static_cast<std::size_t>(n)] = file->findField("p" + std::to_string(n));
    }
    forEachRecord(groups, [&](int, std::string_view record) {
        GroupRecord group;
        group.id = id >= 0 ? std::string(trimBoth(file->text(id, record))) : std::string();
        group.name = name >= 0 ? std::string(trimRight(file->text(name, record))) : std::string();
        for (int n = 1; n <= kReaderCount; ++n) {
            const int field = access[static_cast<std::size_t>(n)];
            if (field >= 0) {
                const dbf::FieldDef& def = file->fields()[static_cast<std::size_t>(field)];
                group.access[static_cast<std::size_t>(n)] =
                    def.type == 'L' ? logicalTrue(def, record) : file->text(field, record) == "True";
            }
        }
        out.push_back(std::move(group));
    });
    return out;
}

std::vector<ReaderRecord> readReaders(TTable& readers) {
    std::vector<ReaderRecord> out;
    dbf::DbfTable* file = readers.file();
    if (!file) {
        return out;
    }
    const int number = file->findField("ID_CZYT");
    const int name = file->findField("NAME");
    forEachRecord(readers, [&](int, std::string_view record) {
        ReaderRecord reader;
        try {
            reader.number = number >= 0 ? std::stoll(std::string(trimBoth(file->text(number, record)))) : 0;
        } catch (const std::exception&) {
            reader.number = 0; // a reader without a number governs no access field
        }
        reader.name = name >= 0 ? std::string(trimRight(file->text(name, record))) : std::string();
        out.push_back(std::move(reader));
    });
    return out;
}

std::unordered_map<std::string, const GroupRecord*> firstGroupByName(const std::vector<GroupRecord>& groups) {
    std::unordered_map<std::string, const GroupRecord*> first;
    for (const GroupRecord& group : groups) {
        first.emplace(group.name, &group);
    }
    return first;
}

std::string readerName(const std::vector<ReaderRecord>& readers, int number) {
    std::string name = "Lack in system";
    for (const ReaderRecord& reader : readers) {
        if (reader.number == number) {
            name = reader.name;
        }
    }
    return name;
}

std::string UserRow::text(int field) const {
    return field >= 0 ? std::string(trimRight(m_file->text(field, m_record))) : std::string();
}

std::string_view UserRow::raw(int field) const {
    if (field < 0) {
        return {};
    }
    const dbf::FieldDef& def = m_file->fields()[static_cast<std::size_t>(field)];
    return trimRight(m_record.substr(def.offset, def.length));
}

void forEachUser(TTable& users, const std::function<void(const UserRow&)>& visit) {
    UserRow row;
    row.m_file = users.file();
    forEachRecord(users, [&](int recNo, std::string_view record) {
        row.m_recNo = recNo;
        row.m_record = record;
        visit(row);
    });
}

UserColumnFields userColumnFields(TTable& users) {
    return {users.findField("NUMBER"), users.findField("SURNAME"), users.findField("NAME"), users.findField("GROUP")};
}

std::vector<std::string> userColumns(const UserColumnFields& fields, const UserRow& row) {
    std::vector<std::string> out;
    out.reserve(fields.size());
    for (int field : fields) {
        out.push_back(row.text(field));
    }
    out[0] = std::string(trimBoth(out[0])); // numbers stand right-aligned in the file
    return out;
}

std::vector<std::string> userColumnTitles() { return {"ID", "Imię", "Nazwisko", "Grupa"}; }

} // namespace talvern::db::reports
