#pragma once
// A drop-down list bound to a text field of one table (the key) whose entries come from a field of
// another table (the list), in that table's order. It shows the entry that equals the key exactly, or
// nothing when none does. Picking an entry moves the list table's cursor to it and writes its text into
// the key field, beginning a change of the record. A read-only list does not open.

#include "FieldLink.h"

#include <QComboBox>

namespace talvern {

class TableModel;

class DBLookupComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit DBLookupComboBox(QWidget* parent = nullptr);

    // keyField of keyTable holds a value of listField of listTable.
    void bind(db::TTable& keyTable, const QString& keyField, db::TTable& listTable, const QString& listField);
    const FieldLink& link() const { return m_link; }

    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }

    void showPopup() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void showField();
    void pick(int row);
    int rowOf(const QString& value) const;

    FieldLink m_link;
    db::TTable* m_listTable = nullptr;
    TableModel* m_listModel = nullptr;
    bool m_readOnly = false;
};

} // namespace talvern
