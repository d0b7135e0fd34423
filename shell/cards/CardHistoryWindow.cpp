#include "CardHistoryWindow.h"

#include "CardGrid.h"
#include "CardHistoryModel.h"
#include "JournalSource.h"
#include "OperatorMessages.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace talvern {

namespace {

QLabel* labelFor(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

} // namespace

CardHistoryWindow::CardHistoryWindow(cards::JournalSource& journal, QWidget* parent)
    : QWidget(parent, Qt::Window), m_journal(journal), m_model(new CardHistoryModel(journal, this)) {
    setObjectName(QStringLiteral("CardHistory"));
    setWindowTitle(QStringLiteral("Historia kart"));
    // Wide enough for every column, the result and the operator mode included, where the screen
    // allows it; a narrower screen scrolls the grid sideways.
    const QRect screenArea = screen()->availableGeometry();
    resize(std::min(1150, screenArea.width()), std::min(520, screenArea.height()));

    m_user = new QLineEdit(this);
    m_user->setObjectName(QStringLiteral("HistoryUser"));
    m_user->setAccessibleName(QStringLiteral("Użytkownik"));
    m_user->setPlaceholderText(QStringLiteral("numer ID albo część imienia lub nazwiska"));
    m_kind = new QComboBox(this);
    m_kind->setObjectName(QStringLiteral("HistoryKind"));
    m_kind->setAccessibleName(QStringLiteral("Rodzaj karty"));
    m_kind->addItem(QStringLiteral("wszystkie"), QString());
    for (const char* code : {cards::kind::kUserCard, cards::kind::kDuplicate, cards::kind::kNoAccess,
                             cards::kind::kWithdrawal, cards::kind::kConfiguration, cards::kind::kLost}) {
        m_kind->addItem(QString::fromStdString(cards::kindText(code)), QString::fromLatin1(code));
    }
    m_filter = new QPushButton(QStringLiteral("Filtruj"), this);
    m_filter->setObjectName(QStringLiteral("HistoryFilter"));
    m_filter->setAccessibleName(QStringLiteral("Filtruj"));
    auto* all = new QPushButton(QStringLiteral("Pokaż wszystko"), this);
    all->setAccessibleName(QStringLiteral("Pokaż wszystko"));

    m_grid = makeCardGrid(this, QStringLiteral("HistoryGrid"), QStringLiteral("Zapisane karty"), m_model,
                          {140, 150, 55, 60, 100, 110, 110, 150, 150, 90},
                          {CardHistoryModel::Kind, CardHistoryModel::Index, CardHistoryModel::Readers,
                           CardHistoryModel::Result, CardHistoryModel::Mode});

    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("HistorySummary"));
    m_summary->setAccessibleName(QStringLiteral("Stan dziennika"));
    m_summary->setWordWrap(true);
    auto* close = new QPushButton(QStringLiteral("Zamknij"), this);
    close->setAccessibleName(QStringLiteral("Zamknij"));

    auto* filters = new QHBoxLayout;
    filters->addWidget(labelFor(QStringLiteral("Użytkownik:"), m_user, this));
    filters->addWidget(m_user, 1);
    filters->addWidget(labelFor(QStringLiteral("Rodzaj:"), m_kind, this));
    filters->addWidget(m_kind);
    filters->addWidget(m_filter);
    filters->addWidget(all);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_summary, 1);
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(m_grid, 1);
    layout->addLayout(bottom);

    // A journal the filter cannot read (a field another program rebuilt with another type) is told
    // in a message box; the grid keeps what it showed.
    const auto filter = [this] { OperatorMessages::runHandler([this] { applyFilter(); }); };
    connect(m_filter, &QPushButton::clicked, this, filter);
    connect(m_user, &QLineEdit::returnPressed, this, filter);
    connect(m_kind, &QComboBox::activated, this, filter);
    connect(all, &QPushButton::clicked, this, [this] {
        m_user->clear();
        m_kind->setCurrentIndex(0);
        OperatorMessages::runHandler([this] { applyFilter(); });
    });
    connect(close, &QPushButton::clicked, this, &QWidget::hide);
    showSummary();
}

void CardHistoryWindow::reload() {
    m_model->reload();
    showSummary();
}

void CardHistoryWindow::applyFilter() {
    m_model->setFilter(m_user->text(), m_kind->currentData().toString());
    showSummary();
}

void CardHistoryWindow::showSummary() {
    QString text;
    if (!m_journal.exists()) {
        text = QStringLiteral("Brak dziennika kart: w tym obiekcie nie zapisano jeszcze żadnej karty.");
    } else if (m_model->filtered()) {
        text = QStringLiteral("Wierszy spełniających warunki: %1 z %2.")
                   .arg(m_model->rowCount())
                   .arg(m_journal.rowCount());
    } else {
        text = QStringLiteral("Wierszy w dzienniku: %1 (najnowsze na górze).").arg(m_model->rowCount());
    }
    m_summary->setText(text);
    m_summary->setAccessibleDescription(text);
}

} // namespace talvern
