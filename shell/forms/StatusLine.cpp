#include "StatusLine.h"

#include "SpokenText.h"

#include <QBackingStore>
#include <QEvent>
#include <QImage>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QWindow>
#include <QStyle>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

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
        if (m_kept.empty() || !isVisible() || size().isEmpty()) {
            update(); // nothing drawn yet to compare with
            return;
        }
        // Shown at once rather than asked for: a request would be a posted event, which wakes the
        // event loop a second time for every frame.
        const Change change = changeBetween(before, text);
        if (!change.area.isEmpty() && !copyToWindow(m_kept[change.to].picture, change.area))
            repaint(change.area);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        const QImage& picture = m_kept[keep(m_shown)].picture;
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

    struct Kept {
        QString text;
        QImage picture;
    };
    struct Change {
        int to = 0;  // the new text's place among the kept pictures
        QRect area;  // where its picture differs from the old one's, in the label's coordinates
    };

    void forget() {
        m_kept.clear();
        for (auto& row : m_changes)
            row.fill(std::nullopt);
    }

    // The place of text's picture among the kept ones, drawn now if it is not kept; a full set is
    // started anew, so a place found before may no longer hold the same text.
    int keep(const QString& text) {
        for (std::size_t at = 0; at < m_kept.size(); ++at) {
            if (m_kept[at].text == text)
                return int(at);
        }
        if (m_kept.size() >= kKept)
            forget();
        const qreal ratio = devicePixelRatio();
        QImage picture(size() * ratio, QImage::Format_ARGB32_Premultiplied);
        picture.setDevicePixelRatio(ratio);
        const QColor background = palette().color(backgroundRole());
        m_opaque = background.alpha() == 255;
        picture.fill(background);
        QPainter painter(&picture);
        painter.setFont(font()); // a painter on a picture starts with the application's font
        // What QLabel itself does for plain text without margin, indent or frame.
        style()->drawItemText(&painter, contentsRect(), QStyle::visualAlignment(layoutDirection(), alignment()),
                              palette(), isEnabled(), text, foregroundRole());
        painter.end();
        m_kept.push_back({text, picture});
        return int(m_kept.size()) - 1;
    }

    // Where the two texts' pictures differ: the smallest rectangle (in the label's coordinates)
    // outside which they are the same, found once for each pair.
    Change changeBetween(const QString& from, const QString& to) {
        int was = keep(from);
        const int now = keep(to);
        if (std::size_t(was) >= m_kept.size() || m_kept[std::size_t(was)].text != from)
            was = keep(from); // keeping `to` started the set anew
        std::optional<QRect>& known = m_changes[std::size_t(was)][std::size_t(now)];
        if (!known)
            known = difference(m_kept[std::size_t(was)].picture, m_kept[std::size_t(now)].picture);
        return {now, *known};
    }

    QRect difference(const QImage& before, const QImage& after) const {
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
        if (right < 0)
            return {};
        const qreal ratio = after.devicePixelRatio();
        return QRectF(left / ratio, top / ratio, (right - left + 1) / ratio, (bottom - top + 1) / ratio)
            .toAlignedRect()
            .intersected(rect());
    }

    // Copies the changed pixels of the picture straight into the window's backing store and shows
    // them: what the label's own paint would put there, without the widget painting machinery (a
    // painter, paint events through the application, the window's repaint bookkeeping), which a tick
    // after 50 ms of sleep runs from cold caches. Only for a raster store of 32-bit pixels at one
    // device pixel per pixel, and a label drawn in its window's own backing store; anything else is
    // left to repaint().
    bool copyToWindow(const QImage& picture, const QRect& changed) {
        QWidget* top = window();
        QBackingStore* store = top->backingStore();
        if (store == nullptr || top->windowHandle() == nullptr || !top->windowHandle()->isExposed() || !m_opaque ||
            picture.devicePixelRatio() != 1.0)
            return false;
        for (const QWidget* widget = this; widget != top; widget = widget->parentWidget()) {
            if (widget->internalWinId() != 0) // a native child shows its pixels on its own
                return false;
        }
        const QRect area = changed.translated(mapTo(top, QPoint()));
        const QRegion region(area);
        store->beginPaint(region);
        QPaintDevice* device = store->paintDevice();
        auto* target = device != nullptr && device->devType() == QInternal::Image ? static_cast<QImage*>(device) : nullptr;
        const bool copied = target != nullptr && target->devicePixelRatio() == 1.0 && holdsOpaqueArgb(*target) &&
                            target->rect().contains(area);
        if (copied) {
            const std::size_t rowBytes = std::size_t(changed.width()) * 4;
            uchar* into = target->bits() + qsizetype(area.y()) * target->bytesPerLine() + qsizetype(area.x()) * 4;
            const uchar* from =
                picture.constBits() + qsizetype(changed.y()) * picture.bytesPerLine() + qsizetype(changed.x()) * 4;
            for (int y = 0; y < changed.height(); ++y) {
                std::memcpy(into, from, rowBytes);
                into += target->bytesPerLine();
                from += picture.bytesPerLine();
            }
        }
        store->endPaint();
        if (copied)
            store->flush(region);
        return copied;
    }

    // Formats in which an opaque pixel is stored as the kept pictures store it (0xffRRGGBB).
    static bool holdsOpaqueArgb(const QImage& image) {
        switch (image.format()) {
        case QImage::Format_RGB32:
        case QImage::Format_ARGB32:
        case QImage::Format_ARGB32_Premultiplied:
            return true;
        default:
            return false;
        }
    }

    QString m_shown;
    std::vector<Kept> m_kept;
    std::array<std::array<std::optional<QRect>, kKept>, kKept> m_changes{};
    bool m_opaque = false; // the pictures cover what is beneath them: they can go straight to the window
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
