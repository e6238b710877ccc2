#include "db/query.h"

#include <QSqlError>

#include "db/db_error.h"
#include "db/sql_error.h"
#include "db/sql_text.h"

namespace otherin::db {

bool StatementPool::take(const QString& sql, QSqlQuery& into, ColumnPositions& positions) {
    auto found = idle_.find(sql);
    if (found == idle_.end() || found->second.empty()) return false;
    into = std::move(found->second.back().query);
    positions = std::move(found->second.back().positions);
    found->second.pop_back();
    --idleCount_;
    return true;
}

void StatementPool::give(const QString& sql, QSqlQuery&& query, ColumnPositions&& positions,
                         int generation) {
    if (generation != generation_ || idleCount_ >= kMaxIdle) return;
    query.finish();
    idle_[sql].push_back({std::move(query), std::move(positions)});
    ++idleCount_;
}

void StatementPool::clear() {
    idle_.clear();
    idleCount_ = 0;
    ++generation_;
}

namespace {

// Whether the text selects a star, whose columns are the tables' at each
// run: after a change of the schema the same text may answer other columns.
bool selectsStar(const QString& sql) {
    return sql.contains(QLatin1Char('*'));
}

}  // namespace

Query::Query(const QSqlDatabase& db, const QString& sql)
    : query_(db), sql_(sql), starColumns_(selectsStar(sql)) {
    prepareFresh(sql);
}

Query::Query(const std::shared_ptr<StatementPool>& pool, const QSqlDatabase& db, const QString& sql)
    : sql_(sql), pool_(pool), generation_(pool->generation()), starColumns_(selectsStar(sql)) {
    if (pool_->take(sql, query_, positions_)) return;
    query_ = QSqlQuery(db);
    prepareFresh(sql);
}

void Query::prepareFresh(const QString& sql) {
    positions_.clear();
    query_.setForwardOnly(true);
    if (pool_) pool_->noteTrip();
    if (!query_.prepare(sql) && !runOnRevivedConnection({}, false)) {
        pool_.reset();  // a statement that never prepared is not kept
        raise(query_.lastError(), query_.driver());
    }
}

bool Query::runOnRevivedConnection(const QVariantList& values, bool run) {
    if (!pool_) return false;
    const auto revive = pool_->takeReviver();
    QSqlDatabase db;
    if (!revive || !revive(db)) return false;
    // The pool was emptied with the old connection: this statement is kept
    // for the new one.
    generation_ = pool_->generation();
    positions_.clear();
    query_ = QSqlQuery(db);
    query_.setForwardOnly(true);
    pool_->noteTrip();
    if (!query_.prepare(sql_)) return false;
    if (!run) return true;
    for (qsizetype i = 0; i < values.size(); ++i) query_.bindValue(static_cast<int>(i), values[i]);
    pool_->noteTrip();
    return query_.exec();
}

Query::Query(Query&& other) noexcept
    : query_(std::move(other.query_)),
      sql_(std::move(other.sql_)),
      pool_(std::move(other.pool_)),
      generation_(other.generation_),
      bound_(other.bound_),
      starColumns_(other.starColumns_),
      positions_(std::move(other.positions_)) {}

Query::~Query() {
    if (pool_) pool_->give(sql_, std::move(query_), std::move(positions_), generation_);
}

Query& Query::bind(const QVariant& value) {
    // The server's client library would take a NUL for the end of the
    // statement; the fields refuse it where it is typed, and no value with one
    // reaches a statement either way.
    if (value.typeId() == QMetaType::QString && value.toString().contains(QChar(0))) {
        bound_ = 0;
        throw DbError(nulCharacterRefusal());
    }
    query_.bindValue(bound_++, value);
    return *this;
}

Query& Query::exec() {
    const int bound = bound_;
    bound_ = 0;
    if (bound != query_.boundValues().size()) {
        throw DbError(QStringLiteral("参数个数不符: %1 个值, 语句要 %2 个")
                          .arg(bound)
                          .arg(query_.boundValues().size()));
    }
    if (pool_) pool_->noteTrip();
    if (!query_.exec() && !runOnRevivedConnection(query_.boundValues(), true)) {
        raise(query_.lastError(), query_.driver());
    }
    if (pool_) pool_->firstStatementRan();
    if (starColumns_) positions_.clear();
    return *this;
}

bool Query::next() {
    if (query_.next()) return true;
    // The driver answers false both at the end of the rows and when the read
    // failed; only the error tells them apart.
    const QSqlError error = query_.lastError();
    if (error.isValid()) raise(error, query_.driver());
    return false;
}

QVariant Query::value(const QString& column) const {
    auto found = positions_.constFind(column);
    if (found == positions_.constEnd()) {
        const int index = query_.record().indexOf(column);
        if (index < 0) throw DbError(QStringLiteral("列 %1 不存在").arg(column));
        found = positions_.insert(column, index);
    }
    return query_.value(*found);
}

}  // namespace otherin::db
