#include "TForm3.h"

#include "AuxiliaryWindow.h"
#include "Gauge.h"
#include "ui_TForm3.h"

#include <QLabel>

namespace talvern {

TForm3::TForm3(QWidget* parent) : QWidget(parent), m_ui(std::make_unique<Ui::TForm3>()) {
    m_ui->setupUi(this);
    prepareAuxiliaryWindow(*this, QSize(407, 72), AuxiliaryFrame::FixedDialog, 10);
    QFont bold = m_ui->Label1->font();
    bold.setBold(true);
    bold.setPixelSize(16);
    m_ui->Label1->setFont(bold);
    m_ui->Label1->adjustSize();
}

TForm3::~TForm3() = default;

Gauge* TForm3::bar2() const { return m_ui->bar2; }

} // namespace talvern
