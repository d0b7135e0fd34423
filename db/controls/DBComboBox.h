#pragma once
// A drop-down box with an edit field and a pick list, bound to a field of the current record. The
// value picked from the list or typed into the edit field goes into the field as text; a value the
// field cannot hold (a word in a number field) is refused with the table's message and the box shows
// the field's value again. A read-only box neither opens its list nor takes typing.

#include "FieldLink.h"

#include <QComboBox>

namespace talvern {

class DBComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit DBComboBox(QWidget* parent = nullptr);

    void bind(db::TTable& table, const QString& fieldName);
    const FieldLink& link() const { return m_link; }

    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly);

    void showPopup() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void showField();
    void store(const QString& text);

    FieldLink m_link;
    bool m_readOnly = false;
    bool m_storing = false;
};

} // namespace talvern
