#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "editor/grid_column.h"
#include "editor/line_grid_index.h"

namespace otherin::editor {

// Colours as 0xRRGGBB.
inline constexpr int kWhite = 0xFFFFFF;
inline constexpr int kBlack = 0x000000;
inline constexpr int kRed = 0xFF0000;
inline constexpr int kLockedColor = 0xF4F4D9;      // RGB(244, 244, 217)
inline constexpr int kCurrentRowColor = 0xBCF4FE;  // RGB(188, 244, 254)

// A number as the grid writes it into a cell: what QString::number gives
// with 'g' and 15 digits, made without Qt's general formatter when that
// cannot change a digit, since a bill's numbers are written by the thousand.
// `readsBack`, when given, tells whether the text reads back as exactly
// `value`.
QString numberText(double value, bool* readsBack = nullptr);

// Roles of both grid models beyond the display and edit text.
enum GridRole {
    BackgroundColorRole = Qt::UserRole + 1,  // int 0xRRGGBB
    TextColorRole,                           // int 0xRRGGBB
    CellKeyRole,
    CellCodeRole,
    ColumnWidthRole,  // header data: width in twips
};

// The bill's lines. Cells are addressed as the rest of the editor speaks of
// them: columns 1..C, rows 1..N; column 0 holds each line's id as its key and
// row 0 the column facts (see GridColumn). The model's row i and column j are
// the grid's row i + 1 and column j + 1.
class LineGrid : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit LineGrid(QObject* parent = nullptr);

    // One cell as the grid keeps it.
    struct Cell {
        QString text;
        QString key;
        QString code;
        // The text read as a number, kept from the first reading until the
        // text changes (sums, formulas and saves read a cell many times).
        mutable double number = 0;
        mutable bool numberRead = false;
    };
    // One row's cells by column, 0..columns(); column 0 holds the line id
    // as its key.
    using Row = std::vector<Cell>;

    int columns() const { return static_cast<int>(columns_.size()) - 1; }
    int rows() const { return static_cast<int>(rows_.size()); }

    // Told a row's number just before a text, key or code of it changes
    // outside a bulk change (a bulk change is announced as a model reset).
    void watchRowChanges(std::function<void(int row)> watch) { rowWatch_ = std::move(watch); }

    // A new shape with every cell empty and every column plain.
    void reshape(int columns, int rows);
    const GridColumn& column(int c) const;
    // For the layout: change column facts freely inside a bulk change.
    GridColumn& column(int c);
    // Inserts a column before column `at`; formulas follow the columns they name.
    void insertColumn(int at, const GridColumn& column);
    void setColumnWidth(int c, double twips);
    bool isColumnHidden(int c) const { return column(c).hidden; }
    void setColumnLocked(int c, bool locked);
    double rowHeight() const { return rowHeight_; }
    void setRowHeight(double height) { rowHeight_ = height; }

    // Cell text as typed and saved: number and currency cells, and formula
    // cells, with the column's decimals.
    QString text(int c, int r) const;
    // The same as the window shows it: numbers grouped in thousands.
    QString shownText(int c, int r) const;
    // The cell as a number at full precision; 0 when empty or not a number.
    double value(int c, int r) const;
    // The cell's text is empty or spaces only (what text() shows is then
    // blank too), asked without formatting a number.
    bool isBlankCell(int c, int r) const;
    QString key(int c, int r) const;
    QString code(int c, int r) const;
    void setText(int c, int r, const QString& text);
    void setNumber(int c, int r, double value);
    void setKey(int c, int r, const QString& key);
    void setCode(int c, int r, const QString& code);
    void setCell(int c, int r, const QString& text, const QString& key, const QString& code);
    void clearCell(int c, int r);
    QString lineKey(int r) const { return key(0, r); }
    void setLineKey(int r, const QString& key) { setKey(0, r, key); }

    // A cell typed by the user: refused (false) when the grid or column is
    // locked or the text does not suit the column; otherwise stored and
    // announced with cellEdited.
    bool userEdit(int c, int r, const QString& typed);

    // The last row with any text; 0 for an empty grid.
    int lastDataRow() const;
    // Questions line entry asks on every keystroke. Once asked about a column
    // the grid keeps the answer up to date cell by cell, so the next question
    // costs the same however long the bill is; rows inserted or removed
    // before others, or all rows emptied or replaced, make it count the
    // column again at the next question.
    //   columnSum: value() of every row of column c added up.
    //   firstBlankRow: the first row whose cell in column c is blank (empty
    //   or spaces only); rows() + 1 when there is none.
    double columnSum(int c) const;
    int firstBlankRow(int c) const;
    void appendRow();
    void insertRowAt(int r);
    void removeRowAt(int r);
    // Empties every cell, line ids included.
    void clearCells();
    // Takes `rows` as rows 1..n in one bulk change and empties every row
    // after them; the grid grows to hold them and never shrinks. The formula
    // cells of the columns in `storedFormulas` stay as given (a loaded bill
    // keeps its saved amounts, whatever quantity × price gives); the cells
    // of other formula columns are computed from their rows.
    void replaceRows(std::vector<Row> rows, const std::vector<int>& storedFormulas);

    int currentRow() const { return currentRow_; }
    void setCurrentRow(int r);
    bool isReadOnly() const { return readOnly_; }
    void setReadOnly(bool readOnly);
    bool isRedText() const { return redText_; }
    void setRedText(bool red);
    void setLookupTip(bool show) { lookupTip_ = show; }

    // Many changes announced as one model reset when the outermost guard ends.
    class BulkChange {
      public:
        explicit BulkChange(LineGrid& grid);
        ~BulkChange();
        BulkChange(const BulkChange&) = delete;
        BulkChange& operator=(const BulkChange&) = delete;

      private:
        LineGrid& grid_;
    };

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  signals:
    void cellEdited(int column, int row);
    // A number cell refused what the user typed (not a number, or outside
    // the column's bounds); the cell keeps what it held.
    void inputRefused(int column, int row, const QString& typed);
    // The column count or order changed; the totals strip follows.
    void columnsReshaped();
    void columnWidthChanged(int column);

  private:
    bool valid(int c, int r) const { return c >= 0 && c <= columns() && r >= 1 && r <= rows(); }
    Cell* cell(int c, int r);
    const Cell* cell(int c, int r) const;
    void storeText(int c, int r, const QString& text, int depth);
    void recompute(int changed, int r, int depth);
    void aboutToChange(int r) {
        if (bulk_ == 0 && rowWatch_) rowWatch_(r);
    }
    void announce(int c, int r);
    void announceRow(int r);
    void beginBulk();
    void endBulk();
    void indexText(int c, int r, const QString& before, const QString& after);
    void forgetIndexes();

    std::vector<GridColumn> columns_{1};  // [0] stands for the line-id column
    GridColumn spare_;                    // what a column outside the grid reads and writes
    std::vector<Row> rows_;
    int currentRow_ = 0;
    bool readOnly_ = false;
    bool redText_ = false;
    bool lookupTip_ = false;
    double rowHeight_ = 0;
    int bulk_ = 0;
    bool reshaped_ = false;
    // By column, only for the columns asked about since the last forgetting.
    mutable std::map<int, PairwiseSum> sums_;
    mutable std::map<int, BlankRows> blankRows_;
    std::vector<int> storedFormulas_;  // formula columns not computed now (see replaceRows)
    std::function<void(int)> rowWatch_;
};

}  // namespace otherin::editor
