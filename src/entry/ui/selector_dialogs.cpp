#include "entry/ui/selector_dialogs.h"

#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTableView>
#include <algorithm>

#include "db/connection.h"
#include "db/db_error.h"
#include "db/transaction.h"
#include "entry/prompter.h"

namespace otherin::entry {

namespace {

constexpr int kItemClass = 3;

enum Column { Code, Name, Model };

// Items are listed from icitem; any other class from the base-data tree.
bool listsItemsFor(const QString& itemClass) {
    return itemClass.trimmed().isEmpty() || itemClass.trimmed().toInt() == kItemClass;
}

}  // namespace

// --- SelectorRecordModel ---

SelectorRecordModel::SelectorRecordModel(bool withModel, QObject* parent)
    : QAbstractTableModel(parent), withModel_(withModel) {}

void SelectorRecordModel::setRecords(QList<SelectorRecord> records) {
    beginResetModel();
    records_ = std::move(records);
    refilter();
    endResetModel();
}

void SelectorRecordModel::setFilter(const QString& text) {
    if (text == filter_) return;
    beginResetModel();
    filter_ = text;
    refilter();
    endResetModel();
}

void SelectorRecordModel::setSeekModel(bool seekModel) {
    beginResetModel();
    seekModel_ = seekModel && withModel_;
    refilter();
    endResetModel();
}

bool SelectorRecordModel::matches(const SelectorRecord& record) const {
    const QString text = filter_.trimmed();
    return record.code.contains(text, Qt::CaseInsensitive) ||
           record.name.contains(text, Qt::CaseInsensitive) ||
           (seekModel_ && record.model.contains(text, Qt::CaseInsensitive));
}

void SelectorRecordModel::refilter() {
    shown_.clear();
    for (int i = 0; i < records_.size(); ++i) {
        if (matches(records_[i])) shown_.append(i);
    }
}

int SelectorRecordModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int SelectorRecordModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : (withModel_ ? 3 : 2);
}

QVariant SelectorRecordModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
    const SelectorRecord& r = recordAt(index.row());
    switch (index.column()) {
        case Code:
            return r.code;
        case Name:
            return r.name;
        case Model:
            return r.model;
        default:
            return {};
    }
}

QVariant SelectorRecordModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    switch (section) {
        case Code:
            return QStringLiteral("代码");
        case Name:
            return QStringLiteral("名称");
        case Model:
            return QStringLiteral("规格型号");
        default:
            return {};
    }
}

// --- SelectorDialog ---

SelectorDialog::SelectorDialog(const QString& title, bool withModel, Prompter& prompter,
                               const QString& msgTitle, QWidget* parent)
    : entry::SearchListDialog(parent),
      prompter_(prompter),
      msgTitle_(msgTitle),
      withModel_(withModel),
      model_(withModel) {
    setWindowTitle(title);
    setListModel(&model_);
}

bool SelectorDialog::loadRecords(const QString& connectionString, const QString& sql,
                                 const QVariantList& values) {
    QList<SelectorRecord> records;
    bool ok = true;
    try {
        db::Connection connection;
        connection.open(connectionString);
        db::Query q = connection.prepare(sql);
        for (const QVariant& v : values) q.bind(v);
        q.exec();
        while (q.next()) {
            records.append({q.text(QStringLiteral("fitemid")), q.text(QStringLiteral("fNumber")),
                            q.text(QStringLiteral("fname")),
                            withModel_ ? q.text(QStringLiteral("fmodel")) : QString()});
        }
    } catch (const db::DbError& e) {
        ok = false;
        reportFailure(e.message());
    }
    model_.setRecords(std::move(records));
    return ok;
}

void SelectorDialog::reportFailure(const QString& text) {
    prompter_.message(text, Icon::Critical, msgTitle_);
}

