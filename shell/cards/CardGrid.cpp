#include "CardGrid.h"

#include "CardCellDelegate.h"

#include <QHeaderView>
#include <QTableView>

namespace talvern {

QTableView* makeCardGrid(QWidget* parent, const QString& objectName, const QString& accessibleName,
                         QAbstractItemModel* model, std::initializer_list<int> widths,
                         std::initializer_list<int> repeatedColumns) {
    auto* grid = new QTableView(parent);
    grid->setObjectName(objectName);
    grid->setAccessibleName(accessibleName);
    grid->setModel(model);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setWordWrap(false);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setAccessibleName(QStringLiteral("Tytuły kolumn"));
    grid->horizontalHeader()->setStretchLastSection(true);
    int column = 0;
    for (const int width : widths)
        grid->setColumnWidth(column++, width);
    if (repeatedColumns.size() > 0) {
        auto* delegate = new CardCellDelegate(grid);
        for (const int repeated : repeatedColumns)
            grid->setItemDelegateForColumn(repeated, delegate);
    }
    return grid;
}

} // namespace talvern
