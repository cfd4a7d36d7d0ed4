#pragma once
// Member list and history exports as CSV files a spreadsheet opens with the Chinese texts intact:
// UTF-8 with a byte-order mark, fields quoted as RFC 4180 has it, rows ended by CR LF.
#include "members/History.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace quorvel::csv {

// A text as one CSV field. A text a spreadsheet would take for a formula (starting with "=",
// "+", "-", "@", a tab or a carriage return) gets a leading apostrophe, unless it is a plain
// number such as "-30", which is data. Quoted when it holds a comma, a quote or a line break.
QString field(const QString& text);
// One row: the fields joined by commas, ended by CR LF.
QString row(const QStringList& cells);
// What starts every file.
inline constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

// Every member of the member table, in record order: the fields but
// "ID", headed by their names. Written whole or not at all; *rows receives the members written.
bool exportMembers(const QString& path, int* rows = nullptr);
// The history entries matching filter, newest first, headed by the field names. The history must
// be attached (history::withHistory).
bool exportHistory(RecordStore& store, const QString& path, const members::history::Filter& filter,
                   qint64* rows = nullptr);

// A file of the field names alone (an export with nothing to export yet).
bool writeHeaderOnly(const QString& path, const QList<FieldDef>& fields);

} // namespace quorvel::csv
