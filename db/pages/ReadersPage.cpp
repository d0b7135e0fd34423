#include "ReadersPage.h"

#include "ui_ReadersPage.h"

#include "DisplaySuspension.h"
#include "NewRecords.h"
#include "OperatorMessages.h"
#include "PageMode.h"
#include "SearchBar.h"
#include "SystemColours.h"


namespace talvern {

namespace {

// Relay times offered by the pick list, in seconds; any other whole number may be typed.
const QStringList kRelayTimes = {"1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",   "9",   "10",  "15",  "20",  "25",
                                 "30", "40", "50", "60", "70", "80", "90", "100", "120", "140", "160", "180", "200"};

} // namespace

ReadersPage::ReadersPage(db::TTable& readers, QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::ReadersPage>()), m_readers(readers) {
    m_ui->setupUi(this);
    // Typing into an empty table begins a reader as Add does, numbered and with its relay time.
    readers.setNewRecordFiller(db::fillNewReader);
    m_ui->DBComboBox1->addItems(kRelayTimes);
    m_ui->DBGrid3->bind(readers, {{QStringLiteral("NAME"), 146}, {QStringLiteral("TIME"), 0}});
    // The search box over the narrow grid takes two rows: part of a name or the start of a number.
    m_search = new SearchBar(readers, *m_ui->DBGrid3, {"NAME"}, {"ID_CZYT"}, SearchBar::Shape::TwoRows, this);
    m_search->setObjectName(QStringLiteral("ReadersSearch"));
    m_search->setGeometry(10, 2, 255, 54);
    m_ui->DBMemo3->bind(readers, QStringLiteral("MIEJSCE"));
    m_ui->DBEdit3->bind(readers, QStringLiteral("NAME"));
    m_ui->DBComboBox1->bind(readers, QStringLiteral("TIME"));
    m_ui->DBEdit4->bind(readers, QStringLiteral("ID_CZYT"));
    m_ui->DBCheckBox98->bind(readers, QStringLiteral("PROX"));
    m_ui->DBCheckBox97->bind(readers, QStringLiteral("EMULACJA"));

    // Every bound box starts read-only; the reader number stays so.
    setBoxesWritable(false);
    m_ui->DBEdit4->setReadOnly(true);
    pages::setColour(*m_ui->DBMemo3, SystemColours::inactiveBorder());
    pages::setColour(*m_ui->DBEdit3, SystemColours::inactiveBorder());
    pages::setColour(*m_ui->DBComboBox1, SystemColours::inactiveBorder());
    pages::setColour(*m_ui->DBEdit4, SystemColours::activeBorder());

    // The old system code is typed on red, and shown only for "Change system code".
    QPalette red = m_ui->Edit2->palette();
    red.setColor(QPalette::Base, Qt::red);
    red.setColor(QPalette::Text, Qt::white);
    m_ui->Edit2->setPalette(red);

    pages::joinModeButtons(
        *m_ui->SpeedButton1, [this] { SpeedButton1Click(); }, *m_ui->SpeedButton2, [this] { SpeedButton2Click(); });
    connect(m_ui->Button6, &QPushButton::clicked, this,
            [this] { OperatorMessages::runHandler([this] { Button6Click(); }); });
    connect(m_ui->Button8, &QPushButton::clicked, this,
            [this] { OperatorMessages::runHandler([this] { Button8Click(); }); });
}

ReadersPage::~ReadersPage() = default;

QGroupBox* ReadersPage::configurationCardBox() const {
    return m_ui->GroupBox1;
}
QRadioButton* ReadersPage::newReaderOption() const {
    return m_ui->RadioButton3;
}
QRadioButton* ReadersPage::existingReaderOption() const {
    return m_ui->RadioButton1;
}
QRadioButton* ReadersPage::changeCodeOption() const {
    return m_ui->RadioButton2;
}
QLabel* ReadersPage::oldCodeLabel() const {
    return m_ui->Label17;
}
QLineEdit* ReadersPage::oldCodeBox() const {
    return m_ui->Edit2;
}
QCheckBox* ReadersPage::clearMemoryBox() const {
    return m_ui->CheckBox1;
}
QPushButton* ReadersPage::saveToCardButton() const {
    return m_ui->Button12;
}
DBGrid* ReadersPage::grid() const {
    return m_ui->DBGrid3;
}

void ReadersPage::setBoxesWritable(bool writable) {
    for (QWidget* box : {static_cast<QWidget*>(m_ui->DBEdit3), static_cast<QWidget*>(m_ui->DBComboBox1),
                         static_cast<QWidget*>(m_ui->DBMemo3), static_cast<QWidget*>(m_ui->DBCheckBox97),
                         static_cast<QWidget*>(m_ui->DBCheckBox98)}) {
        pages::setWritable(*box, writable);
    }
}

void ReadersPage::SpeedButton1Click() {
    m_ui->Button6->setEnabled(true);
    m_ui->Button8->setEnabled(true);
    pages::setColour(*m_ui->DBEdit3, SystemColours::window());
    pages::setColour(*m_ui->DBComboBox1, SystemColours::window());
    pages::setColour(*m_ui->DBMemo3, SystemColours::window());
    setBoxesWritable(true);
}

void ReadersPage::SpeedButton2Click() {
    // A relay time typed but not taken is refused now, quoting it; the reader keeps its stored time.
    m_ui->DBComboBox1->commit();
    m_readers.refresh();
    m_ui->Button6->setEnabled(false);
    m_ui->Button8->setEnabled(false);
    pages::setColour(*m_ui->DBEdit3, SystemColours::inactiveBorder());
    pages::setColour(*m_ui->DBComboBox1, SystemColours::inactiveBorder());
    pages::setColour(*m_ui->DBMemo3, SystemColours::inactiveBorder());
    setBoxesWritable(false);
    if (m_refreshReaderHints) {
        m_refreshReaderHints();
    }
}

void ReadersPage::Button6Click() {
    int number = 0;
    {
        DisplaySuspension quiet(m_readers);
        m_readers.first();
        number = db::lowestFreeReaderNumber(m_readers, kHighestReaderNumber);
        if (number == 0 && !m_readers.isEmpty()) {
            // The search for a free number ends on the last reader it found: the one numbered 96.
            m_readers.locate("ID_CZYT", std::to_string(kHighestReaderNumber), true);
        }
    }
    if (number == 0) {
        OperatorMessages::show(QStringLiteral("Maksymalny numer czytnika to 96."), QStringLiteral("Error"));
        return;
    }
    // The new reader comes with that number, the name "Reader " and the number, relay time 2 and both
    // options false (fillNewReader).
    DisplaySuspension quiet(m_readers);
    m_readers.append();
    m_readers.post();
}

void ReadersPage::Button8Click() {
    if (!m_readers.eof()) {
        m_readers.deleteRecord();
    }
    m_readers.refresh();
}

} // namespace talvern
