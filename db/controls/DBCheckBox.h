#pragma once
// A check box bound to a logical field of the current record: ticked when the field is true, clear
// when false, greyed when it holds no value. A click toggles the field (a greyed box becomes ticked)
// and begins a change of the record; a read-only box ignores clicks and keys. An assistive tool's
// toggle counts as a click.

#include "FieldLink.h"

#include <QCheckBox>

namespace talvern {

class DBCheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit DBCheckBox(QWidget* parent = nullptr);

    void bind(db::TTable& table, const QString& fieldName);
    const FieldLink& link() const { return m_link; }

    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }

protected:
    void nextCheckState() override;

private:
    void showField();
    void changed(Qt::CheckState state);

    FieldLink m_link;
    bool m_readOnly = false;
    bool m_showing = false;
};

} // namespace talvern
