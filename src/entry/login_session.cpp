#include "entry/login_session.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

#include "db/connection.h"

namespace otherin::entry {

namespace {

constexpr int kTokenWords = 8;  // 256 random bits

// Login times are stored as UTC text of fixed width, so they also compare as text.
QString timeText(const QDateTime& time) {
    return time.toUTC().toString(Qt::ISODate);
}

// The token carries 256 random bits: a plain digest suffices to keep it
// secret, and unlike a salted hash it lets the session be found by it.
QString tokenHash(const QString& token) {
    return QString::fromLatin1(
        QCryptographicHash::hash(token.toLatin1(), QCryptographicHash::Sha256).toHex());
}

QString newToken() {
    quint32 words[kTokenWords];
    QRandomGenerator::system()->fillRange(words);
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(words), sizeof(words)).toHex());
}

}  // namespace

QString beginLoginSession(db::Connection& connection, qlonglong userId, const QDateTime& now) {
    connection.exec(QStringLiteral("delete from tblLoginSession where flogintime<?"),
                    {timeText(now.addSecs(-kSessionHours * 3600))});
    const QString token = newToken();
    connection.exec(
        QStringLiteral(
            "insert into tblLoginSession (ftokenhash,fuserid,flogintime) values (?,?,?)"),
        {tokenHash(token), userId, timeText(now)});
    return token;
}

void endLoginSession(db::Connection& connection, const QString& token) {
    connection.exec(QStringLiteral("delete from tblLoginSession where ftokenhash=?"),
                    {tokenHash(token)});
}

SessionCheck checkLoginSession(db::Connection& connection, const QString& token,
                               const QDateTime& now) {
    if (token.trimmed().isEmpty()) return {};
    db::Query q = connection.prepare(
        QStringLiteral("select fuserid,flogintime from tblLoginSession where ftokenhash=?"));
    q.bind(tokenHash(token.trimmed())).exec();
    if (!q.next()) return {};
    const qlonglong user = q.value(0).toLongLong();
    const QDateTime loggedIn = QDateTime::fromString(q.value(1).toString(), Qt::ISODate);
    // A login recorded later than now was not made by the host: it would
    // never expire.
    if (loggedIn.isValid() && now.secsTo(loggedIn) > kClockSkewSeconds) return {};
    if (!loggedIn.isValid() || loggedIn.secsTo(now) > kSessionHours * 3600) {
        return {SessionCheck::State::Expired, user};
    }
    return {SessionCheck::State::Valid, user};
}

}  // namespace otherin::entry
