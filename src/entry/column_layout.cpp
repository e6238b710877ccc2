#include "entry/column_layout.h"

#include "db/db_error.h"
#include "db/transaction.h"
#include "entry/login_context.h"
#include "entry/prompter.h"

namespace otherin::entry {

namespace {

void replaceLayout(db::Connection& c, const QString& name, const QList<int>& widths, int type) {
    db::TransactionGuard tx(c);
    c.exec(QStringLiteral("delete from t_QV_tableinfo where ftablename=? and ftype=?"),
           {name, type});
    db::Query insert =
        c.prepare(QStringLiteral("insert into t_QV_tableinfo(ftablename,fwidth,fsequence,ftype) "
                                 "values(?,?,?,?)"));
    for (int col = 0; col < widths.size(); ++col) {
        insert.bind(name).bind(widths[col]).bind(col).bind(type).exec();
    }
    tx.commit();
}

void reportFailure(LoginContext& ctx, Prompter& prompter, const QString& text) {
    prompter.message(text, Icon::None, ctx.msgTitle);
    closeConnection(ctx);
}

}  // namespace

bool saveColumnLayout(LoginContext& ctx, Prompter& prompter, const QString& name,
                      const QList<int>& widths, int type) {
    try {
        ConnectionScope scope(ctx);
        replaceLayout(ctx.gConnection, name, widths, type);
        return true;
    } catch (const db::DbError& e) {
        reportFailure(ctx, prompter, e.message());
        return false;
    }
}

bool restoreColumnLayout(LoginContext& ctx, Prompter& prompter, const QString& name,
                         QList<int>& widths, int type) {
    try {
        ConnectionScope scope(ctx);
        db::Query q = ctx.gConnection.prepare(
            QStringLiteral("select fsequence,fwidth from t_QV_tableinfo where ftablename=? and "
                           "ftype=? order by fsequence"));
        q.bind(name).bind(type).exec();
        QList<int> stored = widths;
        bool found = false;
        for (int k = 0; q.next(); ++k) {
            found = true;
            if (k >= widths.size()) break;
            const int col = q.value(0).toInt();
            if (col >= 0 && col < stored.size()) stored[col] = q.value(1).toInt();
        }
        if (!found) {
            replaceLayout(ctx.gConnection, name, widths, kDefaultLayout);
            return false;
        }
        widths = stored;
        return true;
    } catch (const db::DbError& e) {
        reportFailure(ctx, prompter, e.message());
        return false;
    }
}

}  // namespace otherin::entry
