#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace otherin::entry {
struct LoginContext;
}

namespace otherin::query {

// One field the query dialog offers: a column of the bill view.
struct QueryField {
    QString title;
    QString fieldName;
    QString fieldType;   // "1" number, "2" text, "3" date
    QString itemClass;   // empty or "0": no base data behind the field
    QString resultKind;  // empty or "0": a picked record gives its code, else its name
    QString itemType;    // "0" base data (record selector), else an accounting item
};

inline constexpr int kMaxQueryFields = 50;

// The fields of tblFindInfoentry2 for the bill type. Slot 0 is the fixed entry
// "无", so every field list starts with it and a grid cell's index means the
// same field in every list.
class FieldCatalogue {
  public:
    FieldCatalogue();

    // Reads the fields on the context's connection, which it opens and closes.
    // Raises db::DbError.
    void load(entry::LoginContext& ctx);

    // Slots 0 (the "无" entry), 1, 2, …; slots without a title are left out.
    int slotCount() const { return static_cast<int>(slots_.size()); }
    const QueryField& slot(int index) const { return slots_[index]; }
    // The slot whose field name matches (without regard to case), or -1.
    int slotOfField(const QString& fieldName) const;

    // Item lists of the condition grid's drop-down cells, one entry per slot.
    QStringList titles() const;
    QStringList fieldNames() const;
    QStringList fieldTypes() const;
    QStringList itemClasses() const;
    QStringList resultKinds() const;
    QStringList itemTypes() const;

    // Titles and field names in catalogue order without "无": the choices of
    // the sort grid.
    const QStringList& sortTitles() const { return sortTitles_; }
    const QStringList& sortFieldNames() const { return sortFieldNames_; }

  private:
    template <typename Member>
    QStringList column(Member member) const;

    std::vector<QueryField> slots_;
    QStringList sortTitles_;
    QStringList sortFieldNames_;
};

}  // namespace otherin::query
