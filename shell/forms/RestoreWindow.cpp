#include "RestoreWindow.h"

#include "OperatorMessages.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace talvern {

RestoreWindow::RestoreWindow(Actions actions, QWidget* parent) : QDialog(parent), m_actions(std::move(actions)) {
    setObjectName(QStringLiteral("RestoreWindow"));
    setWindowTitle(QStringLiteral("Kopie zapasowe"));
    setAccessibleName(QStringLiteral("Kopie zapasowe"));
    setModal(true);
    resize(560, 380);

    auto* layout = new QVBoxLayout(this);
    m_folder = new QLabel(this);
    m_folder->setObjectName(QStringLiteral("LabelFolderKopii"));
    m_folder->setWordWrap(true);
    layout->addWidget(m_folder);

    m_list = new QTableWidget(0, 3, this);
    m_list->setObjectName(QStringLiteral("ListaKopii"));
    m_list->setAccessibleName(QStringLiteral("Lista kopii zapasowych"));
    m_list->setHorizontalHeaderLabels({QStringLiteral("Data"), QStringLiteral("Powód"), QStringLiteral("Osoby")});
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->verticalHeader()->setVisible(false);
    m_list->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_list->setColumnWidth(0, 150);
    layout->addWidget(m_list, 1);

    auto* buttons = new QHBoxLayout;
    m_restore = new QPushButton(QStringLiteral("Odtwórz"), this);
    m_restore->setObjectName(QStringLiteral("ButtonOdtworz"));
    m_restore->setAccessibleName(QStringLiteral("Odtwórz wybraną kopię"));
    auto* now = new QPushButton(QStringLiteral("Wykonaj kopię"), this);
    now->setObjectName(QStringLiteral("ButtonWykonajKopie"));
    now->setAccessibleName(QStringLiteral("Wykonaj kopię teraz"));
    auto* close = new QPushButton(QStringLiteral("Zamknij"), this);
    close->setObjectName(QStringLiteral("ButtonZamknijKopie"));
    close->setAccessibleName(QStringLiteral("Zamknij"));
    buttons->addWidget(m_restore);
    buttons->addWidget(now);
    buttons->addStretch(1);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(m_restore, &QPushButton::clicked, this, [this] { OperatorMessages::runHandler([this] { restoreSelected(); }); });
    connect(now, &QPushButton::clicked, this, [this] {
        OperatorMessages::runHandler([this] { m_actions.backupNow(); });
        reload();
    });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_list, &QTableWidget::itemSelectionChanged, this,
            [this] { m_restore->setEnabled(!m_list->selectedItems().isEmpty()); });
    reload();
}

void RestoreWindow::reload() {
    m_folder->setText(QStringLiteral("Folder kopii: %1").arg(m_actions.folder()));
    m_entries = m_actions.list();
    m_list->clearContents();
    m_list->setRowCount(static_cast<int>(m_entries.size()));
    for (int row = 0; row < m_list->rowCount(); ++row) {
        const backup::BackupManifest& manifest = m_entries[static_cast<std::size_t>(row)].manifest;
        QString reason = QString::fromStdString(manifest.reason);
        if (!manifest.checked)
            reason += QStringLiteral(" (nie przeszła sprawdzenia)");
        m_list->setItem(row, 0, new QTableWidgetItem(QString::fromStdString(backup::localTimeText(manifest.taken))));
        m_list->setItem(row, 1, new QTableWidgetItem(reason));
        m_list->setItem(row, 2, new QTableWidgetItem(QString::number(manifest.users)));
    }
    if (m_list->rowCount() > 0)
        m_list->selectRow(0);
    m_restore->setEnabled(m_list->rowCount() > 0);
}

void RestoreWindow::restoreSelected() {
    const int row = m_list->currentRow();
    if (row < 0 || row >= static_cast<int>(m_entries.size()))
        return;
    const backup::BackupEntry entry = m_entries[static_cast<std::size_t>(row)];
    const QString date = QString::fromStdString(backup::localTimeText(entry.manifest.taken));
    if (!OperatorMessages::ask(QStringLiteral("Odtworzyć tabele z kopii z %1 (%2, osób: %3)?\n"
                                              "Obecny stan tabel zostanie najpierw zapisany w nowej kopii.")
                                   .arg(date, QString::fromStdString(entry.manifest.reason))
                                   .arg(entry.manifest.users),
                               QStringLiteral("Odtworzenie kopii")))
        return;
    m_actions.restore(entry);
    reload();
}

} // namespace talvern
