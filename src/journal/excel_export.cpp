#include "journal/excel_export.h"

#include <xlsxwriter.h>

#include <QAbstractItemModel>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>

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

std::optional<QString> writeSheet(lxw_workbook* book, const QAbstractItemModel& model) {
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    lxw_format* text = workbook_add_format(book);
    if (!sheet || !text) return QStringLiteral("无法建立工作表");
    format_set_num_format(text, "@");
    const auto put = [&](int row, int column, const QString& value) -> std::optional<QString> {
        const QByteArray utf8 = value.toUtf8();
        const lxw_error error =
            worksheet_write_string(sheet, static_cast<lxw_row_t>(row),
                                   static_cast<lxw_col_t>(column), utf8.constData(), text);
        if (error == LXW_NO_ERROR) return std::nullopt;
        return QStringLiteral("第%1行第%2列: ").arg(row + 1).arg(column + 1) + reason(error);
    };
    const int columns = model.columnCount();
    for (int c = 0; c < columns; ++c) {
        if (auto e = put(0, c, model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString())) {
            return e;
        }
    }
    for (int r = 0; r < model.rowCount(); ++r) {
        for (int c = 0; c < columns; ++c) {
            if (auto e = put(r + 1, c, model.data(model.index(r, c), Qt::DisplayRole).toString())) {
                return e;
            }
        }
    }
    return std::nullopt;
}

}  // namespace

std::variant<QByteArray, QString> journalWorkbook(const QAbstractItemModel& model) {
    // The writer only writes files, so the workbook is made in a private
    // folder and read back.
    QTemporaryDir dir;
    if (!dir.isValid()) return QStringLiteral("无法建立临时文件夹: ") + dir.errorString();
    const QString path = dir.filePath(QStringLiteral("journal.xlsx"));
    {
        Workbook book(path);
        if (!book.get()) return QStringLiteral("无法建立工作簿");
        if (auto error = writeSheet(book.get(), model)) return *error;
        if (const lxw_error error = book.close(); error != LXW_NO_ERROR) return reason(error);
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return file.errorString();
    return file.readAll();
}

std::optional<QString> exportJournal(const QAbstractItemModel& model, const QString& path) {
    auto workbook = journalWorkbook(model);
    if (auto* error = std::get_if<QString>(&workbook)) return *error;
    const QByteArray& bytes = std::get<QByteArray>(workbook);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        return path + QStringLiteral(": ") + file.errorString();
    }
    return std::nullopt;
}

bool exportJournalCommand(entry::LoginContext& ctx, entry::Prompter& prompter,
                          const QAbstractItemModel& model) {
    const auto chosen = prompter.saveFileName(QStringLiteral("Excel文件(*.xlsx)"));
    if (!chosen || chosen->trimmed().isEmpty()) return false;
    QString path = chosen->trimmed();
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".xlsx");
    if (const auto error = exportJournal(model, path)) {
        prompter.message(QStringLiteral("导出失败!\n") + *error, entry::Icon::Critical,
                         ctx.msgTitle);
        return false;
    }
    prompter.message(QStringLiteral("导出成功!"), entry::Icon::Information, ctx.msgTitle);
    return true;
}

}  // namespace otherin::journal
