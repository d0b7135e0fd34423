#pragma once
// The cells of the card grids whose texts come back row after row (a kind of card, a result, the
// readers of a group): each such text is laid out once and kept as a picture, so that scrolling a
// journal of a hundred thousand rows does not shape the same words again on every page. The cell looks
// as the standard delegate paints it: its background, selection and focus frame are painted as always,
// the text comes from the picture.

#include <QCache>
#include <QPixmap>
#include <QString>
#include <QStyledItemDelegate>

namespace talvern {

class CardCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    // By text, cell size and what else changes the drawing; a few hundred kept (cost in kilobytes), the
    // ones used longest ago dropped first.
    mutable QCache<QString, QPixmap> m_pictures{4096};
};

} // namespace talvern
