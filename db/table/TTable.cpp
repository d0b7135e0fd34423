#include "TTable.h"

#include "FieldCodec.h"

#include <algorithm>

namespace talvern::db {

using dbf::DbfTable;

TTable::TTable(std::string objectName) : m_objectName(std::move(objectName)) {}

TTable::~TTable() {
    try {
        close();
    } catch (...) {
        // A change that cannot be stored at exit is lost; the file stays as it was.
    }
}

void TTable::open(const std::string& path) {
    if (m_file) {
        close();
    }
    m_file = std::make_unique<DbfTable>(path, DbfTable::Mode::ReadWrite);
    m_state = State::Browse;
    m_memos.clear();
    m_deleted.clear();
    m_deletedKnown = false;
    // Opening reads no further than the first record that is not deleted, however large the table:
    // the index of deleted records, which the numbering and the count need, is built when first
    // asked for.
    try {
        const std::uint32_t count = m_file->recordCount();
        std::uint32_t first = 0;
        while (first < count && DbfTable::isDeleted(m_file->record(first))) {
            ++first;
        }
        if (first < count) {
            m_recNo = 1;
            m_physical = first;
            loadCurrent();
            m_eof = false;
        } else {
            m_recNo = 0;
            m_buffer = m_file->blankRecord();
            m_eof = true;
        }
    } catch (...) {
        m_file.reset();
        m_state = State::Inactive;
        throw;
    }
    notify(TableEvent::StateChanged);
    notify(TableEvent::DataSetChanged);
}

void TTable::close() {
    if (!m_file) {
        return;
    }
    if (m_state == State::Edit || m_state == State::Insert) {
        storeOrDrop();
    }
    m_file->sync();
    m_file.reset();
    m_deleted.clear();
    m_deletedKnown = false;
    m_memos.clear();
    m_buffer.clear();
    m_original.clear();
    m_recNo = 0;
    m_eof = true;
    m_state = State::Inactive;
    notify(TableEvent::StateChanged);
    notify(TableEvent::DataSetChanged);
}

std::string TTable::tableName() const { return m_file ? m_file->name() : std::string(); }

void TTable::requireOpen() const {
    if (!m_file) {
        throw DbfError((m_objectName.empty() ? std::string("The table") : m_objectName) + " is not open");
    }
}

void TTable::rebuildDeletedIndex() const {
    m_deleted.clear();
    m_deletedKnown = false;
    const std::uint32_t count = m_file->recordCount();
    for (std::uint32_t i = 0; i < count; ++i) {
        if (DbfTable::isDeleted(m_file->record(i))) {
            m_deleted.push_back(i);
        }
    }
    m_deletedKnown = true;
}

void TTable::ensureDeletedIndex() const {
    if (m_file && !m_deletedKnown) {
        rebuildDeletedIndex();
    }
}

int TTable::recordCount() const {
    ensureDeletedIndex();
    return m_file ? static_cast<int>(m_file->recordCount() - m_deleted.size()) : 0;
}

bool TTable::isEmpty() const {
    if (!m_file || m_deletedKnown) {
        return recordCount() == 0;
    }
    // Before the index of deleted records is built, the first live record answers it: asking whether
    // a large table is empty does not read all of it.
    const std::uint32_t count = m_file->recordCount();
    for (std::uint32_t i = 0; i < count; ++i) {
        if (!DbfTable::isDeleted(m_file->record(i))) {
            return false;
        }
    }
    return true;
}

int TTable::recNo() const {
    if (m_state == State::Insert) {
        return recordCount() + 1;
    }
    return m_recNo;
}

std::uint32_t TTable::physicalOf(int recNo) const {
    ensureDeletedIndex();
    // The live record k (from 0) sits at k + j, where j counts the deleted records before it: the first j
    // with deleted[j] - j > k.
    const auto k = static_cast<std::uint32_t>(recNo - 1);
    std::size_t lo = 0, hi = m_deleted.size();
    while (lo < hi) {
        std::size_t mid = (lo + hi) / 2;
        if (m_deleted[mid] - mid > k) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    return k + static_cast<std::uint32_t>(lo);
}

int TTable::recNoOf(std::uint32_t physical) const {
    ensureDeletedIndex();
    auto before = std::lower_bound(m_deleted.begin(), m_deleted.end(), physical) - m_deleted.begin();
    return static_cast<int>(physical - before) + 1;
}

void TTable::loadCurrent() {
    // The original copy is taken when a change begins (edit), not on every move.
    m_buffer.assign(m_file->record(m_physical));
    m_memos.clear();
}

void TTable::goTo(int recNo) {
    m_recNo = recNo;
    m_physical = physicalOf(recNo);
    loadCurrent();
}

void TTable::notify(TableEvent event, int field) {
    ++m_changeCount;
    if (event == TableEvent::DataSetChanged || (event == TableEvent::RecordChanged && field < 0)) {
        ++m_storedChangeCount; // posts, cancels, appends, deletions, re-reads, resumes: all may change storage
    }
    if (m_disabled > 0) {
        return;
    }
    m_notifier.notify(TableChange{event, field});
}

void TTable::setState(State state) {
    if (m_state != state) {
        m_state = state;
        notify(TableEvent::StateChanged);
    }
}

Subscription TTable::subscribe(TableListener listener) { return m_notifier.subscribe(std::move(listener)); }

void TTable::disableControls() { ++m_disabled; }

void TTable::enableControls() {
    if (m_disabled == 0) {
        return;
    }
    if (--m_disabled == 0) {
        notify(TableEvent::DataSetChanged);
    }
}

bool TTable::isModified() const {
    if (m_state == State::Insert) {
        // Against the record as append() began it, filled or blank.
        if (m_buffer != m_original) {
            return true;
        }
        return std::any_of(m_memos.begin(), m_memos.end(), [](const auto& m) { return !m.second.empty(); });
    }
    if (m_state != State::Edit) {
        return false;
    }
    if (m_buffer != m_original) {
        return true;
    }
    auto* self = const_cast<TTable*>(this);
    for (const auto& [field, text] : m_memos) {
        if (!self->memoMatches(field, m_physical, text)) {
            return true;
        }
    }
    return false;
}

bool TTable::memoMatches(int field, std::uint32_t, std::string_view text) {
    const auto& f = def(field);
    return m_file->codePage().toUtf8(m_file->memoBytes(f, m_original)) == text;
}

void TTable::storeOrDrop() {
    if (m_state != State::Edit && m_state != State::Insert) {
        return;
    }
    if (isModified()) {
        post();
    } else {
        cancel();
    }
}

// Every movement first stores or drops a change under way; on an empty table it only raises the
// end-of-table flag.
bool TTable::prepareMove() {
    requireOpen();
    storeOrDrop();
    if (isEmpty()) {
        m_eof = true;
        return false;
    }
    return true;
}

void TTable::arriveAt(int recNo) {
    goTo(recNo);
    m_eof = false;
    notify(TableEvent::RecordMoved);
}

void TTable::first() {
    if (prepareMove()) {
        arriveAt(1);
    }
}

void TTable::last() {
    if (prepareMove()) {
        arriveAt(recordCount());
    }
}

void TTable::next() {
    if (!prepareMove()) {
        return;
    }
    if (m_recNo >= recordCount()) {
        m_eof = true;
        return;
    }
    arriveAt(m_recNo + 1);
}

void TTable::prior() {
    if (!prepareMove()) {
        return;
    }
    m_eof = false;
    if (m_recNo > 1) {
        arriveAt(m_recNo - 1);
    }
}

void TTable::moveTo(int recNo) {
    requireOpen();
    if (recNo < 1 || recNo > recordCount()) {
        throw DbfError("Table " + tableName() + ": there is no record " + std::to_string(recNo));
    }
    const bool inChange = m_state == State::Edit || m_state == State::Insert;
    storeOrDrop();
    m_eof = false;
    if (recNo == m_recNo && !inChange) {
        return;
    }
    goTo(recNo);
    notify(TableEvent::RecordMoved);
}

const dbf::FieldDef& TTable::def(int index) const { return m_file->fields()[static_cast<std::size_t>(index)]; }

int TTable::findField(std::string_view name) const { return m_file ? m_file->findField(name) : -1; }

int TTable::fieldCount() const { return m_file ? static_cast<int>(m_file->fields().size()) : 0; }

TField TTable::fieldByName(std::string_view name) {
    requireOpen();
    int index = m_file->findField(name);
    if (index < 0) {
        throw DbfError("Table " + tableName() + " has no field " + std::string(name));
    }
    return TField(this, index);
}

TField TTable::field(int index) {
    requireOpen();
    if (index < 0 || index >= fieldCount()) {
        throw DbfError("Table " + tableName() + " has no field at position " + std::to_string(index) + " (it has " +
                       std::to_string(fieldCount()) + " fields)");
    }
    return TField(this, index);
}

void TTable::edit() {
    requireOpen();
    if (m_state == State::Edit || m_state == State::Insert) {
        return;
    }
    if (isEmpty()) {
        append();
        return;
    }
    m_original = m_buffer;
    m_memos.clear();
    setState(State::Edit);
}

void TTable::append() {
    requireOpen();
    storeOrDrop();
    m_buffer = m_file->blankRecord();
    m_original = m_buffer;
    m_memos.clear();
    if (!m_newRecordFiller) {
        setState(State::Insert);
        notify(TableEvent::RecordMoved);
        return;
    }
    // A box that saw the record half-filled could store it, so listeners hear of it once it is filled.
    ++m_disabled;
    try {
        setState(State::Insert);
        m_newRecordFiller(*this);
    } catch (...) {
        --m_disabled;
        cancel();
        throw;
    }
    --m_disabled;
    m_original = m_buffer;
    notify(TableEvent::StateChanged);
    notify(TableEvent::RecordMoved);
}

void TTable::post() {
    requireOpen();
    if (m_state == State::Browse) {
        return;
    }
    if (m_state == State::Edit && !isModified()) {
        m_memos.clear();
        m_eof = false;
        setState(State::Browse);
        return;
    }
    std::string record = m_buffer;
    for (const auto& [field, text] : m_memos) {
        if (m_state == State::Edit && memoMatches(field, m_physical, text)) {
            continue;
        }
        m_file->storeMemo(def(field), record, m_file->codePage().fromUtf8(text));
    }
    if (m_state == State::Insert) {
        m_physical = m_file->appendRecord(record);
        m_recNo = recordCount();
        m_buffer.assign(m_file->record(m_physical)); // autoincrement fields got their numbers
    } else {
        m_file->writeRecord(m_physical, record);
        m_buffer = record;
    }
    const bool appended = m_state == State::Insert;
    m_original = m_buffer;
    m_memos.clear();
    m_eof = false;
    setState(State::Browse);
    notify(appended ? TableEvent::DataSetChanged : TableEvent::RecordChanged);
}

void TTable::cancel() {
    requireOpen();
    if (m_state == State::Browse) {
        return;
    }
    const bool wasInsert = m_state == State::Insert;
    m_memos.clear();
    if (wasInsert) {
        if (isEmpty()) {
            m_buffer = m_file->blankRecord();
            m_original = m_buffer;
        } else {
            loadCurrent();
        }
    } else {
        m_buffer = m_original;
    }
    setState(State::Browse);
    notify(wasInsert ? TableEvent::RecordMoved : TableEvent::RecordChanged);
}

void TTable::deleteRecord() {
    requireOpen();
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    if (isEmpty()) {
        throw DbfError("Table " + tableName() + " is empty: there is no record to delete");
    }
    if (m_state == State::Edit) {
        m_buffer = m_original;
        m_memos.clear();
    }
    m_file->setDeleted(m_physical, true);
    m_deleted.insert(std::lower_bound(m_deleted.begin(), m_deleted.end(), m_physical), m_physical);
    setState(State::Browse);
    const int count = recordCount();
    if (count == 0) {
        m_recNo = 0;
        m_buffer = m_file->blankRecord();
        m_original = m_buffer;
        m_eof = true;
    } else {
        goTo(std::min(m_recNo, count));
        m_eof = false;
    }
    notify(TableEvent::DataSetChanged);
}

void TTable::refresh() {
    requireOpen();
    storeOrDrop();
    rebuildDeletedIndex();
    const int count = recordCount();
    if (count == 0) {
        m_recNo = 0;
        m_buffer = m_file->blankRecord();
        m_original = m_buffer;
        m_eof = true;
    } else {
        int keep = m_recNo;
        if (m_physical < m_file->recordCount() && !std::binary_search(m_deleted.begin(), m_deleted.end(), m_physical)) {
            keep = recNoOf(m_physical);
        }
        goTo(std::clamp(keep, 1, count));
        m_eof = false;
    }
    notify(TableEvent::DataSetChanged);
}

std::string TTable::recordText(std::string_view record, int field) { return m_file->text(field, record); }

std::string TTable::valueAt(int recNo, int field) {
    requireOpen();
    if (field < 0 || field >= fieldCount() || recNo < 1 || recNo > recordCount()) {
        throw DbfError("Table " + tableName() + ": no value at row " + std::to_string(recNo) + ", column " +
                       std::to_string(field));
    }
    if (recNo == m_recNo && m_state == State::Edit) {
        return TField(this, field).asString();
    }
    return recordText(m_file->record(physicalOf(recNo)), field);
}

std::int64_t TTable::integerAt(int recNo, int field) {
    requireOpen();
    if (field < 0 || field >= fieldCount() || recNo < 1 || recNo > recordCount()) {
        throw DbfError("Table " + tableName() + ": no value at row " + std::to_string(recNo) + ", column " +
                       std::to_string(field));
    }
    if (recNo == m_recNo && m_state == State::Edit) {
        return TField(this, field).asInteger();
    }
    const auto& f = def(field);
    return dbf::FieldCodec::toInteger(f, m_file->record(physicalOf(recNo)).substr(f.offset, f.length),
                                      m_file->codePage());
}

} // namespace talvern::db
