#include "TTable.h"

#include "FieldCodec.h"

namespace talvern::db {

using dbf::FieldCodec::isMemoType;

// Field access on the current record: the buffer holds it as stored or as being changed.

std::string_view TTable::rawField(int index) const {
    const auto& f = def(index);
    return std::string_view(m_buffer).substr(f.offset, f.length);
}

std::string TTable::memoText(int index) {
    auto pending = m_memos.find(index);
    if (pending != m_memos.end()) {
        return pending->second;
    }
    if (m_state == State::Insert || isEmpty()) {
        return {};
    }
    return m_file->text(index, m_buffer);
}

void TTable::requireChange(const char* what) const {
    requireOpen();
    if (m_state != State::Edit && m_state != State::Insert) {
        throw DbfError("Table " + tableName() + " is not being edited: " + what + " needs edit or append first");
    }
}

void TTable::setRaw(int index, const std::string& bytes) {
    const auto& f = def(index);
    if (std::string_view(m_buffer).substr(f.offset, f.length) == bytes) {
        return;
    }
    m_buffer.replace(f.offset, f.length, bytes);
    notify(TableEvent::RecordChanged, index);
}

void TTable::setMemo(int index, std::string text) {
    if (memoText(index) == text) {
        return;
    }
    m_file->codePage().fromUtf8(text); // refuses characters the table cannot hold now, not at post
    m_memos[index] = std::move(text);
    notify(TableEvent::RecordChanged, index);
}

const std::string& TField::name() const { return m_table->def(m_index).name; }

char TField::type() const { return m_table->def(m_index).type; }

int TField::width() const { return m_table->def(m_index).length; }

std::string TField::asString() const {
    m_table->requireOpen();
    if (isMemoType(type())) {
        return m_table->memoText(m_index);
    }
    return dbf::FieldCodec::toText(m_table->def(m_index), m_table->rawField(m_index), m_table->m_file->codePage());
}

std::int64_t TField::asInteger() const {
    m_table->requireOpen();
    if (isMemoType(type())) {
        throw DbfError("Field " + name() + " is a note and holds no number",
                       "Pole " + name() + " jest notatką i nie zawiera liczby.");
    }
    return dbf::FieldCodec::toInteger(m_table->def(m_index), m_table->rawField(m_index), m_table->m_file->codePage());
}

bool TField::asBoolean() const {
    m_table->requireOpen();
    if (isMemoType(type())) {
        throw DbfError("Field " + name() + " is a note and holds no logical value",
                       "Pole " + name() + " jest notatką i nie zawiera wartości logicznej.");
    }
    return dbf::FieldCodec::toBoolean(m_table->def(m_index), m_table->rawField(m_index), m_table->m_file->codePage());
}

bool TField::isNull() const {
    m_table->requireOpen();
    if (isMemoType(type())) {
        return m_table->memoText(m_index).empty();
    }
    return dbf::FieldCodec::isNull(m_table->def(m_index), m_table->rawField(m_index));
}

void TField::setAsString(std::string_view text) {
    m_table->requireChange("setting a field");
    if (type() == 'M') {
        m_table->setMemo(m_index, std::string(text));
        return;
    }
    if (type() == 'B' || type() == 'G') {
        throw DbfError("Field " + name() + " holds binary data and cannot be set as text",
                       "Pole " + name() + " zawiera dane binarne i nie można w nim zapisać tekstu.");
    }
    m_table->setRaw(m_index, dbf::FieldCodec::fromText(m_table->def(m_index), text, m_table->m_file->codePage()));
}

void TField::setAsInteger(std::int64_t value) {
    m_table->requireChange("setting a field");
    if (type() == 'M') {
        m_table->setMemo(m_index, std::to_string(value));
        return;
    }
    m_table->setRaw(m_index, dbf::FieldCodec::fromInteger(m_table->def(m_index), value));
}

void TField::setAsBoolean(bool value) {
    m_table->requireChange("setting a field");
    if (type() == 'C') {
        setAsString(value ? "True" : "False");
        return;
    }
    m_table->setRaw(m_index, dbf::FieldCodec::fromBoolean(m_table->def(m_index), value));
}

void TField::clear() {
    m_table->requireChange("clearing a field");
    if (isMemoType(type())) {
        m_table->setMemo(m_index, {});
        return;
    }
    m_table->setRaw(m_index, dbf::FieldCodec::blank(m_table->def(m_index)));
}

} // namespace talvern::db
