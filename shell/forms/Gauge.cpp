#include "Gauge.h"

#include <QPainter>

namespace talvern {

Gauge::Gauge(QWidget* parent) : QProgressBar(parent) {
    setRange(0, 100);
    setValue(0);
    setFormat(QStringLiteral("%p%"));
}

void Gauge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = rect().adjusted(1, 1, -1, -1);
    const int span = maximum() - minimum();
    const int filled = span > 0 ? static_cast<int>(static_cast<long long>(area.width()) * (value() - minimum()) / span) : 0;
    const QRect fill(area.left(), area.top(), filled, area.height());
    const QString caption = text();

    painter.fillRect(rect(), Qt::black);
    painter.fillRect(area, Qt::yellow);
    painter.fillRect(fill, Qt::black);

    // The caption is black over the yellow part and yellow over the black fill.
    painter.setClipRect(area);
    painter.setPen(Qt::black);
    painter.drawText(area, Qt::AlignCenter, caption);
    painter.setClipRect(fill);
    painter.setPen(Qt::yellow);
    painter.drawText(area, Qt::AlignCenter, caption);
}

} // namespace talvern
