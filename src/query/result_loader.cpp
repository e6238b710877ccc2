#include "query/result_loader.h"

#include <QElapsedTimer>
#include <QSqlRecord>
#include <cmath>
#include <vector>

#include "db/db_error.h"
#include "entry/login_context.h"
#include "entry/prompter.h"
#include "query/journal_layout.h"
#include "query/journal_model.h"

namespace otherin::query {

namespace {

QVariant userId(const entry::LoginContext& ctx) {
    bool ok = false;
    const qlonglong id = ctx.gLoginUserId.trimmed().toLongLong(&ok);
    return ok ? QVariant(id) : QVariant(ctx.gLoginUserId);
}

// Positions of the layout's fields in the result; raises DbError naming a
// field the bill view does not have.
std::vector<int> fieldPositions(const QSqlRecord& record, const JournalLayout& layout) {
    std::vector<int> positions;
    positions.reserve(layout.columns.size());
    for (const JournalColumn& c : layout.columns) {
        const int at = record.indexOf(c.fieldName);
        if (at < 0) throw db::DbError(QStringLiteral("列 %1 不存在").arg(c.fieldName));
        positions.push_back(at);
    }
    return positions;
}

// Every this many lines a long load tells how far it is.
constexpr int kProgressStep = 500;

// The user stopped a load before it ended.
struct LoadStopped {};

// At most kJournalLineLimit lines; `cut` tells whether the result had more.
// `versions` receives each listed bill's version, which the commands on the
// list name when they write.
JournalContent readLines(db::Query& q, const JournalLayout& layout, bool& cut,
                         entry::Progress& progress, QHash<qint32, int>& versions) {
    JournalContent content(layout.columns);
    const std::vector<int> positions = fieldPositions(q.record(), layout);
    // The state columns of the bill view; a view without one shows no such state.
    const QSqlRecord record = q.record();
    const std::pair<int, quint8> stateColumns[] = {
        {record.indexOf(QStringLiteral("fstatus")), kStateAudited},
        {record.indexOf(QStringLiteral("fcancellation")), kStateVoided},
        {record.indexOf(QStringLiteral("frob")), kStateRed},
        {record.indexOf(QStringLiteral("fhxid")), kStateWrittenOff},
        {record.indexOf(QStringLiteral("frscinterid")), kStateSplitOff},
    };
    const int versionAt = record.indexOf(QStringLiteral("fversion"));
    const size_t n = layout.columns.size();
    const size_t billLevelEnd = kFixedJournalColumns + layout.billLevelColumns;
    std::vector<QVariant> line(n);
    qlonglong previous = 0;
    bool first = true;
    int lines = 0;
    cut = false;
    while (q.next()) {
        if (lines == kJournalLineLimit) {
            cut = true;
            break;
        }
        ++lines;
        if (lines % kProgressStep == 0 && !progress.advance(lines)) throw LoadStopped();
        const QVariant id = q.value(positions[0]);
        const qlonglong interId = id.toLongLong();
        // A bill is counted again when the order separates its lines.
        const bool billStart = first || interId != previous;
        if (billStart) {
            content.addBill(id.toString());
            if (versionAt >= 0)
                versions.insert(static_cast<qint32>(interId), q.value(versionAt).toInt());
        }
        for (size_t c = 0; c < n; ++c) {
            const bool blank = !billStart && c >= kFixedJournalColumns && c < billLevelEnd;
            line[c] = blank ? QVariant() : q.value(positions[c]);
        }
        quint8 states = 0;
        for (const auto& [at, flag] : stateColumns) {
            // fstatus and frob count at 1; the others at any non-zero value
            // (a void flag may also read "true").
            if (at < 0) continue;
            const QVariant value = q.value(at);
            const qlonglong v =
                value.toString().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0
                    ? 1
                    : value.toLongLong();
            const bool set = flag == kStateAudited || flag == kStateRed ? v == 1 : v != 0;
            if (set) states |= flag;
        }
        content.appendLine(line.data(), billStart, states);
        previous = interId;
        first = false;
    }
    return content;
}

}  // namespace

QString scopeNote(const entry::LoginContext& ctx, int bills) {
    QString note;
    // Clerks who may see only some bills are told so, lest a bill they miss
    // seem lost.
    if (ctx.IsAdmin != 1 && ctx.UserType == 3) {
        note = QStringLiteral(";只列出本人制单的单据");
    } else if (ctx.IsAdmin != 1 && ctx.UserType == 2) {
        note = QStringLiteral(";只列出本人及同组用户制单的单据");
    }
    // Price editing starts on the default filters; an empty list says why.
    if (bills == 0 && ctx.gEntryKind == 3)
        note +=
            QStringLiteral(";当前期间及所选过滤条件下没有单据,请在查询条件中更改期间或过滤条件");
    return note;
}

FindStatement buildFindStatement(const entry::LoginContext& ctx, const db::Dialect& dialect,
                                 const QString& seek, const QString& main, const QString& order) {
    FindStatement statement;
    QString body = QStringLiteral("* from ") + ctx.gViewName + QStringLiteral(" where 1=1 ");
    if (ctx.IsAdmin != 1) {
        if (ctx.UserType == 2) {
            // Bills of any member of the user's groups (group 1 left out), or the user's own.
            body += QStringLiteral(
                "and (foperator in (select fuserid from tblUserGroupRelation where fgroupid in "
                "(select fgroupid from tblUserGroupRelation where fuserid=?) and fgroupid<>1) "
                "or foperator=?) ");
            statement.values << userId(ctx) << userId(ctx);
        } else if (ctx.UserType == 3) {
            body += QStringLiteral(" and foperator=?");
            statement.values << userId(ctx);
        }
    }
    if (!seek.isEmpty()) body += seek + QLatin1Char(')');
    body += main;
    body += order.isEmpty() ? QStringLiteral(" order by finterid,forderid") : order;
    // One line more than is shown, to know whether the limit cut the result.
    statement.sql = dialect.limitRows(body, kJournalLineLimit + 1);
    return statement;
}

QString statusText(int bills, int lines, qint64 elapsedMs, bool cut) {
    const double seconds = std::round(static_cast<double>(elapsedMs) / 10.0) / 100.0;
    QString text = QStringLiteral("共计:%1张单据,%2条记录(取数时间%3秒)")
                       .arg(bills)
                       .arg(lines)
                       .arg(QString::number(seconds, 'f', 3));
    if (cut) {
        text += QStringLiteral(",符合条件的记录超过%1条,只列出前%1条,请增加查询条件")
                    .arg(kJournalLineLimit);
    }
    return text;
}

bool find(entry::LoginContext& ctx, entry::Prompter& prompter, JournalModel& journal,
          const QString& seek, const QString& main, const QString& order) {
    QElapsedTimer timer;
    timer.start();
    JournalContent content;
    QHash<qint32, int> versions;
    bool cut = false;
    try {
        entry::ConnectionScope scope(ctx);
        const JournalLayout layout = loadJournalLayout(ctx);
        const FindStatement statement =
            buildFindStatement(ctx, ctx.gConnection.dialect(), seek, main, order);
        db::Query q = ctx.gConnection.prepare(statement.sql);
        for (const QVariant& v : statement.values) q.bind(v);
        q.exec();
        const auto progress =
            prompter.progress(QStringLiteral("正在读取") + ctx.gBillName, kJournalLineLimit);
        content = readLines(q, layout, cut, *progress, versions);
    } catch (const LoadStopped&) {
        // Nothing was written: the journal stays as it was.
        entry::closeConnection(ctx);
        return false;
    } catch (const db::DbError& e) {
        prompter.message(e.message(), entry::Icon::None, ctx.msgTitle);
        entry::closeConnection(ctx);
        return false;
    }
    ctx.gBillIdList = content.idList().split(QLatin1Char(','), Qt::SkipEmptyParts);
    ctx.gBillVersions.insert(versions);
    content.statusText =
        statusText(content.billCount(), content.lineCount(), timer.elapsed(), cut) +
        scopeNote(ctx, content.billCount());
    journal.setContent(std::move(content));
    return true;
}

}  // namespace otherin::query
