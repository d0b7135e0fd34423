#pragma once
// A label that shows a field of the current record and follows the cursor.

#include "FieldLink.h"

#include <QLabel>

namespace talvern {

class DBText : public QLabel {
    Q_OBJECT
public:
    explicit DBText(QWidget* parent = nullptr);

    void bind(db::TTable& table, const QString& fieldName);
    const FieldLink& link() const { return m_link; }

private:
    FieldLink m_link;
};

} // namespace talvern
