#pragma once
// A drop-down box with an edit field and a pick list, bound to a field of the current record. The
// value picked from the list goes into the field at once, and so does typed text as long as the field
// can hold it. Typed text the field cannot hold (a word in a number field, or half of one) stays in
// the box only, and the field keeps the value it had before the typing began; when the typing is done
// (Return, or commit() by the page's Confirm) such text is refused with the table's message, which
// quotes all of it, and the box shows the field's value again. An emptied box changes nothing. A move
// of the table's cursor drops text that was never stored. A read-only box neither opens its list nor
// takes typing. Text set into the box another way (an assistive tool through the accessibility
// interface) is taken as typed text is.

#include "FieldLink.h"

#include <QComboBox>

#include <optional>

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

    // Ends the typing: text the field could not take is refused with the table's message and the box
    // shows the field again. False when something was refused.
    bool commit();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void showField();
    void store(const QString& text);
    void changed(const QString& text);
    void storeTyped(const QString& text);

    FieldLink m_link;
    bool m_readOnly = false;
    bool m_storing = false;
    bool m_showing = false;
    // While typing: the field's value before the typing began, and whether the box holds text the
    // field did not take.
    std::optional<QString> m_before;
    bool m_pending = false;
};

} // namespace talvern
