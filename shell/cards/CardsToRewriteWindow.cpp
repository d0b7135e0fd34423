#include "CardsToRewriteWindow.h"

#include "CardGrid.h"
#include "JournalSource.h"
#include "OperatorMessages.h"
#include "SiteRights.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace talvern {

namespace {
QString text(const std::string& value) {
    return QString::fromStdString(value);
}
} // namespace

void CardsToRewriteModel::setEntries(std::vector<cards::CardToRewrite> entries) {
    beginResetModel();
    m_entries = std::move(entries);
    endResetModel();
}

int CardsToRewriteModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

int CardsToRewriteModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CardsToRewriteModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const cards::CardToRewrite& entry = m_entries[static_cast<std::size_t>(index.row())];
    switch (index.column()) {
    case Number:
        return QString::number(entry.user.number);
    case Surname:
        return text(entry.user.surname);
    case Name:
        return text(entry.user.name);
    case Group:
        return text(entry.user.group);
    case Cause:
        return text(cards::causeText(entry.cause));
    case Gained:
        return text(cards::readerList(entry.gained));
    case Lost:
        return text(cards::readerList(entry.lost));
    case LastCard:
        return entry.card ? text(entry.card->written + ", duplikat " + std::to_string(entry.card->index))
                          : QStringLiteral("—");
    default:
        return {};
    }
}

QVariant CardsToRewriteModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const titles[] = {"ID",           "Imię",            "Nazwisko",         "Grupa",
                                         "Przyczyna",    "Czytniki dodane", "Czytniki odebrane", "Ostatnia karta"};
    return section >= 0 && section < ColumnCount ? QString::fromUtf8(titles[section]) : QVariant();
}

CardsToRewriteWindow::CardsToRewriteWindow(cards::JournalSource& journal, db::TTable& users, db::TTable& groups,
                                           std::function<void(long)> program, QWidget* parent)
    : QWidget(parent, Qt::Window), m_journal(journal), m_users(users), m_groups(groups),
      m_programUser(std::move(program)), m_model(new CardsToRewriteModel(this)) {
    setObjectName(QStringLiteral("CardsToRewrite"));
    setWindowTitle(QStringLiteral("Karty do przeprogramowania"));
    resize(900, 420);

    m_grid = makeCardGrid(this, QStringLiteral("RewriteGrid"), QStringLiteral("Użytkownicy do przeprogramowania"),
                          m_model, {55, 100, 110, 110, 200, 130, 130, 160},
                          {CardsToRewriteModel::Cause, CardsToRewriteModel::Gained, CardsToRewriteModel::Lost});

    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("RewriteSummary"));
    m_summary->setAccessibleName(QStringLiteral("Stan kart"));
    m_summary->setWordWrap(true);
    m_program = new QPushButton(QStringLiteral("Programuj"), this);
    m_program->setObjectName(QStringLiteral("RewriteProgram"));
    m_program->setAccessibleName(QStringLiteral("Programuj"));
    auto* refresh = new QPushButton(QStringLiteral("Odśwież"), this);
    refresh->setAccessibleName(QStringLiteral("Odśwież"));
    auto* close = new QPushButton(QStringLiteral("Zamknij"), this);
    close->setAccessibleName(QStringLiteral("Zamknij"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_summary, 1);
    buttons->addWidget(m_program);
    buttons->addWidget(refresh);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_grid, 1);
    layout->addLayout(buttons);

    connect(m_program, &QPushButton::clicked, this, [this] { OperatorMessages::runHandler([this] { programSelected(); }); });
    connect(m_grid, &QAbstractItemView::doubleClicked, this,
            [this] { OperatorMessages::runHandler([this] { programSelected(); }); });
    connect(refresh, &QPushButton::clicked, this, [this] { OperatorMessages::runHandler([this] { reload(); }); });
    connect(close, &QPushButton::clicked, this, &QWidget::hide);
}

void CardsToRewriteWindow::reload() {
    const long keep = m_grid->currentIndex().isValid()
                          ? m_model->entries()[static_cast<std::size_t>(m_grid->currentIndex().row())].user.number
                          : -1;
    std::vector<cards::CardToRewrite> entries =
        cards::cardsToRewrite(m_journal.standingRows(), cards::siteUsers(m_users), cards::groupRights(m_groups));
    m_model->setEntries(std::move(entries));
    const auto& shown = m_model->entries();
    int row = shown.empty() ? -1 : 0;
    for (std::size_t at = 0; at < shown.size(); ++at) {
        if (shown[at].user.number >= keep) { // the same holder, or the next one after a rewritten card
            row = static_cast<int>(at);
            break;
        }
    }
    if (row >= 0)
        m_grid->selectRow(row);
    QString summary = shown.empty() ? QStringLiteral("Wszystkie wydane karty są zgodne z uprawnieniami.")
                                    : QStringLiteral("Użytkowników do przeprogramowania: %1.").arg(shown.size());
    if (!m_journal.exists())
        summary += QStringLiteral(" Brak dziennika kart: w tym obiekcie nie zapisano jeszcze żadnej karty.");
    m_summary->setText(summary);
    m_summary->setAccessibleDescription(summary);
    m_program->setEnabled(!shown.empty());
}

void CardsToRewriteWindow::programSelected() {
    const QModelIndex current = m_grid->currentIndex();
    if (!current.isValid() || current.row() >= m_model->rowCount()) {
        OperatorMessages::show(QStringLiteral("Wybierz użytkownika z listy."), QStringLiteral("Karty do przeprogramowania"));
        return;
    }
    const long number = m_model->entries()[static_cast<std::size_t>(current.row())].user.number;
    m_programUser(number);
    reload();
}

} // namespace talvern
