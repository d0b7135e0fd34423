#pragma once
// A one-line text box bound to a field of the current record. Typing begins a change of the record
// and puts the text into the field at once; the change is stored by the next post, refresh or
// movement of the cursor. The box follows the cursor and shows the stored value.
//
// Text that reaches the box another way than the keyboard (pasted, undone, or set by an assistive
// tool through the accessibility interface, which replaces the whole text) is taken the same way as
// typing: the same change of the record, the same checks, and a refused value gives way to the stored
// one. A read-only box takes no text from anywhere. Only the box's own showing of the field is no
// change.

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
    void changed(const QString& text);
    void store(const QString& text);

    FieldLink m_link;
    bool m_storing = false;
    bool m_showing = false;
};

} // namespace talvern
