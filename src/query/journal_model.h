#pragma once

#include <QAbstractTableModel>

#include "query/journal_content.h"

namespace otherin::query {

// The journal grid: one row per bill line, bill-level columns only on a
// bill's first line, and the totals row "合计" last when there are lines. The
// header row is the horizontal header. Lines are held compactly (one index per
// cell into the column's distinct values) and shown text is made on demand.
class JournalModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Role {
        BackgroundRgbRole = Qt::UserRole + 1,  // int 0xRRGGBB of the row's background
        BillStartRole,                         // bool: the row starts a bill (line above it)
        ValueRole,                             // the value as read (totals: the sum)
        TextRgbRole,                           // int 0xRRGGBB of the text; none: the default
        StruckOutRole,                         // bool: the text is struck through (voided)
    };
    static constexpr int kAuditedRgb = 0xFFFFF0;
    static constexpr int kNotAuditedRgb = 0xF0FFFF;
    static constexpr int kTotalsRgb = 0xE8E896;
    // A bill's states, strongest first: a voided bill looks voided whatever
    // else it is.
    static constexpr int kVoidedRgb = 0xDCDCDC;
    static constexpr int kVoidedTextRgb = 0x7F7F7F;
    static constexpr int kWrittenOffRgb = 0xE2F0D9;
    static constexpr int kSplitOffRgb = 0xEDE2F6;
    static constexpr int kRedTextRgb = 0xC00000;
    static constexpr int kBorderRgb = 0xA2A2A2;
    static constexpr int kTotalsLabelColumn = 3;

    explicit JournalModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Replaces everything (columns, lines, totals, ids, status) in one reset.
    void setContent(JournalContent content);

    bool isColumnHidden(int column) const { return content_.columns()[column].hidden; }
    const JournalColumn& column(int c) const { return content_.columns()[c]; }
    int lineCount() const { return content_.lineCount(); }
    int billCount() const { return content_.billCount(); }
    bool isTotalsRow(int row) const { return lineCount() > 0 && row == lineCount(); }
    // The line's bill id (column 0) and bill number (column 2); 0 and "" for
    // the totals row.
    qint64 interId(int row) const;
    QString billNo(int row) const;
    // The shown text of a cell, as exported.
    QString text(int row, int column) const;

    // The listed bills' ids joined by "," (the id-list holder).
    const QString& idList() const { return content_.idList(); }
    // "共计:…张单据,…条记录(取数时间…秒)" of the last load.
    const QString& statusText() const { return content_.statusText; }

  signals:
    void statusTextChanged(const QString& text);

  private:
    QVariant rawValue(int row, int column) const;

    JournalContent content_;
};

}  // namespace otherin::query
