#pragma once
// The card journal as a grid, newest row first, optionally narrowed to one holder and one kind of
// row. Rows are read from the journal as the view asks for them (a few hundred at a time), so a
// journal of a hundred thousand rows opens at once; a filter reads the journal once to find its rows.

#include "JournalSource.h"

#include <QAbstractTableModel>
#include <QString>

#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talvern {

class CardHistoryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Written, Kind, Number, Index, Surname, Name, Group, Readers, Result, Mode, ColumnCount };

    explicit CardHistoryModel(cards::JournalSource& journal, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // user: a user number (the whole text is a number), or part of a holder's first name or
    // surname, letter case aside; "" for every holder. kindCode: one of the journal's kind codes, ""
    // for every kind. Re-reads the journal.
    void setFilter(const QString& user, const QString& kindCode);
    // Reads the journal again (rows written since), keeping the filter.
    void reload();
    bool filtered() const { return m_matches.has_value(); }

    // The journal row shown at a grid row.
    cards::IssuedCard rowAt(int row) const;

private:
    long placeOf(int row) const;
    const cards::IssuedCard& cached(long place) const;
    // What a filter looks at in one row, kept for every row read so far: a filter reads each row of
    // the journal once, and later filters only the rows added since. Kinds are numbered (a journal has
    // a handful) and the names of every row lie in one text, so that a hundred thousand rows cost no
    // allocation each.
    struct FilterKey {
        long number;
        std::uint32_t kind;        // in m_kinds
        std::uint32_t namesLength; // "surname\nname" in the journal's bytes, at namesAt in m_names
        std::size_t namesAt;
    };
    static constexpr std::uint32_t kNoKind = std::numeric_limits<std::uint32_t>::max();
    struct Wanted {
        std::uint32_t kind = kNoKind;          // kNoKind: every kind
        bool noSuchKind = false;               // a kind no row has
        std::optional<long> number;            // the user box holds a number
        std::optional<std::string> names;      // else part of a name; none: a name no row can hold
    };
    bool accepts(const FilterKey& key, const Wanted& wanted) const;
    // Keys for the rows up to count not read yet.
    void extendKeys(long count);
    std::uint32_t kindNumber(std::string_view kind);

    cards::JournalSource& m_journal;
    long m_count = 0;
    QString m_user;
    QString m_kind;
    std::optional<std::vector<long>> m_matches;
    std::vector<FilterKey> m_keys; // by journal place
    std::map<std::string, std::uint32_t, std::less<>> m_kindNumbers;
    std::string m_names;
    // Blocks of parsed rows by block number; a few are kept, the one read longest ago is dropped.
    mutable std::map<long, std::vector<cards::IssuedCard>> m_blocks;
    mutable std::vector<long> m_blockOrder;
};

} // namespace talvern
