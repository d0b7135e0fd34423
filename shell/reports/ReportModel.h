#pragma once
// A read-only grid model over a report's rows, sorted by any column on request (a click on the column's
// title): numbers as numbers, text in Polish alphabetical order. Rows of equal value keep their order.

#include "Report.h"

#include <QAbstractTableModel>

#include <vector>

namespace talvern {

class ReportModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ReportModel(db::reports::ReportTable table, QObject* parent = nullptr);

    const db::reports::ReportTable& table() const { return m_table; }
    QString title() const { return QString::fromStdString(m_table.title); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    bool isNumeric(int column) const;

    db::reports::ReportTable m_table;
    std::vector<int> m_order; // the table's rows in the order shown
};

} // namespace talvern
