#pragma once
// The transfer window: the gauge `bar2` that the card operations step while a card is written or
// read, and the label "Transmit". It has no buttons; its close box only hides it, and the
// operation goes on setting the gauge of the hidden window.

#include <QWidget>

#include <memory>

namespace Ui {
class TForm3;
}

namespace talvern {

class Gauge;

class TForm3 : public QWidget {
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);
    ~TForm3() override;

    Gauge* bar2() const;

private:
    std::unique_ptr<Ui::TForm3> m_ui;
};

} // namespace talvern
