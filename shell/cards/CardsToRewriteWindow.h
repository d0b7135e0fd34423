#pragma once
// "Karty do przeprogramowania": the holders whose newest card no longer opens what their group
// opens today (or who have rights and no card), why, and which readers the new card gains and
// loses. "Programuj" writes the selected holder's card through the Users page's own "Program".

#include "CardStanding.h"

#include <QAbstractTableModel>
#include <QWidget>

#include <functional>
#include <vector>

class QLabel;
class QPushButton;
class QTableView;

namespace talvern {

namespace cards {
class JournalSource;
}
namespace db {
class TTable;
}

class CardsToRewriteModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Number, Surname, Name, Group, Cause, Gained, Lost, LastCard, ColumnCount };
    using QAbstractTableModel::QAbstractTableModel;

    void setEntries(std::vector<cards::CardToRewrite> entries);
    const std::vector<cards::CardToRewrite>& entries() const { return m_entries; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::vector<cards::CardToRewrite> m_entries;
};

class CardsToRewriteWindow : public QWidget {
    Q_OBJECT
public:
    // program: writes the card of the user with that NUMBER (puts the users cursor on the user and
    // runs "Program"). users and groups are the program's own tables, read without moving them.
    CardsToRewriteWindow(cards::JournalSource& journal, db::TTable& users, db::TTable& groups,
                         std::function<void(long number)> program, QWidget* parent = nullptr);

    // Reads the journal and the tables again.
    void reload();
    // "Programuj" for the selected holder.
    void programSelected();

    CardsToRewriteModel* model() const { return m_model; }
    QTableView* grid() const { return m_grid; }
    QPushButton* programButton() const { return m_program; }
    QLabel* summary() const { return m_summary; }

private:
    cards::JournalSource& m_journal;
    db::TTable& m_users;
    db::TTable& m_groups;
    std::function<void(long)> m_programUser;
    CardsToRewriteModel* m_model;
    QTableView* m_grid;
    QPushButton* m_program;
    QLabel* m_summary;
};

} // namespace talvern
