#include "DBLookupComboBox.h"

#include "OperatorMessages.h"
#include "TableModel.h"

#include "ListName.h"

#include <QKeyEvent>
#include <QWheelEvent>

namespace talvern {

DBLookupComboBox::DBLookupComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    connect(this, &QComboBox::activated, this, &DBLookupComboBox::pick);
}

void DBLookupComboBox::bind(db::TTable& keyTable, const QString& keyField, db::TTable& listTable,
                            const QString& listField) {
    m_listTable = &listTable;
    m_listModel = new TableModel(listTable, {listField}, this);
    setModel(m_listModel);
    setModelColumn(0);
    // The list follows its table through the model; after the model has settled, show the key again.
    connect(m_listModel, &QAbstractItemModel::modelReset, this, [this] { showField(); });
    connect(m_listModel, &QAbstractItemModel::dataChanged, this, [this] { showField(); });
    m_link.bind(this, keyTable, keyField, [this] { showField(); });
    nameList(*this);
}

int DBLookupComboBox::rowOf(const QString& value) const {
    if (value.isEmpty() || !m_listTable || !m_listTable->isOpen()) {
        return -1;
    }
    // Group tracking leaves the list's cursor on the matching entry, so the list is searched only when
    // the cursor stands elsewhere. Entries of equal text look the same, so any of them will do.
    const int current = m_listTable->recNo() - 1;
    if (current >= 0 && current < m_listModel->rowCount() && m_listModel->text(current, 0) == value) {
        return current;
    }
    return m_listModel->firstRowWith(0, value);
}

void DBLookupComboBox::showField() {
    if (!m_listModel) {
        return;
    }
    const int row = rowOf(m_link.text());
    if (row != currentIndex()) {
        const QSignalBlocker quiet(this);
        setCurrentIndex(row);
    }
}

void DBLookupComboBox::pick(int row) {
    if (row < 0 || !m_listTable) {
        return;
    }
    const QString value = m_listModel->text(row, 0);
    const bool done = OperatorMessages::runHandler([&] {
        m_listTable->moveTo(row + 1);
        db::TTable& keyTable = *m_link.table();
        keyTable.edit();
        keyTable.fieldByName(m_link.fieldName().toStdString()).setAsString(value.toStdString());
    });
    if (!done) {
        showField();
    }
}

void DBLookupComboBox::showPopup() {
    if (!m_readOnly) {
        nameList(*this);
        QComboBox::showPopup();
    }
}

void DBLookupComboBox::keyPressEvent(QKeyEvent* event) {
    if (m_readOnly) {
        event->ignore();
        return;
    }
    QComboBox::keyPressEvent(event);
}

void DBLookupComboBox::wheelEvent(QWheelEvent* event) {
    if (m_readOnly) {
        event->ignore();
        return;
    }
    QComboBox::wheelEvent(event);
}

} // namespace talvern
