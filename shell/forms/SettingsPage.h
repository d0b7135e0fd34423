#pragma once
// Page 3 of the notebook: the system code, the two passwords, and the maker's web and e-mail
// buttons. The main window handles its buttons; the page only lays out its controls.

#include <QWidget>

#include <memory>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace Ui {
class SettingsPage;
}

namespace talvern {

class SettingsPage : public QWidget {
    Q_OBJECT
public:
    explicit SettingsPage(QWidget* parent = nullptr);
    ~SettingsPage() override;

    QLineEdit* Edit1() const;  // system code
    QLineEdit* Edit6() const;  // administrator password
    QLineEdit* Edit8() const;  // user password
    QPushButton* Button5() const;
    QPushButton* Button15() const;
    QPushButton* Button11() const;
    QPushButton* Button16() const;
    QPushButton* Button17() const;
    // The backup folder: empty for the site's own kopie/ folder; an administrator's setting.
    QLineEdit* EditKopie() const { return m_editKopie; }
    QPushButton* ButtonKopieWybierz() const { return m_buttonKopieWybierz; }
    QPushButton* ButtonKopieZapisz() const { return m_buttonKopieZapisz; }
    // Whether a written card is read back and checked (administrator only).
    QCheckBox* CheckBoxVerify() const;

private:
    void buildBackupBox();

    std::unique_ptr<Ui::SettingsPage> m_ui;
    QLineEdit* m_editKopie = nullptr;
    QPushButton* m_buttonKopieWybierz = nullptr;
    QPushButton* m_buttonKopieZapisz = nullptr;
};

} // namespace talvern
