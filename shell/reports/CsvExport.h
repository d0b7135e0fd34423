#pragma once
// A grid saved as CSV for a spreadsheet: UTF-8 with a byte-order mark, fields separated by ';', lines
// ended with CR LF, the column titles first. A field holding ';', '"', a line break or blanks at either
// end is quoted, with its quotes doubled. A text that a spreadsheet would take for a formula (beginning
// with '=', '+', '-', '@', a tab or a carriage return, and not a plain number) gets a leading apostrophe,
// so that a name typed as "=..." is shown as text and never run. The file is written whole or not at all.

#include <QString>

class QAbstractItemModel;

namespace talvern {

inline constexpr char kCsvSeparator = ';';

// The model's rows in the order it gives them. Returns an empty string on success, otherwise the reason
// the file could not be written (the file is then left as it was).
QString writeCsv(const QAbstractItemModel& model, const QString& path);

// One field as it is written.
QString csvField(const QString& value);

} // namespace talvern
