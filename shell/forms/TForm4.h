#pragma once
// The card information window: fixed labels with leader dots on the left, and on the right the
// fields of the users table's current record (through `DataSource1`), which follow the cursor
// while the window is open. `Label1` holds the duplicate number the card reading found.

#include "TableChange.h"

#include <QWidget>

#include <memory>

class QLabel;

namespace Ui {
class TForm4;
}

namespace talvern {

namespace db {
class TDataSource;
}

class TForm4 : public QWidget {
    Q_OBJECT
public:
    explicit TForm4(db::TDataSource& users, QWidget* parent = nullptr);
    ~TForm4() override;

    QLabel* Label1() const;

    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showCurrentRecord();

    std::unique_ptr<Ui::TForm4> m_ui;
    db::TDataSource& m_users;
    db::Subscription m_subscription;
};

} // namespace talvern
