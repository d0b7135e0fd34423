#include "GridPrinter.h"

#include <QAbstractItemModel>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <cmath>

namespace talvern {

GridPrinter::GridPrinter(const QAbstractItemModel& model, PrintHeading heading)
    : m_model(model), m_heading(std::move(heading)) {}

QString GridPrinter::pageText(int page, int count) {
    return QStringLiteral("Strona %1 z %2").arg(page).arg(count);
}

bool GridPrinter::print(QPrinter& printer, const std::function<bool(int, int)>& progress) {
    m_failed = false;
    QPainter painter;
    if (!painter.begin(&printer)) {
        m_failed = true;
        return false;
    }
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution()).translated(
        -printer.pageLayout().paintRectPixels(printer.resolution()).topLeft());

    QFont body(QStringLiteral("DejaVu Sans"), 9);
    QFont bold = body;
    bold.setBold(true);
    QFont titleFont = bold;
    titleFont.setPointSize(13);
    painter.setFont(body);
    const QFontMetricsF metrics(body, &printer);
    const QFontMetricsF boldMetrics(bold, &printer);
    const QFontMetricsF titleMetrics(titleFont, &printer);
    const qreal rowHeight = std::ceil(metrics.height() * 1.35);
    const qreal padding = metrics.averageCharWidth() * 0.6;

    // Column widths from the titles and a spread of rows, narrowed to the page when they do not fit.
    const int columns = m_model.columnCount();
    const int rows = m_model.rowCount();
    std::vector<qreal> widths(static_cast<std::size_t>(columns), 0);
    for (int column = 0; column < columns; ++column) {
        widths[static_cast<std::size_t>(column)] =
            boldMetrics.horizontalAdvance(m_model.headerData(column, Qt::Horizontal).toString());
    }
    const int step = std::max(1, rows / 2000);
    for (int row = 0; row < rows; row += step) {
        for (int column = 0; column < columns; ++column) {
            auto& width = widths[static_cast<std::size_t>(column)];
            width = std::max(width, metrics.horizontalAdvance(m_model.index(row, column).data().toString()));
        }
    }
    qreal total = 0;
    for (qreal& width : widths) {
        width += 2 * padding;
        total += width;
    }
    if (total > page.width()) {
        for (qreal& width : widths) {
            width *= page.width() / total;
        }
        total = page.width();
    }

    const qreal headingHeight = titleMetrics.height() * 1.3 + metrics.height() * 1.6;
    const qreal footHeight = metrics.height() * 1.8;
    const qreal tableTop = headingHeight;
    const int perPage = std::max(1, static_cast<int>((page.height() - headingHeight - footHeight) / rowHeight) - 1);
    m_pageCount = std::max(1, (rows + perPage - 1) / perPage);
    const QString printed = m_heading.when.toString(QStringLiteral("yyyy-MM-dd HH:mm"));

    for (int pageIndex = 0; pageIndex < m_pageCount; ++pageIndex) {
        if (progress && !progress(pageIndex, m_pageCount)) {
            printer.abort();
            painter.end();
            return false;
        }
        if (pageIndex > 0) {
            printer.newPage();
        }
        painter.setFont(titleFont);
        painter.setPen(Qt::black);
        painter.drawText(QRectF(0, 0, page.width(), titleMetrics.height() * 1.3), Qt::AlignLeft | Qt::AlignVCenter,
                         titleMetrics.elidedText(m_heading.title, Qt::ElideRight, page.width()));
        painter.setFont(body);
        const QString info = QStringLiteral("Obiekt: %1    Wydruk: %2").arg(m_heading.site, printed);
        painter.drawText(QRectF(0, titleMetrics.height() * 1.3, page.width(), metrics.height() * 1.4),
                         Qt::AlignLeft | Qt::AlignVCenter, metrics.elidedText(info, Qt::ElideMiddle, page.width()));

        // The column titles, shaded, then the rows of this page.
        painter.fillRect(QRectF(0, tableTop, total, rowHeight), QColor(225, 225, 225));
        painter.setFont(bold);
        qreal x = 0;
        for (int column = 0; column < columns; ++column) {
            const qreal width = widths[static_cast<std::size_t>(column)];
            painter.drawText(QRectF(x + padding, tableTop, width - 2 * padding, rowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                             boldMetrics.elidedText(m_model.headerData(column, Qt::Horizontal).toString(),
                                                    Qt::ElideRight, width - 2 * padding));
            x += width;
        }
        painter.setFont(body);
        const int first = pageIndex * perPage;
        const int last = std::min(rows, first + perPage);
        qreal y = tableTop + rowHeight;
        for (int row = first; row < last; ++row, y += rowHeight) {
            x = 0;
            for (int column = 0; column < columns; ++column) {
                const qreal width = widths[static_cast<std::size_t>(column)];
                const QModelIndex index = m_model.index(row, column);
                const QVariant align = index.data(Qt::TextAlignmentRole);
                const Qt::Alignment horizontal =
                    align.isValid() ? (align.value<Qt::Alignment>() & Qt::AlignHorizontal_Mask) : Qt::AlignLeft;
                painter.drawText(QRectF(x + padding, y, width - 2 * padding, rowHeight), horizontal | Qt::AlignVCenter,
                                 metrics.elidedText(index.data().toString(), Qt::ElideRight, width - 2 * padding));
                x += width;
            }
        }
        // Rules: round the table, under the titles, between the columns.
        painter.setPen(QPen(QColor(120, 120, 120), 0));
        painter.drawRect(QRectF(0, tableTop, total, y - tableTop));
        painter.drawLine(QPointF(0, tableTop + rowHeight), QPointF(total, tableTop + rowHeight));
        x = 0;
        for (int column = 0; column + 1 < columns; ++column) {
            x += widths[static_cast<std::size_t>(column)];
            painter.drawLine(QPointF(x, tableTop), QPointF(x, y));
        }
        painter.setPen(Qt::black);
        painter.drawText(QRectF(0, page.height() - footHeight, page.width(), footHeight), Qt::AlignRight | Qt::AlignBottom,
                         pageText(pageIndex + 1, m_pageCount));
    }
    if (progress) {
        progress(m_pageCount, m_pageCount);
    }
    return painter.end();
}

} // namespace talvern
