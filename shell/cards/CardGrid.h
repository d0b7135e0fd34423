#pragma once
// The grid of the card windows: read-only rows selected whole, one line each of the same height (so
// the view never measures rows it does not show), no row numbers, and the given column widths. The
// columns whose texts come back row after row keep each text's picture (CardCellDelegate).

#include <QString>

#include <initializer_list>

class QAbstractItemModel;
class QTableView;
class QWidget;

namespace talvern {

QTableView* makeCardGrid(QWidget* parent, const QString& objectName, const QString& accessibleName,
                         QAbstractItemModel* model, std::initializer_list<int> widths,
                         std::initializer_list<int> repeatedColumns = {});

} // namespace talvern
