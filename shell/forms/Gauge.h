#pragma once
// A horizontal progress gauge: yellow background, black fill, and its value drawn centred as a
// whole number with a percent sign, in the colour that stands out from what lies under it.

#include <QProgressBar>

namespace talvern {

class Gauge : public QProgressBar {
    Q_OBJECT
public:
    explicit Gauge(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace talvern

using talvern::Gauge;
