#include "TForm4.h"

#include "AuxiliaryWindow.h"
#include "CardStanding.h"
#include "SpokenText.h"
#include "TDataSource.h"
#include "ui_TForm4.h"

#include <QPushButton>

#include <tuple>

namespace talvern {

namespace {

constexpr QColor kNavy(0, 0, 128);

QString fieldText(db::TTable* table, const char* field) {
    if (!table || !table->isOpen() || table->isEmpty())
        return {};
    try {
        return QString::fromStdString(table->fieldByName(field).asString());
    } catch (const std::exception&) {
        return {}; // a table without the field shows nothing there
    }
}

} // namespace

TForm4::TForm4(db::TDataSource& users, QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::TForm4>()), m_users(users) {
    m_ui->setupUi(this);
    prepareAuxiliaryWindow(*this, QSize(341, 286), AuxiliaryFrame::Resizable, 10);

    QFont captionFont = font();
    captionFont.setBold(true);
    captionFont.setPixelSize(11);
    for (QLabel* caption : {m_ui->N, m_ui->Label6, m_ui->Label2, m_ui->Label3, m_ui->Label5, m_ui->Label4}) {
        caption->setFont(captionFont);
        QPalette palette = caption->palette();
        palette.setColor(QPalette::WindowText, kNavy);
        caption->setPalette(palette);
    }
    QFont valueFont = font();
    valueFont.setBold(true);
    valueFont.setPixelSize(15);
    for (QLabel* value : {m_ui->DBText5, m_ui->DBText4, m_ui->DBText3, m_ui->DBText2, m_ui->Label1, m_ui->DBText1}) {
        value->setFont(valueFont);
        QPalette palette = value->palette();
        palette.setColor(QPalette::WindowText, Qt::black);
        value->setPalette(palette);
    }
    // Each value names itself after its row for a screen reader, and carries its text as its
    // description (showSpokenText).
    m_ui->DBText5->setAccessibleName(QStringLiteral("Nazwisko"));
    m_ui->DBText4->setAccessibleName(QStringLiteral("Lokal"));
    m_ui->DBText3->setAccessibleName(QStringLiteral("Grupa"));
    m_ui->DBText2->setAccessibleName(QStringLiteral("Ilosc duplikatow"));
    m_ui->Label1->setAccessibleName(QStringLiteral("Duplikat"));
    m_ui->DBText1->setAccessibleName(QStringLiteral("ID"));

    // The card read as the card journal knows it, under the "Zamknij" button; filled by each read.
    QFont lineFont = font();
    lineFont.setPixelSize(11);
    // The first line wraps to two: a date, the kind, the result and the mode.
    for (auto [line, name, top, height] : {std::tuple{&m_written, "Zapis karty", 202, 30},
                                           std::tuple{&m_current, "Aktualny duplikat", 234, 16},
                                           std::tuple{&m_access, "Uprawnienia karty", 252, 16}}) {
        *line = new QLabel(this);
        (*line)->setObjectName(QString::fromLatin1(name).remove(QLatin1Char(' ')));
        (*line)->setAccessibleName(QString::fromUtf8(name));
        (*line)->setFont(lineFont);
        (*line)->setGeometry(10, top, 321, height);
        (*line)->setWordWrap(true);
    }

    m_subscription = m_users.subscribe([this](const db::TableChange&) { showCurrentRecord(); });
    showCurrentRecord();
    connect(m_ui->Button1, &QPushButton::clicked, this, &TForm4::Button1Click);
}

TForm4::~TForm4() = default;

QLabel* TForm4::Label1() const { return m_ui->Label1; }

void TForm4::Button1Click() { hide(); }

void TForm4::showCardStanding(const cards::ReadCardStanding& standing, int tableIndex) {
    QString written;
    QString current;
    QString access;
    if (!standing.written) {
        written = QStringLiteral("Karty nie ma w dzienniku kart: nie wiadomo, kiedy i jak ją zapisano.");
        current = standing.current ? QStringLiteral("Aktualny duplikat: tak")
                                   : QStringLiteral("Aktualny duplikat: nie (w bazie: %1)").arg(tableIndex);
        access = QStringLiteral("Uprawnienia: nieznane");
    } else {
        const cards::IssuedCard& card = *standing.written;
        written = QStringLiteral("Zapisana %1: %2, %3 (%4)")
                      .arg(QString::fromStdString(card.written), QString::fromStdString(cards::kindText(card.kind)),
                           QString::fromStdString(cards::resultText(card.result)),
                           card.mode == "ADMIN" ? QStringLiteral("administrator") : QStringLiteral("użytkownik"));
        current = standing.current ? QStringLiteral("Aktualny duplikat: tak")
                                   : QStringLiteral("Aktualny duplikat: nie (w bazie: %1)").arg(tableIndex);
        if (standing.reportedLost)
            current += QStringLiteral(", zgłoszona jako zgubiona");
        access = standing.matches ? QStringLiteral("Uprawnienia: zgodna")
                                  : QStringLiteral("Uprawnienia: nieaktualna — przeprogramuj");
    }
    showSpokenText(*m_written, written);
    showSpokenText(*m_current, current);
    showSpokenText(*m_access, access);
}

void TForm4::showEvent(QShowEvent* event) {
    showCurrentRecord();
    QWidget::showEvent(event);
}

void TForm4::showCurrentRecord() {
    db::TTable* table = m_users.dataSet();
    showSpokenText(*m_ui->DBText5, fieldText(table, "NAME"));
    showSpokenText(*m_ui->DBText4, fieldText(table, "SURNAME"));
    showSpokenText(*m_ui->DBText3, fieldText(table, "GROUP"));
    showSpokenText(*m_ui->DBText2, fieldText(table, "INDEX"));
    showSpokenText(*m_ui->DBText1, fieldText(table, "NUMBER"));
}

} // namespace talvern
