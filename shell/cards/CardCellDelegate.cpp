#include "CardCellDelegate.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

namespace talvern {

void CardCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    const QWidget* widget = cell.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    if (cell.text.isEmpty()) {
        style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);
        return;
    }
    // Background, selection, hover and focus frame on the grid itself, without the text.
    QStyleOptionViewItem frame = cell;
    frame.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &frame, painter, widget);

    // The text alone, as the style draws it (its colour follows the selection), on a clear picture: the
    // highlight and any background are left out, they are on the grid already.
    const qreal ratio = painter->device() != nullptr ? painter->device()->devicePixelRatio() : 1.0;
    const QStyle::State textState = cell.state & (QStyle::State_Selected | QStyle::State_Enabled | QStyle::State_Active);
    QString key = cell.text;
    key += QLatin1Char('\n');
    for (const qint64 part : {qint64(cell.rect.width()), qint64(cell.rect.height()), qint64(ratio * 100),
                              qint64(textState), qint64(cell.displayAlignment), qint64(cell.textElideMode),
                              qint64(cell.direction), cell.palette.cacheKey()}) {
        key += QString::number(part);
        key += QLatin1Char(' ');
    }
    key += cell.font.key();
    QPixmap* picture = m_pictures.object(key);
    if (picture == nullptr) {
        picture = new QPixmap((QSizeF(cell.rect.size()) * ratio).toSize());
        picture->setDevicePixelRatio(ratio);
        picture->fill(Qt::transparent);
        QStyleOptionViewItem words = cell;
        words.rect = QRect(QPoint(0, 0), cell.rect.size());
        words.state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver);
        words.backgroundBrush = Qt::NoBrush;
        for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            words.palette.setBrush(group, QPalette::Highlight, Qt::transparent);
        QPainter onPicture(picture);
        style->drawControl(QStyle::CE_ItemViewItem, &words, &onPicture, widget);
        onPicture.end();
        const qint64 kilobytes = 1 + picture->width() * picture->height() * picture->depth() / 8 / 1024;
        m_pictures.insert(key, picture, kilobytes);
        picture = m_pictures.object(key);
        if (picture == nullptr) // larger than the whole cache: drawn as usual
            return style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);
    }
    painter->drawPixmap(cell.rect.topLeft(), *picture);
}

} // namespace talvern
