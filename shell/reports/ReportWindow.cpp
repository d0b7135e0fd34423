#include "ReportWindow.h"

#include "GridExport.h"
#include "OperatorMessages.h"
#include "ReportModel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace talvern {

ReportWindow::ReportWindow(db::reports::ReportTable table, QWidget* parent)
    : QWidget(parent, Qt::Window), m_model(new ReportModel(std::move(table), this)), m_grid(new QTableView(this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("ReportWindow"));
    setWindowTitle(m_model->title());
    resize(720, 480);

    m_grid->setObjectName(QStringLiteral("ReportGrid"));
    m_grid->setAccessibleName(m_model->title());
    m_grid->setModel(m_model);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setWordWrap(false);
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grid->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    m_grid->verticalHeader()->hide();
    m_grid->horizontalHeader()->setAccessibleName(QStringLiteral("Tytuły kolumn"));
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_grid->setSortingEnabled(true);
    for (int column = 0; column + 1 < m_model->columnCount(); ++column) {
        m_grid->setColumnWidth(column, column == 0 ? 90 : 170);
    }

    auto* count = new QLabel(QStringLiteral("Wierszy: %1").arg(m_model->rowCount()), this);
    count->setObjectName(QStringLiteral("ReportRowCount"));
    count->setAccessibleName(count->text());
    auto button = [this](const QString& text, const char* name) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAccessibleName(text);
        b->setAutoDefault(false);
        return b;
    };
    QPushButton* csv = button(QStringLiteral("Zapisz CSV..."), "ReportSaveCsv");
    QPushButton* pdf = button(QStringLiteral("Zapisz PDF..."), "ReportSavePdf");
    QPushButton* print = button(QStringLiteral("Drukuj..."), "ReportPrint");
    QPushButton* close = button(QStringLiteral("Zamknij"), "ReportClose");
    auto exporter = [this] { return GridExport(this, *m_model, m_model->title()); };
    connect(csv, &QPushButton::clicked, this, [exporter] { OperatorMessages::runHandler([&] { exporter().saveCsv(); }); });
    connect(pdf, &QPushButton::clicked, this, [exporter] { OperatorMessages::runHandler([&] { exporter().savePdf(); }); });
    connect(print, &QPushButton::clicked, this, [exporter] { OperatorMessages::runHandler([&] { exporter().print(); }); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(count, 1);
    for (QPushButton* b : {csv, pdf, print, close}) {
        buttons->addWidget(b);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_grid, 1);
    layout->addLayout(buttons);
}

} // namespace talvern
