#pragma once
// A multi-line box bound to a note field of the current record; it changes the record as the
// operator types, like DBEdit.

#include "FieldLink.h"

#include <QPlainTextEdit>

namespace talvern {

class DBMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit DBMemo(QWidget* parent = nullptr);

    void bind(db::TTable& table, const QString& fieldName);
    const FieldLink& link() const { return m_link; }

private:
    void showField();
    void store();

    FieldLink m_link;
    bool m_showing = false;
    bool m_storing = false;
};

} // namespace talvern
