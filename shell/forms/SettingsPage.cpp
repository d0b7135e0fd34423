#include "SettingsPage.h"

#include "MakerContact.h"
#include "ui_SettingsPage.h"

namespace talvern {

SettingsPage::SettingsPage(QWidget* parent) : QWidget(parent), m_ui(std::make_unique<Ui::SettingsPage>()) {
    m_ui->setupUi(this);
    for (QLabel* label : {m_ui->Label8, m_ui->Label1, m_ui->Label16})
        label->adjustSize();
    m_ui->Button16->setText(QString::fromLatin1(maker::kWebAddress));
    m_ui->Button17->setText(QString::fromLatin1(maker::kEmailAddress));
    // The boxes tell a screen reader which field they belong to.
    m_ui->Label8->setBuddy(m_ui->Edit1);
}

SettingsPage::~SettingsPage() = default;

QLineEdit* SettingsPage::Edit1() const { return m_ui->Edit1; }
QLineEdit* SettingsPage::Edit6() const { return m_ui->Edit6; }
QLineEdit* SettingsPage::Edit8() const { return m_ui->Edit8; }
QPushButton* SettingsPage::Button5() const { return m_ui->Button5; }
QCheckBox* SettingsPage::CheckBoxVerify() const { return m_ui->CheckBoxVerify; }
QPushButton* SettingsPage::Button15() const { return m_ui->Button15; }
QPushButton* SettingsPage::Button11() const { return m_ui->Button11; }
QPushButton* SettingsPage::Button16() const { return m_ui->Button16; }
QPushButton* SettingsPage::Button17() const { return m_ui->Button17; }

} // namespace talvern
