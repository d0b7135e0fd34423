#include "StatusLine.h"

#include <QEvent>
#include <QHash>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QResizeEvent>
#include <QStyle>

namespace talvern {

namespace {

// A plain-text label that draws its text as QLabel does and keeps the drawings of the last few
// texts; any change of size, font, palette, style or state throws them away.
class CachedTextLabel : public QLabel {
public:
    explicit CachedTextLabel(QWidget* parent) : QLabel(parent) {
        setTextFormat(Qt::PlainText);
        // Each drawing covers the label, background included: nothing beneath needs painting.
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.drawPixmap(0, 0, drawing(text()));
    }
    void resizeEvent(QResizeEvent* event) override {
        m_drawings.clear();
        QLabel::resizeEvent(event);
    }
    void changeEvent(QEvent* event) override {
        switch (event->type()) {
        case QEvent::FontChange:
        case QEvent::PaletteChange:
        case QEvent::StyleChange:
        case QEvent::EnabledChange:
        case QEvent::LayoutDirectionChange:
            m_drawings.clear();
            break;
        default:
            break;
        }
        QLabel::changeEvent(event);
    }

private:
    // The animation's five frames, the bare connect text and the disconnected one.
    static constexpr int kKept = 8;

    const QPixmap& drawing(const QString& shown) {
        const auto found = m_drawings.constFind(shown);
        if (found != m_drawings.constEnd())
            return *found;
        if (m_drawings.size() >= kKept)
            m_drawings.clear();
        const qreal ratio = devicePixelRatio();
        QPixmap picture(size() * ratio);
        picture.setDevicePixelRatio(ratio);
        picture.fill(palette().color(backgroundRole()));
        QPainter painter(&picture);
        painter.setFont(font()); // a painter on a picture starts with the application's font
        // What QLabel itself does for plain text without margin, indent or frame.
        style()->drawItemText(&painter, contentsRect(), QStyle::visualAlignment(layoutDirection(), alignment()),
                              palette(), isEnabled(), shown, foregroundRole());
        return *m_drawings.insert(shown, picture);
    }

    QHash<QString, QPixmap> m_drawings;
};

} // namespace

StatusLine::StatusLine(QWidget* parent) : QWidget(parent), m_label(new CachedTextLabel(this)) {
    m_label->setFixedSize(0, 0); // given the holder's size when the status bar lays the holder out
}

void StatusLine::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_label->setFixedSize(event->size());
}

} // namespace talvern
