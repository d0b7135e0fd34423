#pragma once
// "Historia kart": every card the site's programmer wrote or tried to write, newest first, narrowed
// to one holder and one kind of card on request. A site where no card was written yet has no
// journal, and the window says so.

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace talvern {

namespace cards {
class JournalSource;
}
class CardHistoryModel;

class CardHistoryWindow : public QWidget {
    Q_OBJECT
public:
    explicit CardHistoryWindow(cards::JournalSource& journal, QWidget* parent = nullptr);

    // Reads the journal again (called each time the window is opened from the menu).
    void reload();
    // Applies what the user box and the kind list hold.
    void applyFilter();

    CardHistoryModel* model() const { return m_model; }
    QTableView* grid() const { return m_grid; }
    QLineEdit* userFilter() const { return m_user; }
    QComboBox* kindFilter() const { return m_kind; }
    QLabel* summary() const { return m_summary; }

private:
    void showSummary();

    cards::JournalSource& m_journal;
    CardHistoryModel* m_model;
    QLineEdit* m_user;
    QComboBox* m_kind;
    QPushButton* m_filter;
    QTableView* m_grid;
    QLabel* m_summary;
};

} // namespace talvern
