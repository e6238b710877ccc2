#include "db/bulk_copy.h"

#include <libpq-fe.h>

#include <QDateTime>
#include <QSqlError>
#include <cmath>

#include "db/connection.h"
#include "db/db_error.h"
#include "db/error_words.h"
#include "db/sql_error.h"
#include "db/sql_text.h"

namespace otherin::db {

namespace {

// What is sent to the server at a time.
constexpr int kChunkBytes = 64 * 1024;

// The copy's place in the rows, as the server tells it ("COPY t, line 3"),
// without the row's contents it quotes after it.
QString copyPlace(const PGresult* result) {
    const char* context = PQresultErrorField(result, PG_DIAG_CONTEXT);
    if (!context) return QString();
    for (const QString& line : QString::fromUtf8(context).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("COPY ")))
            return line.section(QStringLiteral(": \""), 0, 0).trimmed();
    }
    return QString();
}

// A failure of the server (its `result`, freed here) or of the client library
// (no result), raised as every statement's failure is: in the clerk's words,
// the server's text on the detail line.
[[noreturn]] void raiseServer(const Connection& c, PGconn* conn, PGresult* result) {
    QString text;
    QString code;
    if (result) {
        code = QString::fromLatin1(PQresultErrorField(result, PG_DIAG_SQLSTATE));
        text = QString::fromUtf8(PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY)).trimmed();
        const QString place = copyPlace(result);
        if (!place.isEmpty()) text += QStringLiteral(" (%1)").arg(place);
    }
    // The library's own text carries the severity, which the module's words
    // leave out.
    PQclear(result);
    if (text.isEmpty()) text = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
    raise(QSqlError(QString(), text, QSqlError::StatementError, code), c.driver());
}

// Ends what the connection still has to answer, keeping its first failure.
PGresult* drainResults(PGconn* conn) {
    PGresult* failure = nullptr;
    while (PGresult* result = PQgetResult(conn)) {
        const ExecStatusType status = PQresultStatus(result);
        const bool stillCopying = status == PGRES_COPY_IN || status == PGRES_COPY_OUT;
        if (status != PGRES_COMMAND_OK && !failure) {
            failure = result;
        } else {
            PQclear(result);
        }
        // A copy the library still thinks open answers the same forever.
        if (stillCopying) break;
    }
    return failure;
}

bool busy(PGconn* conn) {
    return PQtransactionStatus(conn) == PQTRANS_ACTIVE || PQisBusy(conn);
}

// The connection's handle, free for a statement of its own: the driver has
// nothing running on it.
PGconn* idleHandle(const Connection& c) {
    PGconn* conn = serverHandle(c.driver());
    if (!conn || PQstatus(conn) != CONNECTION_OK) {
        raise(QSqlError(QString(),
                        conn ? QString::fromUtf8(PQerrorMessage(conn)).trimmed() : QString(),
                        QSqlError::ConnectionError),
              c.driver());
    }
    // A statement of the driver's read row by row keeps the server's last
    // answers waiting, after its last row too, until the driver runs its next
    // statement, which takes them in first.
    if (busy(conn)) c.exec(QStringLiteral("select 1"));
    if (busy(conn)) {
        throw DbError(QStringLiteral("数据库连接上还有没有读完的查询,不能开始复制表。"));
    }
    return conn;
}

// Starts `sql`, a copy in the direction `expected`; raises the server's refusal.
void startCopy(const Connection& c, PGconn* conn, const QString& sql, ExecStatusType expected) {
    PGresult* result = PQexec(conn, sql.toUtf8().constData());
    if (PQresultStatus(result) == expected) {
        PQclear(result);
        return;
    }
    // A statement that did not start a copy may still leave results behind.
    if (PGresult* more = drainResults(conn)) PQclear(more);
    raiseServer(c, conn, result);
}

// Text as the copy's text format carries it: the backslash, the field and
// line separators escaped, every other character as it is.
void appendText(QByteArray& out, const QByteArray& utf8) {
    const char* begin = utf8.constData();
    const char* end = begin + utf8.size();
    const char* run = begin;
    for (const char* p = begin; p != end; ++p) {
        const char* escaped = nullptr;
        switch (*p) {
            case '\\':
                escaped = "\\\\";
                break;
            case '\t':
                escaped = "\\t";
                break;
            case '\n':
                escaped = "\\n";
                break;
            case '\r':
                escaped = "\\r";
                break;
            case '\0':
                throw DbError(nulCharacterRefusal());
            default:
                continue;
        }
        out.append(run, p - run);
        out.append(escaped);
        run = p + 1;
    }
    out.append(run, end - run);
}

// Binary content as the server's hex form, its backslash escaped.
void appendBinary(QByteArray& out, const QByteArray& bytes) {
    out.append("\\\\x");
    out.append(bytes.toHex());
}

// The shortest digits that read back as the same double.
void appendDouble(QByteArray& out, double value) {
    if (std::isnan(value)) {
        out.append("NaN");
    } else if (std::isinf(value)) {
        out.append(value > 0 ? "Infinity" : "-Infinity");
    } else {
        out.append(QString::number(value, 'g', QLocale::FloatingPointShortest).toLatin1());
    }
}

