#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include "journal/journal_types.h"

namespace quillet {

/// The results table as CSV (RFC 4180): UTF-8 with a byte-order mark (so
/// that spreadsheet programs read Chinese text correctly), CRLF line ends,
/// the header 地址,状态,发布时间, then one line per row in list order. A
/// field is quoted when it holds a comma, a quote, a line break or leading
/// or trailing blanks; quotes inside are doubled. A field that a spreadsheet
/// would take for a formula (it begins with =, +, -, @, tab or CR) is written
/// with a leading ' so that it stays text.
QByteArray resultsCsv(const QList<JournalRow>& rows);

/// The header line of the results table (CRLF-terminated, no byte-order mark).
QByteArray resultsCsvHeader();
/// One line of the results table, quoted as resultsCsv() quotes (CRLF-terminated).
QByteArray resultsCsvRecord(const QString& address, const QString& status,
                            const QString& publishTime);

/// The failed addresses, one a line (UTF-8 with a byte-order mark, which
/// the address import recognises, so the file can be imported again).
QByteArray failedAddressesText(const QStringList& addresses);

/// Writes `bytes` to `path` whole or not at all (a save file that replaces
/// the target only once everything is on the disk). False with `error`
/// set to the system's reason when the file cannot be written.
bool writeExportFile(const QString& path, const QByteArray& bytes, QString& error);

}  // namespace quillet
