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
namespace cards {
struct ReadCardStanding;
}

class TForm4 : public QWidget {
    Q_OBJECT
public:
    explicit TForm4(db::TDataSource& users, QWidget* parent = nullptr);
    ~TForm4() override;

    QLabel* Label1() const;

    // Below the rows of the table: when and how the card read was written, whether it is the
    // holder's current duplicate (tableIndex is the users table's INDEX), and whether it still opens
    // what the holder's group opens today. A card the journal does not know is said to be unknown.
    void showCardStanding(const cards::ReadCardStanding& standing, int tableIndex);
    QLabel* writtenLine() const { return m_written; }
    QLabel* currentLine() const { return m_current; }
    QLabel* accessLine() const { return m_access; }

    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showCurrentRecord();

    std::unique_ptr<Ui::TForm4> m_ui;
    db::TDataSource& m_users;
    db::Subscription m_subscription;
    QLabel* m_written = nullptr;
    QLabel* m_current = nullptr;
    QLabel* m_access = nullptr;
};

} // namespace talvern
