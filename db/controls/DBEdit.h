#pragma once
// A one-line text box bound to a field of the current record. Typing begins a change of the record
// and puts the text into the field at once; the change is stored by the next post, refresh or
// movement of the cursor. The box follows the cursor and shows the stored value.

#include "FieldLink.h"

#include <QLineEdit>

namespace talvern {

class DBEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit DBEdit(QWidget* parent = nullptr);

    void bind(db::TTable& table, const QString& fieldName);
    const FieldLink& link() const { return m_link; }

private:
    void showField();
    void store(const QString& text);

    FieldLink m_link;
    bool m_storing = false;
};

} // namespace talvern
