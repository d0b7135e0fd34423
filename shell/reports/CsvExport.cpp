#include "CsvExport.h"

#include <QAbstractItemModel>
#include <QRegularExpression>
#include <QSaveFile>

namespace talvern {

QString csvField(const QString& value) {
    QString text = value;
    static const QRegularExpression plainNumber(QStringLiteral("^-?[0-9]+([.,][0-9]+)?$"));
    if (!text.isEmpty() && QStringLiteral("=+-@\t\r").contains(text.front()) && !plainNumber.match(text).hasMatch()) {
        text.prepend(QLatin1Char('\''));
    }
    const bool quote = text.contains(QLatin1Char(kCsvSeparator)) || text.contains(QLatin1Char('"')) ||
                       text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')) ||
                       (!text.isEmpty() && (text.front().isSpace() || text.back().isSpace()));
    if (!quote) {
        return text;
    }
    text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString writeCsv(const QAbstractItemModel& model, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    const int columns = model.columnCount();
    auto line = [&](auto cellText) {
        QString out;
        for (int column = 0; column < columns; ++column) {
            if (column > 0) {
                out += QLatin1Char(kCsvSeparator);
            }
            out += csvField(cellText(column));
        }
        out += QStringLiteral("\r\n");
        return out.toUtf8();
    };
    file.write("\xEF\xBB\xBF");
    file.write(line([&](int column) { return model.headerData(column, Qt::Horizontal).toString(); }));
    QByteArray chunk;
    const int rows = model.rowCount();
    for (int row = 0; row < rows; ++row) {
        chunk += line([&](int column) { return model.index(row, column).data().toString(); });
        if (chunk.size() > (1 << 16)) {
            file.write(chunk);
            chunk.clear();
        }
    }
    file.write(chunk);
    if (!file.commit()) {
        return file.errorString();
    }
    return {};
}

} // namespace talvern
