#include "SettingsPage.h"

#include "MakerContact.h"
#include "ui_SettingsPage.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace talvern {

SettingsPage::SettingsPage(QWidget* parent) : QWidget(parent), m_ui(std::make_unique<Ui::SettingsPage>()) {
    m_ui->setupUi(this);
    for (QLabel* label : {m_ui->Label8, m_ui->Label1, m_ui->Label16})
        label->adjustSize();
    m_ui->Button16->setText(QString::fromLatin1(maker::kWebAddress));
    m_ui->Button17->setText(QString::fromLatin1(maker::kEmailAddress));
    // The boxes tell a screen reader which field they belong to.
    m_ui->Label8->setBuddy(m_ui->Edit1);
    buildBackupBox();
}

void SettingsPage::buildBackupBox() {
    // Where the automatic backups go: a USB stick or a network share, or, left empty, the site's kopie/.
    auto* box = new QGroupBox(QStringLiteral("Kopie zapasowe"), this);
    box->setObjectName(QStringLiteral("GroupBoxKopie"));
    box->setGeometry(400, 264, 260, 145);
    auto* label = new QLabel(QStringLiteral("Folder kopii (puste: kopie\nw folderze obiektu)"), box);
    label->setObjectName(QStringLiteral("LabelKopie"));
    label->setGeometry(12, 22, 236, 34);
    m_editKopie = new QLineEdit(box);
    m_editKopie->setObjectName(QStringLiteral("EditKopie"));
    m_editKopie->setGeometry(12, 62, 236, 24);
    m_editKopie->setAccessibleName(QStringLiteral("Folder kopii zapasowych"));
    label->setBuddy(m_editKopie);
    m_buttonKopieWybierz = new QPushButton(QStringLiteral("Wybierz..."), box);
    m_buttonKopieWybierz->setObjectName(QStringLiteral("ButtonKopieWybierz"));
    m_buttonKopieWybierz->setGeometry(12, 100, 110, 25);
    m_buttonKopieWybierz->setAccessibleName(QStringLiteral("Wybierz folder kopii zapasowych"));
    m_buttonKopieZapisz = new QPushButton(QStringLiteral("Zapisz"), box);
    m_buttonKopieZapisz->setObjectName(QStringLiteral("ButtonKopieZapisz"));
    m_buttonKopieZapisz->setGeometry(138, 100, 110, 25);
    m_buttonKopieZapisz->setAccessibleName(QStringLiteral("Zapisz folder kopii zapasowych"));
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
