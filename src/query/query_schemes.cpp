#include "query/query_schemes.h"

#include "db/db_error.h"
#include "db/sql_text.h"
#include "db/transaction.h"
#include "entry/login_context.h"
#include "entry/prompter.h"
#include "query/condition_grid.h"
#include "query/sort_grid.h"

namespace otherin::query {

namespace {

QString defaultName() {
    return QStringLiteral("默认方案");
}
constexpr int kStoredColumns = 8;  // connector … item class

// The default scheme is the one flagged so: a scheme saved under its name
// before such names were refused must not take its place.
std::vector<QueryScheme> readList(db::Connection& c, int billType, int& defaultId) {
    std::vector<QueryScheme> list;
    db::Query q = c.prepare(
        QStringLiteral("select finterid,fname,coalesce(fisdefault,0) from tblproject where ftype=? "
                       "order by fisdefault desc,finterid"));
    q.bind(billType).exec();
    int namedDefault = 0;
    while (q.next()) {
        list.push_back({q.value(0).toInt(), q.value(1).toString()});
        if (q.value(2).toInt() == 1 && defaultId == 0) defaultId = list.back().id;
        if (list.back().name == defaultName() && namedDefault == 0) namedDefault = list.back().id;
    }
    if (defaultId == 0) defaultId = namedDefault;
    return list;
}

void insertScheme(db::Connection& c, int id, int billType, const QString& name, int isDefault) {
    c.exec(QStringLiteral("insert into tblproject(finterid,ftype,fname,fitemclassid,fisDefault) "
                          "values(?,?,?,1,?)"),
           {id, billType, name, isDefault});
}

}  // namespace

int nextSchemeId(db::Connection& connection) {
    db::TransactionGuard tx(connection);
    const QString table = QStringLiteral("tblproject");
    if (connection.dialect().isServer()) {
        // The counters are written through the database's own function.
        const int id =
            connection.scalar(QStringLiteral("select otherin_next_id(?)"), {table}).toInt();
        tx.commit();
        return id;
    }
    // Advanced and read in one statement, so two clerks never get one id.
    QVariant id = connection.scalar(
        QStringLiteral("update tblmaxNum set fmaxnum=fmaxnum+1 where lower(ftablename)=lower(?) "
                       "returning fmaxnum"),
        {table});
    if (!id.isValid()) {
        connection.exec(QStringLiteral("insert into tblmaxNum(ftablename,fmaxnum) values(?,1)"),
                        {table});
        id = 1;
    }
    tx.commit();
    return id.toInt();
}

QuerySchemes::QuerySchemes(entry::LoginContext& ctx, entry::Prompter& prompter)
    : ctx_(ctx), prompter_(prompter) {}

bool QuerySchemes::loadList() {
    try {
        entry::ConnectionScope scope(ctx_);
        db::Connection& c = ctx_.gConnection;
        int defaultId = 0;
        std::vector<QueryScheme> list = readList(c, ctx_.gBillTypeId, defaultId);
        if (list.empty()) {
            db::TransactionGuard tx(c);
            // Another user may have created it since the list was read.
            list = readList(c, ctx_.gBillTypeId, defaultId);
            if (list.empty()) {
                defaultId = nextSchemeId(c);
                insertScheme(c, defaultId, ctx_.gBillTypeId, defaultName(), 1);
                list.push_back({defaultId, defaultName()});
            }
            tx.commit();
        }
        list_ = std::move(list);
        defaultId_ = defaultId;
        return true;
    } catch (const db::DbError& e) {
        fail(e.message());
        return false;
    }
}

bool QuerySchemes::load(int id, ConditionGrid& conditions, SortGrid& sort) {
    try {
        entry::ConnectionScope scope(ctx_);
        db::Connection& c = ctx_.gConnection;
        db::Query entries = c.prepare(
            QStringLiteral("select fline,f1col,f2col,f3col,f4col,f5col,f6col,f7col,f8col from "
                           "tblprojectEntry where finterid=? and ftype=? order by fline"));
        entries.bind(id).bind(ctx_.gBillTypeId).exec();
        conditions.clear();
        while (entries.next()) {
            const int row = entries.value(0).toInt() - 1;
            for (int col = 0; col < kStoredColumns; ++col) {
                conditions.setCell(row, col, entries.value(col + 1).toString());
            }
        }
        conditions.completeFromCatalogue();

        db::Query order =
            c.prepare(QStringLiteral("select fline,f1col,f2col,f3col from tblprojectOrder where "
                                     "finterid=? and ftype=? order by fline"));
        order.bind(id).bind(ctx_.gBillTypeId).exec();
        // Rows the scheme does not fill start as new ones, ticked, so a field
        // added to them later sorts the way it is shown.
        sort.reset();
        while (order.next()) {
            const int row = order.value(0).toInt() - 1;
            sort.setCell(row, SortGrid::Title, order.value(1).toString());
            sort.setCell(row, SortGrid::FieldName, order.value(2).toString());
            sort.setCell(row, SortGrid::Ascending, order.value(3).toString());
        }
        return true;
    } catch (const db::DbError& e) {
        fail(e.message());
        return false;
    }
}

bool QuerySchemes::saveAs(const ConditionGrid& conditions, const SortGrid& sort) {
    const auto refuseControl = [this](const QString& field) {
        prompter_.message(db::controlCharacterRefusal(field), entry::Icon::Exclamation,
                          ctx_.msgTitle);
        return false;
    };
    for (int row = 0; row <= conditions.lastDataRow(); ++row) {
        if (db::holdsControlCharacter(conditions.cell(row, ConditionGrid::Value)))
            return refuseControl(QStringLiteral("第%1行条件的值").arg(row + 1));
    }
    const auto name = prompter_.input(QStringLiteral("请输入方案名称"), QString(), ctx_.msgTitle);
    if (!name || name->trimmed().isEmpty()) {
        prompter_.message(QStringLiteral("请输入方案名称!"), entry::Icon::Exclamation,
                          ctx_.msgTitle);
        return false;
    }
    if (db::holdsControlCharacter(*name)) return refuseControl(QStringLiteral("方案名称"));
    // A second scheme of that name would be taken for the default one.
    if (name->trimmed() == defaultName()) {
        prompter_.message(QStringLiteral("方案名称不能为默认方案,请输入其他名称!"),
                          entry::Icon::Exclamation, ctx_.msgTitle);
        return false;
    }
    try {
        entry::ConnectionScope scope(ctx_);
        db::Connection& c = ctx_.gConnection;
        db::TransactionGuard tx(c);
        const int id = nextSchemeId(c);
        insertScheme(c, id, ctx_.gBillTypeId, *name, 0);
        db::Query entry = c.prepare(QStringLiteral(
            "insert into tblprojectEntry(finterid,ftype,fline,f1col,f2col,f3col,f4col,f5col,"
            "f6col,f7col,f8col) values(?,?,?,?,?,?,?,?,?,?,?)"));
        for (int row = 0; row <= conditions.lastDataRow(); ++row) {
            entry.bind(id).bind(ctx_.gBillTypeId).bind(row + 1);
            for (int col = 0; col < kStoredColumns; ++col) entry.bind(conditions.cell(row, col));
            entry.exec();
        }
        db::Query order = c.prepare(
            QStringLiteral("insert into tblprojectOrder(finterid,ftype,fline,f1col,f2col,f3col) "
                           "values(?,?,?,?,?,?)"));
        for (int row = 0; row < SortGrid::kRows; ++row) {
            const QString title = sort.cell(row, SortGrid::Title);
            if (title.isEmpty()) continue;
            QString ascending = sort.cell(row, SortGrid::Ascending).trimmed();
            if (ascending.isEmpty()) ascending = QStringLiteral("0");
            order.bind(id).bind(ctx_.gBillTypeId).bind(row + 1).bind(title);
            order.bind(sort.cell(row, SortGrid::FieldName)).bind(ascending).exec();
        }
        tx.commit();
    } catch (const db::DbError& e) {
        fail(e.message());
        return false;
    }
    prompter_.message(QStringLiteral("方案保存成功!"), entry::Icon::None, ctx_.msgTitle);
    return loadList();
}

bool QuerySchemes::remove(int id) {
    const QueryScheme* scheme = find(id);
    if (!scheme) return false;
    if (id == defaultId_) {
        prompter_.message(QStringLiteral("默认方案不能删除!"), entry::Icon::Exclamation,
                          ctx_.msgTitle);
        return false;
    }
    if (prompter_.question(QStringLiteral("确定要删除吗?"), entry::Buttons::OkCancel,
                           entry::Icon::Question, ctx_.msgTitle) != entry::Answer::Ok) {
        return false;
    }
    try {
        entry::ConnectionScope scope(ctx_);
        db::Connection& c = ctx_.gConnection;
        db::TransactionGuard tx(c);
        c.exec(QStringLiteral("delete from tblproject where finterid=?"), {id});
        c.exec(QStringLiteral("delete from tblprojectEntry where finterid=?"), {id});
        // No scheme carries the id any more, so its sort rows go as well.
        c.exec(QStringLiteral("delete from tblprojectOrder where finterid=?"), {id});
        tx.commit();
    } catch (const db::DbError& e) {
        fail(e.message());
        return false;
    }
    prompter_.message(QStringLiteral("删除成功!"), entry::Icon::Information, ctx_.msgTitle);
    return loadList();
}

void QuerySchemes::clear(ConditionGrid& conditions, SortGrid& sort) {
    conditions.clear();
    sort.clearFields();
}

void QuerySchemes::fail(const QString& text) {
    prompter_.message(text, entry::Icon::None, ctx_.msgTitle);
    entry::closeConnection(ctx_);
}

const QueryScheme* QuerySchemes::find(int id) const {
    for (const auto& s : list_) {
        if (s.id == id) return &s;
    }
    return nullptr;
}

}  // namespace otherin::query
