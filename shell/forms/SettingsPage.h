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
    // Whether a written card is read back and checked (administrator only).
    QCheckBox* CheckBoxVerify() const;

private:
    std::unique_ptr<Ui::SettingsPage> m_ui;
};

} // namespace talvern
