#include "SearchBar.h"

#include "DBGrid.h"
#include "OperatorMessages.h"
#include "TableModel.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

namespace talvern {

SearchBar::SearchBar(db::TTable& table, DBGrid& grid, std::vector<std::string> textFields,
                     std::vector<std::string> numberFields, Shape shape, QWidget* parent)
    : QWidget(parent), m_table(table), m_grid(grid), m_search(table, std::move(textFields), std::move(numberFields)) {
    auto* label = new QLabel(QStringLiteral("Szukaj:"), this);
    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("SearchText"));
    m_text->setAccessibleName(QStringLiteral("Szukaj"));
    m_text->setClearButtonEnabled(true);
    // The box's clear button is a control of its own to a screen reader.
    for (QToolButton* clear : m_text->findChildren<QToolButton*>()) {
        clear->setAccessibleName(QStringLiteral("Wyczyść"));
    }
    m_text->setToolTip(QStringLiteral("Część nazwiska, imienia lub nazwy albo początek numeru"));
    label->setBuddy(m_text);
    m_previous = new QPushButton(QStringLiteral("Poprzedni"), this);
    m_previous->setObjectName(QStringLiteral("SearchPrevious"));
    m_previous->setAccessibleName(QStringLiteral("Poprzedni"));
    m_next = new QPushButton(QStringLiteral("Następny"), this);
    m_next->setObjectName(QStringLiteral("SearchNext"));
    m_next->setAccessibleName(QStringLiteral("Następny"));
    for (QPushButton* button : {m_previous, m_next}) {
        button->setAutoDefault(false);
        button->setFocusPolicy(Qt::TabFocus);
    }
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("SearchStatus"));
    m_status->setAccessibleName(QStringLiteral("Wynik wyszukiwania"));
    QPalette red = m_status->palette();
    red.setColor(QPalette::WindowText, QColor(180, 0, 0));
    m_status->setPalette(red);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setHorizontalSpacing(4);
    layout->setVerticalSpacing(2);
    if (shape == Shape::OneRow) {
        layout->addWidget(label, 0, 0);
        layout->addWidget(m_text, 0, 1);
        layout->addWidget(m_previous, 0, 2);
        layout->addWidget(m_next, 0, 3);
        layout->addWidget(m_status, 0, 4);
        layout->setColumnStretch(1, 2);
        layout->setColumnStretch(4, 1);
    } else {
        layout->addWidget(label, 0, 0);
        layout->addWidget(m_text, 0, 1, 1, 3);
        layout->addWidget(m_previous, 1, 1);
        layout->addWidget(m_next, 1, 2);
        layout->addWidget(m_status, 1, 3);
        layout->setColumnStretch(3, 1);
    }

    if (grid.tableModel()) {
        grid.tableModel()->setRowMarker([this](int row) { return m_search.matches(row + 1); });
    }
    connect(m_text, &QLineEdit::textChanged, this, [this] { OperatorMessages::runHandler([this] { searchFirst(); }); });
    connect(m_next, &QPushButton::clicked, this, [this] { OperatorMessages::runHandler([this] { searchNext(); }); });
    connect(m_previous, &QPushButton::clicked, this,
            [this] { OperatorMessages::runHandler([this] { searchPrevious(); }); });
    m_text->installEventFilter(this);
}

QString SearchBar::notFoundText() { return QStringLiteral("Nie znaleziono"); }

bool SearchBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_text && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            const bool back = key->modifiers() & Qt::ShiftModifier;
            OperatorMessages::runHandler([this, back] { back ? searchPrevious() : searchNext(); });
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SearchBar::showFound(bool found) {
    m_found = found;
    m_status->setText(found ? QString() : notFoundText());
    QPalette colours = m_text->palette();
    colours.setColor(QPalette::Base, found ? palette().color(QPalette::Base) : QColor(255, 200, 200));
    m_text->setPalette(colours);
    m_text->setAccessibleDescription(found ? QString() : notFoundText());
    m_status->setAccessibleDescription(m_status->text());
}

void SearchBar::moveTo(int recNo) {
    if (recNo == 0) {
        showFound(false);
        return;
    }
    showFound(true);
    if (recNo != m_table.recNo() || m_table.state() != db::TTable::State::Browse) {
        m_table.moveTo(recNo);
    }
}

void SearchBar::searchFirst() {
    m_search.setText(m_text->text().toStdString());
    if (m_grid.tableModel()) {
        m_grid.tableModel()->refreshMarks();
    }
    if (m_search.isEmpty()) {
        showFound(true);
        return;
    }
    moveTo(m_search.first());
}

void SearchBar::searchNext() {
    if (m_search.isEmpty()) {
        return;
    }
    moveTo(m_search.next(m_table.recNo(), true));
}

void SearchBar::searchPrevious() {
    if (m_search.isEmpty()) {
        return;
    }
    moveTo(m_search.next(m_table.recNo(), false));
}

} // namespace talvern
