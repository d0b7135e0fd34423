#pragma once
// The About window: the maker's contact lines and "Zamknij". Created once, hidden; shown
// non-modally and hidden again by "Zamknij" or the close box.

#include <QWidget>

#include <memory>

namespace Ui {
class TForm2;
}

namespace talvern {

class TForm2 : public QWidget {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);
    ~TForm2() override;

    void Button1Click();

private:
    std::unique_ptr<Ui::TForm2> m_ui;
};

} // namespace talvern
