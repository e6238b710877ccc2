#include "journal/excel_export.h"

#include <xlsxwriter.h>

#include <QAbstractItemModel>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <optional>

#include "entry/login_context.h"
#include "entry/prompter.h"

namespace otherin::journal {

namespace {

QString reason(lxw_error error) {
    return QString::fromUtf8(lxw_strerror(error));
}

// The sheet written through a workbook that is closed on every path.
class Workbook {
  public:
    explicit Workbook(const QString& path)
        : book_(workbook_new(QFile::encodeName(path).constData())) {}
    ~Workbook() {
        if (book_) workbook_close(book_);
    }
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    lxw_workbook* get() const { return book_; }
    lxw_error close() {
        const lxw_error error = workbook_close(book_);
        book_ = nullptr;
        return error;
    }

  private:
    lxw_workbook* book_;
};

// The formats of the sheet: every cell text; a cut one also red.
struct Formats {
    lxw_format* text = nullptr;
    lxw_format* cut = nullptr;
};

// The part of `value` that fits a cell with the mark after it; a character
// made of two code units is never split.
QString cutToFit(const QString& value) {
    qsizetype keep = kCellTextLimit - cutCellMark().size();
    if (value.at(keep - 1).isHighSurrogate()) --keep;
    return value.left(keep) + cutCellMark();
}

std::optional<QString> writeSheet(lxw_workbook* book, const QAbstractItemModel& model,
                                  std::vector<CutCell>& cutCells, entry::Progress* progress) {
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    const Formats formats{workbook_add_format(book), workbook_add_format(book)};
    if (!sheet || !formats.text || !formats.cut) return QStringLiteral("无法建立工作表");
    format_set_num_format(formats.text, "@");
    format_set_num_format(formats.cut, "@");
    format_set_font_color(formats.cut, LXW_COLOR_RED);
    const auto put = [&](int row, int column, const QString& value) -> std::optional<QString> {
        const bool cut = value.size() > kCellTextLimit;
        if (cut) cutCells.push_back({row + 1, column + 1});
        const QByteArray utf8 = (cut ? cutToFit(value) : value).toUtf8();
        const lxw_error error = worksheet_write_string(
            sheet, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column), utf8.constData(),
            cut ? formats.cut : formats.text);
        if (error == LXW_NO_ERROR) return std::nullopt;
        return QStringLiteral("第%1行第%2列: ").arg(row + 1).arg(column + 1) + reason(error);
    };
    const int columns = model.columnCount();
    for (int c = 0; c < columns; ++c) {
        if (auto e = put(0, c, model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString())) {
            return e;
        }
    }
    constexpr int kProgressStep = 500;
    for (int r = 0; r < model.rowCount(); ++r) {
        if (progress && r % kProgressStep == kProgressStep - 1 && !progress->advance(r + 1))
            return stoppedText();
        for (int c = 0; c < columns; ++c) {
            if (auto e = put(r + 1, c, model.data(model.index(r, c), Qt::DisplayRole).toString())) {
                return e;
            }
        }
    }
    return std::nullopt;
}

// Names the first few cut cells; a sheet full of them is not listed whole.
QString cutNotice(const std::vector<CutCell>& cells) {
    constexpr size_t kNamed = 10;
    QStringList named;
    for (size_t i = 0; i < cells.size() && i < kNamed; ++i) {
        named << QStringLiteral("第%1行第%2列").arg(cells[i].row).arg(cells[i].column);
    }
    QString text = QStringLiteral("有%1个单元格的内容超过%2个字符,已截断并标为红色:")
                       .arg(cells.size())
                       .arg(kCellTextLimit) +
                   named.join(QStringLiteral("、"));
    if (cells.size() > kNamed) text += QStringLiteral("等");
    return text;
}

}  // namespace

QString stoppedText() {
    return QStringLiteral("导出已取消");
}

QString cutCellMark() {
    return QStringLiteral("…(已截断)");
}

std::variant<JournalWorkbook, QString> journalWorkbook(const QAbstractItemModel& model,
                                                       entry::Progress* progress) {
    // The writer only writes files, so the workbook is made in a private
    // folder and read back.
    QTemporaryDir dir;
    if (!dir.isValid()) return QStringLiteral("无法建立临时文件夹: ") + dir.errorString();
    const QString path = dir.filePath(QStringLiteral("journal.xlsx"));
    JournalWorkbook workbook;
    {
        Workbook book(path);
        if (!book.get()) return QStringLiteral("无法建立工作簿");
        if (auto error = writeSheet(book.get(), model, workbook.cutCells, progress)) return *error;
        if (const lxw_error error = book.close(); error != LXW_NO_ERROR) return reason(error);
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return file.errorString();
    workbook.bytes = file.readAll();
    return workbook;
}

std::variant<std::vector<CutCell>, QString> exportJournal(const QAbstractItemModel& model,
                                                          const QString& path,
                                                          entry::Progress* progress) {
    auto workbook = journalWorkbook(model, progress);
    if (auto* error = std::get_if<QString>(&workbook)) return *error;
    const JournalWorkbook& made = std::get<JournalWorkbook>(workbook);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(made.bytes) != made.bytes.size() ||
        !file.commit()) {
        return path + QStringLiteral(": ") + file.errorString();
    }
    return made.cutCells;
}

QString proposedExportPath(const entry::LoginContext& ctx, const QDate& day) {
    // A documents folder that was never made would leave the dialog in the
    // program's working folder; the home folder is the next best place.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) folder = QDir::homePath();
    const QString name =
        ctx.gBillName + u'_' + day.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".xlsx");
    return QDir(folder).filePath(name);
}

QString workbookPath(const QString& typed) {
    const QString suffix = QFileInfo(typed).suffix();
    if (suffix.compare(QStringLiteral("xlsx"), Qt::CaseInsensitive) == 0) return typed;
    if (suffix.compare(QStringLiteral("xls"), Qt::CaseInsensitive) == 0)
        return typed.chopped(suffix.size()) + QStringLiteral("xlsx");
    return typed + QStringLiteral(".xlsx");
}

bool exportJournalCommand(entry::LoginContext& ctx, entry::Prompter& prompter,
                          const QAbstractItemModel& model) {
    const auto chosen = prompter.saveFileName(QStringLiteral("Excel文件(*.xlsx)"),
                                              proposedExportPath(ctx, QDate::currentDate()));
    if (!chosen || chosen->trimmed().isEmpty()) return false;
    const QString path = workbookPath(chosen->trimmed());
    auto progress = prompter.progress(QStringLiteral("正在导出"), model.rowCount());
    const auto written = exportJournal(model, path, progress.get());
    // The progress dialog goes before anything is said.
    progress.reset();
    if (const auto* error = std::get_if<QString>(&written)) {
        // Stopped by the user: no file was written, and nothing more to say.
        if (*error == stoppedText()) return false;
        prompter.message(QStringLiteral("导出失败!\n") + *error, entry::Icon::Critical,
                         ctx.msgTitle);
        return false;
    }
    const auto& cut = std::get<std::vector<CutCell>>(written);
    QString text = QStringLiteral("导出成功!\n") + QDir::toNativeSeparators(path);
    if (!cut.empty()) text += u'\n' + cutNotice(cut);
    prompter.message(text, cut.empty() ? entry::Icon::Information : entry::Icon::Exclamation,
                     ctx.msgTitle);
    return true;
}

}  // namespace otherin::journal
