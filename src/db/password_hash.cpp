#include "db/password_hash.h"

#include <sodium.h>

#include "db/db_error.h"

namespace otherin::db {

namespace {
void initialiseLibrary() {
    // Safe to call again: later calls only report that it is ready.
    if (sodium_init() < 0) throw DbError(QStringLiteral("无法初始化密码散列库"));
}
}  // namespace

QString hashPassword(const QString& password) {
    initialiseLibrary();
    const QByteArray text = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, text.constData(), static_cast<unsigned long long>(text.size()),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0) {
        throw DbError(QStringLiteral("内存不足，无法计算密码散列"));
    }
    return QString::fromLatin1(out);
}

bool verifyPassword(const QString& hash, const QString& password) {
    const QByteArray stored = hash.toLatin1();
    if (stored.isEmpty() || stored.size() >= crypto_pwhash_STRBYTES) return false;
    initialiseLibrary();
    const QByteArray text = password.toUtf8();
    return crypto_pwhash_str_verify(stored.constData(), text.constData(),
                                    static_cast<unsigned long long>(text.size())) == 0;
}

}  // namespace otherin::db
