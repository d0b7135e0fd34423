#include "CardGrid.h"

#include <QHeaderView>
#include <QTableView>

namespace talvern {

QTableView* makeCardGrid(QWidget* parent, const QString& objectName, const QString& accessibleName,
                         QAbstractItemModel* model, std::initializer_list<int> widths) {
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
    return grid;
}

} // namespace talvern
