#include "stock/id_list.h"

#include <QStringList>
#include <limits>

#include "db/db_error.h"

namespace otherin::stock {

namespace {

qint32 parseId(const QString& piece, const QString& whole) {
    bool allDigits = !piece.isEmpty();
    for (const QChar c : piece)
        allDigits = allDigits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    bool ok = false;
    const qlonglong value = allDigits ? piece.toLongLong(&ok) : 0;
    if (!allDigits || !ok || value > std::numeric_limits<qint32>::max()) {
        throw db::DbError(
            QStringLiteral("单据内码列表无效: \"%1\" 中的 \"%2\" 不是整数内码").arg(whole, piece));
    }
    return static_cast<qint32>(value);
}

}  // namespace

QList<qint32> parseIdList(const QString& text) {
    QList<qint32> ids;
    if (text.isEmpty()) return ids;
    const QStringList pieces = text.split(QLatin1Char(','));
    ids.reserve(pieces.size());
    for (const QString& piece : pieces) ids.append(parseId(piece, text));
    return ids;
}

QString sqlIdList(const QList<qint32>& ids) {
    QString out;
    out.reserve(ids.size() * 8);
    for (qsizetype i = 0; i < ids.size(); ++i) {
        if (i > 0) out += QLatin1Char(',');
        out += QString::number(ids[i]);
    }
    return out;
}

IdSelection idSelection(const QList<qint32>& ids) {
    if (ids.size() == 1) return {QStringLiteral("?"), {ids.front()}};
    return {sqlIdList(ids), {}};
}

}  // namespace otherin::stock
