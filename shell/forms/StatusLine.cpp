#include "StatusLine.h"

#include "SpokenText.h"

#include <QEvent>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QStyle>

#include <algorithm>

namespace talvern {

// A plain-text label that draws the text it is given as QLabel draws its own, from pictures kept
// for the last few texts; any change of size, font, palette, style or state throws them away.
class StatusLine::PictureLabel : public QLabel {
public:
    explicit PictureLabel(QWidget* parent) : QLabel(parent) {
        setTextFormat(Qt::PlainText);
        // Each picture covers the label, background included: nothing beneath needs painting.
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    const QString& shown() const { return m_shown; }

    void display(const QString& text) {
        if (text == m_shown)
            return;
        const QString before = m_shown;
        m_shown = text;
        if (m_drawings.isEmpty() || !isVisible() || size().isEmpty()) {
            update(); // nothing drawn yet to compare with
            return;
        }
        // Painted at once rather than asked for: a request would be a posted event, which wakes
        // the event loop a second time for every frame.
        if (const QRect changed = changeBetween(before, text); !changed.isEmpty())
            repaint(changed);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        const QImage& picture = drawing(m_shown);
        const QRect area = event->rect();
        const qreal ratio = picture.devicePixelRatio();
        const QRectF source(area.x() * ratio, area.y() * ratio, area.width() * ratio, area.height() * ratio);
        QPainter painter(this);
        painter.drawImage(QRectF(area), picture, source);
    }
    void resizeEvent(QResizeEvent* event) override {
        forget();
        QLabel::resizeEvent(event);
    }
    void changeEvent(QEvent* event) override {
        switch (event->type()) {
        case QEvent::FontChange:
        case QEvent::PaletteChange:
        case QEvent::StyleChange:
        case QEvent::EnabledChange:
        case QEvent::LayoutDirectionChange:
            forget();
            update();
            break;
        default:
            break;
        }
        QLabel::changeEvent(event);
    }

private:
    // The animation's five frames, the bare connect text and the disconnected one.
    static constexpr int kKept = 8;

    void forget() {
        m_drawings.clear();
        m_changes.clear();
    }

    const QImage& drawing(const QString& text) {
        const auto found = m_drawings.constFind(text);
        if (found != m_drawings.constEnd())
            return *found;
        if (m_drawings.size() >= kKept)
            forget();
        const qreal ratio = devicePixelRatio();
        QImage picture(size() * ratio, QImage::Format_ARGB32_Premultiplied);
        picture.setDevicePixelRatio(ratio);
        picture.fill(palette().color(backgroundRole()));
        QPainter painter(&picture);
        painter.setFont(font()); // a painter on a picture starts with the application's font
        // What QLabel itself does for plain text without margin, indent or frame.
        style()->drawItemText(&painter, contentsRect(), QStyle::visualAlignment(layoutDirection(), alignment()),
                              palette(), isEnabled(), text, foregroundRole());
        return *m_drawings.insert(text, picture);
    }

    // The smallest rectangle (in the label's coordinates) outside which the two texts' pictures are
    // the same.
    QRect changeBetween(const QString& from, const QString& to) {
        const QString key = from + QChar(0) + to;
        if (const auto found = m_changes.constFind(key); found != m_changes.constEnd())
            return *found;
        if (m_changes.size() >= kKept * kKept)
            m_changes.clear();
        const QImage before = drawing(from); // shared copies: drawing() may start the kept set anew
        const QImage after = drawing(to);
        int left = after.width(), right = -1, top = after.height(), bottom = -1;
        for (int y = 0; y < after.height(); ++y) {
            const auto* a = reinterpret_cast<const quint32*>(before.constScanLine(y));
            const auto* b = reinterpret_cast<const quint32*>(after.constScanLine(y));
            int first = 0;
            while (first < after.width() && a[first] == b[first])
                ++first;
            if (first == after.width())
                continue;
            int last = after.width() - 1;
            while (a[last] == b[last])
                --last;
            left = std::min(left, first);
            right = std::max(right, last);
            top = std::min(top, y);
            bottom = y;
        }
        QRect changed;
        if (right >= 0) {
            const qreal ratio = after.devicePixelRatio();
            changed = QRectF(left / ratio, top / ratio, (right - left + 1) / ratio, (bottom - top + 1) / ratio)
                          .toAlignedRect()
                          .intersected(rect());
        }
        m_changes.insert(key, changed);
        return changed;
    }

    QString m_shown;
    QHash<QString, QImage> m_drawings;
    QHash<QString, QRect> m_changes;
};

StatusLine::StatusLine(QWidget* parent) : QWidget(parent), m_label(new PictureLabel(this)) {
    m_label->setFixedSize(0, 0); // given the holder's size when the status bar lays the holder out
}

QLabel* StatusLine::label() const { return m_label; }

void StatusLine::setText(const QString& shown, const QString& spoken) {
    if (spoken != m_label->text())
        showSpokenText(*m_label, spoken);
    m_label->display(shown);
}

QString StatusLine::text() const { return m_label->shown(); }

void StatusLine::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_label->setFixedSize(event->size());
}

} // namespace talvern
