#include "ReportsMenu.h"

#include "CardJournal.h"
#include "GridExport.h"
#include "OperatorMessages.h"
#include "Report.h"
#include "ReportWindow.h"
#include "SiteRecords.h"
#include "StoreChange.h"

#include <QApplication>
#include <QInputDialog>
#include <QRegularExpression>

#include <algorithm>

namespace talvern {
namespace {

std::function<int()>& readerChooser() {
    static std::function<int()> chooser;
    return chooser;
}

} // namespace

void ReportsMenu::setReaderChooser(std::function<int()> chooser) { readerChooser() = std::move(chooser); }

QString ReportsMenu::noJournalText() {
    return QStringLiteral("Brak dziennika kart: w tym obiekcie nie zapisano jeszcze żadnej karty.");
}

ReportsMenu::ReportsMenu(db::TTable& users, db::TTable& groups, db::TTable& readers,
                         std::function<PageGrid()> currentGrid, QWidget* window, journal::CardJournal* cardJournal)
    : QMenu(QStringLiteral("Raporty"), window), m_users(users), m_groups(groups), m_readers(readers),
      m_currentGrid(std::move(currentGrid)), m_window(window), m_cardJournal(cardJournal) {
    setObjectName(QStringLiteral("Raporty1"));
    // The tooltip of a disabled card report says why it is disabled.
    setToolTipsVisible(true);
    const auto catalogue = db::reports::reportCatalogue();
    for (int i = 0; i < static_cast<int>(catalogue.size()); ++i) {
        const db::reports::Report& report = *catalogue[static_cast<std::size_t>(i)];
        QAction* action = addAction(QString::fromStdString(report.caption()));
        action->setObjectName(QStringLiteral("Raport%1").arg(i + 1));
        connect(action, &QAction::triggered, this, [this, i] { OperatorMessages::runHandler([&] { openReport(i); }); });
        if (report.readsCardJournal()) {
            m_cardActions << action;
        }
    }
    offerCardReports();
    addSeparator();
    const std::pair<QString, const char*> gridEntries[] = {
        {QStringLiteral("Zapisz tabelę strony jako CSV..."), "TabelaCsv1"},
        {QStringLiteral("Zapisz tabelę strony jako PDF..."), "TabelaPdf1"},
        {QStringLiteral("Drukuj tabelę strony..."), "TabelaDruk1"},
    };
    for (int how = 0; how < 3; ++how) {
        QAction* action = addAction(gridEntries[how].first);
        action->setObjectName(QString::fromLatin1(gridEntries[how].second));
        connect(action, &QAction::triggered, this, [this, how] { OperatorMessages::runHandler([&] { exportGrid(how); }); });
        m_gridActions << action;
    }
    // The page entries are offered only on a page that has a grid.
    connect(this, &QMenu::aboutToShow, this, [this] {
        offerCardReports();
        const bool hasGrid = m_currentGrid && m_currentGrid().model;
        for (QAction* action : m_gridActions) {
            action->setEnabled(hasGrid);
        }
    });
}

bool ReportsMenu::hasCardJournal() const {
    return m_cardJournal != nullptr && m_cardJournal->exists();
}

void ReportsMenu::offerCardReports() {
    const bool journal = hasCardJournal();
    for (QAction* action : m_cardActions) {
        action->setEnabled(journal);
        action->setToolTip(journal ? QString() : noJournalText());
    }
}

int ReportsMenu::askReader() {
    if (readerChooser()) {
        return readerChooser()();
    }
    // The readers of the table by number, the current reader first chosen; another number may be typed.
    QStringList items;
    std::vector<db::reports::ReaderRecord> readers = db::reports::readReaders(m_readers);
    std::stable_sort(readers.begin(), readers.end(), [](const auto& a, const auto& b) { return a.number < b.number; });
    int current = 0;
    const std::int64_t currentNumber =
        m_readers.isOpen() && !m_readers.isEmpty() ? m_readers.fieldByName("ID_CZYT").asInteger() : 0;
    for (const auto& reader : readers) {
        if (reader.number == currentNumber) {
            current = static_cast<int>(items.size());
        }
        items << QStringLiteral("%1 %2").arg(reader.number).arg(QString::fromStdString(reader.name));
    }
    bool ok = false;
    const QString chosen = QInputDialog::getItem(m_window, QStringLiteral("Kto otworzy czytnik"),
                                                 QStringLiteral("Numer czytnika (1 do 96):"), items, current, true, &ok);
    if (!ok) {
        return 0;
    }
    const QRegularExpressionMatch number = QRegularExpression(QStringLiteral("^\\s*(\\d+)")).match(chosen);
    const int reader = number.hasMatch() ? number.captured(1).toInt() : 0;
    if (reader < 1 || reader > db::reports::kReaderCount) {
        OperatorMessages::show(QStringLiteral("Numer czytnika to liczba od 1 do 96."), QStringLiteral("Błąd"));
        return 0;
    }
    return reader;
}

ReportWindow* ReportsMenu::openReport(int index, int parameter) {
    const auto catalogue = db::reports::reportCatalogue();
    if (index < 0 || index >= static_cast<int>(catalogue.size())) {
        return nullptr;
    }
    const db::reports::Report& report = *catalogue[static_cast<std::size_t>(index)];
    if (report.readsCardJournal() && !hasCardJournal()) {
        OperatorMessages::show(noJournalText(), QString::fromStdString(report.caption()));
        return nullptr;
    }
    for (db::TTable* table : {&m_users, &m_groups, &m_readers}) {
        storeChange(*table);
    }
    if (parameter == 0) {
        if (report.needs() == db::reports::Report::Needs::Reader) {
            parameter = askReader();
        } else if (report.needs() == db::reports::Report::Needs::User) {
            parameter = m_users.recNo();
            if (parameter < 1 || parameter > m_users.recordCount()) {
                OperatorMessages::show(QStringLiteral("Najpierw wybierz osobę na stronie „Osoby”."),
                                       QStringLiteral("Brak osoby"));
                return nullptr;
            }
        }
        if (report.needs() != db::reports::Report::Needs::Nothing && parameter == 0) {
            return nullptr;
        }
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    db::reports::SiteTables site{m_users, m_groups, m_readers, m_cardJournal};
    db::reports::ReportTable table;
    try {
        table = report.build(site, parameter);
    } catch (...) {
        QApplication::restoreOverrideCursor();
        throw;
    }
    QApplication::restoreOverrideCursor();
    auto* window = new ReportWindow(std::move(table), m_window);
    window->show();
    return window;
}

void ReportsMenu::exportGrid(int how) {
    const PageGrid grid = m_currentGrid ? m_currentGrid() : PageGrid{};
    if (!grid.model) {
        return;
    }
    GridExport exporter(m_window, *grid.model, grid.title);
    if (how == 0) {
        exporter.saveCsv();
    } else if (how == 1) {
        exporter.savePdf();
    } else {
        exporter.print();
    }
}

} // namespace talvern