void appendValue(QByteArray& out, const QVariant& value, bool binary) {
    if (value.isNull()) {
        out.append("\\N");
        return;
    }
    switch (value.typeId()) {
        case QMetaType::Bool:
            out.append(value.toBool() ? "t" : "f");
            return;
        case QMetaType::Int:
        case QMetaType::Short:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::Char:
        case QMetaType::SChar:
            out.append(QByteArray::number(value.toLongLong()));
            return;
        case QMetaType::UInt:
        case QMetaType::UShort:
        case QMetaType::ULong:
        case QMetaType::ULongLong:
        case QMetaType::UChar:
            out.append(QByteArray::number(value.toULongLong()));
            return;
        case QMetaType::Double:
        case QMetaType::Float:
            appendDouble(out, value.toDouble());
            return;
        case QMetaType::QDate:
            out.append(value.toDate().toString(Qt::ISODate).toLatin1());
            return;
        case QMetaType::QTime:
            out.append(value.toTime().toString(Qt::ISODateWithMs).toLatin1());
            return;
        case QMetaType::QDateTime:
            // In UTC, marked so: the server reads the same moment whatever
            // its own zone.
            out.append(value.toDateTime().toUTC().toString(Qt::ISODateWithMs).toLatin1());
            return;
        case QMetaType::QByteArray:
            if (binary) {
                appendBinary(out, value.toByteArray());
            } else {
                appendText(out, value.toByteArray());
            }
            return;
        default:
            if (binary) {
                appendBinary(out, value.toString().toUtf8());
            } else {
                appendText(out, value.toString().toUtf8());
            }
            return;
    }
}

QString copyStatement(const QString& table, const QStringList& columns, const char* direction) {
    return QStringLiteral("copy %1 (%2) %3")
        .arg(table, columns.join(QLatin1Char(',')), QLatin1String(direction));
}

}  // namespace

ServerTableWriter::ServerTableWriter(Connection& to, const QString& table,
                                     const QStringList& columns)
    : to_(to), columns_(int(columns.size())) {
    // The bytea columns take their content in the server's hex form, whatever
    // the source held it as.
    QStringList binaryColumns;
    Query types = to.prepare(QStringLiteral(
        "select lower(column_name) from information_schema.columns where "
        "table_schema=current_schema() and lower(table_name)=lower(?) and data_type='bytea'"));
    types.bind(table).exec();
    while (types.next()) binaryColumns << types.value(0).toString();
    for (const QString& column : columns) binary_ << binaryColumns.contains(column.toLower());

    conn_ = idleHandle(to);
    startCopy(to, conn_, copyStatement(table, columns, "from stdin"), PGRES_COPY_IN);
    open_ = true;
    buffer_.reserve(kChunkBytes + kChunkBytes / 4);
}

ServerTableWriter::~ServerTableWriter() {
    if (!open_) return;
    // Ended as failed: the server throws the statement's rows away and
    // answers with the failure, which only frees the connection here.
    if (PQputCopyEnd(conn_, "copy abandoned") == 1) {
        if (PGresult* failure = drainResults(conn_)) PQclear(failure);
    }
}

void ServerTableWriter::add(const QVariant& value) {
    if (column_ > 0) buffer_.append('\t');
    appendValue(buffer_, value, column_ < binary_.size() && binary_[column_]);
    ++column_;
}

void ServerTableWriter::endRow() {
    if (column_ != columns_) {
        throw DbError(QStringLiteral("复制的行有 %1 个值, 表有 %2 列").arg(column_).arg(columns_));
    }
    column_ = 0;
    buffer_.append('\n');
    if (buffer_.size() >= kChunkBytes) sendBuffer();
}

void ServerTableWriter::addLine(const char* data, int size) {
    buffer_.append(data, size);
    if (buffer_.size() >= kChunkBytes) sendBuffer();
}

void ServerTableWriter::sendBuffer() {
    if (buffer_.isEmpty()) return;
    if (PQputCopyData(conn_, buffer_.constData(), int(buffer_.size())) != 1) sendFailed();
    buffer_.resize(0);
}

void ServerTableWriter::sendFailed() {
    // The library refuses data only when the connection failed; the server
    // may still have said why before it went.
    open_ = false;
    raiseServer(to_, conn_, drainResults(conn_));
}

void ServerTableWriter::finish() {
    if (column_ != 0) endRow();
    sendBuffer();
    if (PQputCopyEnd(conn_, nullptr) != 1) sendFailed();
    open_ = false;
    if (PGresult* failure = drainResults(conn_)) raiseServer(to_, conn_, failure);
}

ServerTableReader::ServerTableReader(Connection& from, const QString& table,
                                     const QStringList& columns)
    : from_(from) {
    conn_ = idleHandle(from);
    startCopy(from, conn_, copyStatement(table, columns, "to stdout"), PGRES_COPY_OUT);
    open_ = true;
}

ServerTableReader::~ServerTableReader() {
    release();
    if (!open_) return;
    while (PQgetCopyData(conn_, &row_, 0) > 0) release();
    if (PGresult* failure = drainResults(conn_)) PQclear(failure);
}

void ServerTableReader::release() {
    if (row_) PQfreemem(row_);
    row_ = nullptr;
}

bool ServerTableReader::next(const char*& data, int& size) {
    release();
    if (!open_) return false;
    const int read = PQgetCopyData(conn_, &row_, 0);
    if (read > 0) {
        data = row_;
        size = read;
        return true;
    }
    open_ = false;
    PGresult* failure = drainResults(conn_);
    if (!failure && read == -1) return false;
    raiseServer(from_, conn_, failure);
}

}  // namespace otherin::db
