#pragma once
// A search box over a page's grid: typing part of a name or a number moves the table's cursor to the
// first matching record and marks every match in the grid; "Następny" and "Poprzedni" (Return and
// Shift+Return in the box) go to the next and previous match, round the end of the table. Moving is an
// ordinary cursor movement: a change under way is stored first and group tracking follows the users
// cursor. When nothing matches, the box turns red, the bar says "Nie znaleziono" and the cursor stays.

#include "RecordSearch.h"
#include "TTable.h"

#include <QWidget>

#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;

namespace talvern {

class DBGrid;

class SearchBar : public QWidget {
    Q_OBJECT
public:
    enum class Shape { OneRow, TwoRows };

    // textFields are searched for part of their text, numberFields for digits at their start. The table
    // and the grid over it must outlive the bar.
    SearchBar(db::TTable& table, DBGrid& grid, std::vector<std::string> textFields,
              std::vector<std::string> numberFields, Shape shape, QWidget* parent = nullptr);

    QLineEdit* textBox() const { return m_text; }
    QPushButton* nextButton() const { return m_next; }
    QPushButton* previousButton() const { return m_previous; }
    QLabel* statusLabel() const { return m_status; }
    // Whether the last search found a record (true for an empty box).
    bool found() const { return m_found; }

    // The first match of the box's text (run as the text changes), the next and the previous match.
    void searchFirst();
    void searchNext();
    void searchPrevious();

    static QString notFoundText();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void moveTo(int recNo);
    void showFound(bool found);

    db::TTable& m_table;
    DBGrid& m_grid;
    db::RecordSearch m_search;
    QLineEdit* m_text;
    QPushButton* m_previous;
    QPushButton* m_next;
    QLabel* m_status;
    bool m_found = true;
};

} // namespace talvern
