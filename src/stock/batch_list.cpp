#include "stock/batch_list.h"

#include "db/db_error.h"
#include "db/dialect.h"
#include "entry/error_report.h"
#include "entry/login_context.h"

namespace otherin::stock {

BatchListModel::BatchListModel(QObject* parent) : QAbstractTableModel(parent) {}

bool BatchListModel::load(entry::LoginContext& ctx, entry::Prompter& prompter) {
    beginResetModel();
    rows_.clear();
    item_.clear();
    bool ok = true;
    QString failure;
    try {
        bool isId = false;
        const qlonglong itemId = ctx.batchItemId.trimmed().toLongLong(&isId);
        if (isId) {
            entry::ConnectionScope scope(ctx);
            // Ties on the batch text are ordered by warehouse so the list
            // does not change between two openings.
            db::Query item = ctx.gConnection.prepare(
                QStringLiteral("select fNumber,coalesce(fname,'') as fname from icitem"
                               " where fitemid=?"));
            item.bind(itemId).exec();
            if (item.next())
                item_ = item.value(0).toString() + QLatin1Char(' ') + item.value(1).toString();
            db::Query q = ctx.gConnection.prepare(QStringLiteral(
                "select a.fqty,coalesce(a.fbatchno,'') as fbatchno,"
                "coalesce(b.fname,'') as fUnitName,a.famount,"
                "coalesce(s.fname,'') as fStockName from tblTimeStock as a"
                " left outer join tblMeasureUnit as b on a.funitid=b.fitemid"
                " left outer join tblStock as s on a.fstockid=s.fitemid"
                " where a.fitemid=? and a.fqty<>0"
                " order by coalesce(a.fbatchno,''),a.fstockid,a.funitid,a.fStockPlace"));
            q.bind(itemId).exec();
            // By position, in the select's order: quantity, batch, unit,
            // amount, warehouse.
            while (q.next()) {
                rows_.append({q.value(1).toString(), q.value(4).toString(), q.value(2).toString(),
                              q.value(0).toDouble(), q.value(3).toDouble()});
            }
        }
    } catch (const db::DbError& e) {
        ok = false;
        failure = e.message();
    }
    refilter();
    endResetModel();
    if (!ok) entry::reportError(ctx, prompter, failure);
    return ok;
}

void BatchListModel::setFilter(const QString& text) {
    if (text == filter_) return;
    beginResetModel();
    filter_ = text;
    refilter();
    endResetModel();
}

void BatchListModel::refilter() {
    const QString text = filter_.trimmed();
    shown_.clear();
    for (int i = 0; i < rows_.size(); ++i) {
        if (rows_[i].batchNo.contains(text, Qt::CaseInsensitive)) shown_.append(i);
    }
}

QString BatchListModel::emptyReason() const {
    if (!shown_.isEmpty()) return {};
    if (!rows_.isEmpty()) return QStringLiteral("没有批号包含“%1”的库存").arg(filter_.trimmed());
    const QString item = item_.trimmed().isEmpty() ? QStringLiteral("该物料") : item_.trimmed();
    return QStringLiteral("%1 没有库存，无批号可选").arg(item);
}

bool BatchListModel::pick(entry::LoginContext& ctx, int row) const {
    if (row < 0 || row >= shown_.size()) {
        ctx.pickedBatch.clear();
        ctx.pickedUnitCost.clear();
        return false;
    }
    const BatchRow& r = rowAt(row);
    ctx.pickedBatch = r.batchNo;
    ctx.pickedUnitCost = formatNumber(r.unitCost());
    return true;
}

int BatchListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int BatchListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant BatchListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
    if (role == Qt::TextAlignmentRole) {
        return index.column() >= Quantity ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                          : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole) return {};
    const BatchRow& r = rowAt(index.row());
    switch (index.column()) {
        case BatchNo:
            return r.batchNo;
        case Warehouse:
            return r.warehouse;
        case Unit:
            return r.unitName;
        case Quantity:
            return formatNumber(r.qty);
        case UnitCost:
            return formatNumber(r.unitCost());
        case Amount:
            return formatNumber(r.amount);
        default:
            return {};
    }
}

QVariant BatchListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    switch (section) {
        case BatchNo:
            return QStringLiteral("批号");
        case Warehouse:
            return QStringLiteral("仓库");
        case Unit:
            return QStringLiteral("计量单位");
        case Quantity:
            return QStringLiteral("数量");
        case UnitCost:
            return QStringLiteral("单位成本");
        case Amount:
            return QStringLiteral("金额");
        default:
            return {};
    }
}

QString BatchListModel::formatNumber(double value) {
    // The ledger keeps six decimals; more would only show binary noise.
    QString text = QString::number(value, 'f', db::Dialect::kDecimalScale);
    while (text.endsWith(QLatin1Char('0'))) text.chop(1);
    if (text.endsWith(QLatin1Char('.'))) text.chop(1);
    if (text == QStringLiteral("-0")) text = QStringLiteral("0");
    return text;
}

}  // namespace otherin::stock
