#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <variant>

class QAbstractItemModel;

namespace otherin::entry {
struct LoginContext;
class Prompter;
}  // namespace otherin::entry

namespace otherin::journal {

// The journal grid as an .xlsx workbook: the header row first, then every row
// of the model (the totals row included) and every column (hidden ones
// included, the model holds them all), each cell text formatted "@". Answers
// the file's bytes, or why it could not be made.
std::variant<QByteArray, QString> journalWorkbook(const QAbstractItemModel& model);

// Writes that workbook to `path`, replacing a file there only once the whole
// workbook is written. Answers none on success, else the reason.
std::optional<QString> exportJournal(const QAbstractItemModel& model, const QString& path);

// The journal's "导出到Excel" command: asks for the file, writes it and says
// "导出成功!" only when it was written; a failure is told with its reason.
// Cancelling asks nothing more. True when the file was written.
bool exportJournalCommand(entry::LoginContext& ctx, entry::Prompter& prompter,
                          const QAbstractItemModel& model);

}  // namespace otherin::journal
