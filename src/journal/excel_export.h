#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <variant>
#include <vector>

class QAbstractItemModel;

namespace otherin::entry {
class Progress;
struct LoginContext;
class Prompter;
}  // namespace otherin::entry

namespace otherin::journal {

// The most characters a sheet cell holds.
inline constexpr int kCellTextLimit = 32767;

// Closes a cell cut to the limit, so the sheet itself shows the text goes on.
QString cutCellMark();

// A cell whose text did not fit: its sheet row and column, from 1.
struct CutCell {
    int row = 0;
    int column = 0;
    friend bool operator==(const CutCell&, const CutCell&) = default;
};

struct JournalWorkbook {
    QByteArray bytes;
    std::vector<CutCell> cutCells;
};

// The journal grid as an .xlsx workbook: the header row first, then every row
// of the model (the totals row included) and every column (hidden ones
// included, the model holds them all), each cell text formatted "@". A text
// longer than a cell holds is cut, ends in cutCellMark() and is coloured; the
// rest of the sheet is written all the same. Answers the file's bytes and the
// cut cells, or why the workbook could not be made.
std::variant<JournalWorkbook, QString> journalWorkbook(const QAbstractItemModel& model,
                                                       entry::Progress* progress = nullptr);

// Writes that workbook to `path`, replacing a file there only once the whole
// workbook is written. Answers the cut cells, or why it was not written.
// `progress` (may be null) hears of every 500 rows; when the user stops, no
// file is written and the answer is stoppedText().
std::variant<std::vector<CutCell>, QString> exportJournal(const QAbstractItemModel& model,
                                                          const QString& path,
                                                          entry::Progress* progress = nullptr);
QString stoppedText();

// The file the save dialog proposes: the bill name and the day, in the
// user's documents folder.
QString proposedExportPath(const entry::LoginContext& ctx, const QDate& day);

// The file written for a name as typed: the workbook is .xlsx whatever the
// name says, so ".xls" becomes ".xlsx" and any other name gets ".xlsx" added.
QString workbookPath(const QString& typed);

// The journal's "导出到Excel" command: asks for the file, writes it and says
// "导出成功!" with the file's name only when it was written, listing any cut
// cells; a failure is told with its reason. Cancelling asks nothing more.
// True when the file was written.
bool exportJournalCommand(entry::LoginContext& ctx, entry::Prompter& prompter,
                          const QAbstractItemModel& model);

}  // namespace otherin::journal