void SelectorDialog::rowActivated(int row) {
    if (row < 0) return;
    if (!view()->selectionModel()->isRowSelected(row, QModelIndex())) {
        view()->selectionModel()->select(
            model_.index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    accept();
}

void SelectorDialog::accept() {
    QList<int> rows;
    for (const QModelIndex& index : view()->selectionModel()->selectedRows()) {
        rows.append(index.row());
    }
    if (rows.isEmpty() && currentRow() >= 0) rows.append(currentRow());
    std::sort(rows.begin(), rows.end());
    QList<SelectorRecord> chosen;
    for (int row : rows) chosen.append(model_.recordAt(row));
    answer_ = chosen.isEmpty() ? SelectorAnswer{} : answerFor(chosen);
    if (answer_.chosen()) {
        QDialog::accept();
    } else {
        QDialog::reject();
    }
}

SelectorAnswer SelectorDialog::answerFor(const QList<SelectorRecord>& chosen) {
    const SelectorRecord& r = chosen.first();
    return {r.key, r.code, r.name};
}

// --- RecordSelectorDialog ---

RecordSelectorDialog::RecordSelectorDialog(const RecordSelectorInput& input, bool allowMany,
                                           Prompter& prompter, const QString& msgTitle,
                                           QWidget* parent)
    : SelectorDialog(QStringLiteral("基础资料选择"), listsItemsFor(input.itemClass), prompter,
                     msgTitle, parent),
      input_(input),
      allowMany_(allowMany) {
    setObjectName(QStringLiteral("frmRecordSelector"));
    bool userKnown = false;
    input_.userId.trimmed().toLongLong(&userKnown);
    allowMany_ = allowMany_ && listsItems() && userKnown;
    if (allowMany_) view()->setSelectionMode(QAbstractItemView::ExtendedSelection);
    model().setSeekModel(listsItems() && input_.seekItem.trimmed().compare(
                                             QStringLiteral("fmodel"), Qt::CaseInsensitive) == 0);
    searchBox()->setText(input_.typed.trimmed());
}

bool RecordSelectorDialog::listsItems() const {
    return listsItemsFor(input_.itemClass);
}

bool RecordSelectorDialog::load() {
    if (listsItems()) {
        // Locked items cannot be entered on a bill, so they are not offered.
        return loadRecords(input_.connectionString,
                           QStringLiteral("select a.fitemid,a.fNumber,coalesce(a.fname,'') as "
                                          "fname,coalesce(a.fmodel,'') as fmodel from icitem as a"
                                          " left outer join tblItem as d on a.fitemid=d.fitemid"
                                          " where (d.fislock=0 or d.fislock is null)"
                                          " order by a.fNumber"),
                           {});
    }
    bool isClass = false;
    const int itemClass = input_.itemClass.trimmed().toInt(&isClass);
    if (!isClass) {
        model().setRecords({});  // no such class: nothing to offer
        return true;
    }
    return loadRecords(input_.connectionString,
                       QStringLiteral("select fitemid,fNumber,fname from tblItem"
                                      " where fitemclassid=? and fisdetail=1"
                                      " and (fislock=0 or fislock is null) order by fNumber"),
                       {itemClass});
}

SelectorAnswer RecordSelectorDialog::answerFor(const QList<SelectorRecord>& chosen) {
    if (!allowMany_ || chosen.size() < 2) return SelectorDialog::answerFor(chosen);
    try {
        writeItemInput(chosen);
    } catch (const db::DbError& e) {
        reportFailure(e.message());
        return {};
    }
    return {QStringLiteral("-1"), {}, {}};
}

// The user's earlier rows go first: the editor imports every row the user
// has, and they belong to an earlier choice.
void RecordSelectorDialog::writeItemInput(const QList<SelectorRecord>& chosen) {
    const qlonglong userId = input_.userId.trimmed().toLongLong();
    db::Connection connection;
    connection.open(input_.connectionString);
    db::TransactionGuard guard(connection);
    connection.exec(QStringLiteral("delete from tblItemInput where fuserid=?"), {userId});
    for (const SelectorRecord& r : chosen) {
        connection.exec(QStringLiteral("insert into tblItemInput(fuserid,fitemid,fstockid,funitid,"
                                       "fqty) select ?,fitemid,coalesce(fstockid,0),"
                                       "coalesce(fUnitid,0),0 from icitem where fitemid=?"),
                        {userId, r.key.toLongLong()});
    }
    guard.commit();
}

// --- UnitSelectorDialog ---

UnitSelectorDialog::UnitSelectorDialog(const UnitSelectorInput& input, Prompter& prompter,
                                       const QString& msgTitle, QWidget* parent)
    : SelectorDialog(QStringLiteral("计量单位选择"), false, prompter, msgTitle, parent),
      input_(input) {
    setObjectName(QStringLiteral("frmUnitSelector"));
}

bool UnitSelectorDialog::load() {
    return loadRecords(input_.connectionString,
                       QStringLiteral("select a.fitemid,a.fNumber,coalesce(a.fname,'') as fname"
                                      " from tblMeasureUnit as a inner join tblItem as b"
                                      " on a.fitemid=b.fitemid where b.fParentId=?"
                                      " order by a.fNumber"),
                       {input_.unitGroup});
}

// --- the ports ---

SelectorAnswer QtRecordSelector::choose(const RecordSelectorInput& input) {
    RecordSelectorDialog dialog(input, true, host_.prompter, host_.msgTitle, host_.parent);
    dialog.load();
    dialog.exec();
    return dialog.answer();
}

SelectorAnswer QtSecondRecordSelector::choose(const SecondSelectorInput& input) {
    RecordSelectorInput asRecord;
    asRecord.accessCode = input.accessCode;
    asRecord.itemClassList = input.itemClassList;
    asRecord.connectionString = input.connectionString;
    asRecord.itemClass = input.itemClass;
    RecordSelectorDialog dialog(asRecord, false, host_.prompter, host_.msgTitle, host_.parent);
    dialog.load();
    dialog.exec();
    return dialog.answer();
}

SelectorAnswer QtUnitSelector::choose(const UnitSelectorInput& input) {
    UnitSelectorDialog dialog(input, host_.prompter, host_.msgTitle, host_.parent);
    dialog.load();
    dialog.exec();
    return dialog.answer();
}

}  // namespace otherin::entry
