#include "db/sql_text.h"

#include "db/db_error.h"

namespace otherin::db {

QString quoteText(const QString& text) {
    if (text.contains(QChar(0))) throw DbError(nulCharacterRefusal());
    QString quoted;
    quoted.reserve(text.size() + 2);
    quoted += QLatin1Char('\'');
    for (const QChar c : text) {
        if (c == QLatin1Char('\'')) quoted += QLatin1Char('\'');
        quoted += c;
    }
    quoted += QLatin1Char('\'');
    return quoted;
}

bool holdsControlCharacter(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) return true;
    }
    return false;
}

QString controlCharacterRefusal(const QString& field) {
    return QStringLiteral("%1含有不可见的控制字符(可能是从其他程序粘贴来的),不能保存,请删除后重新输入!")
        .arg(field);
}

QString nulCharacterRefusal() {
    return QStringLiteral("要写入数据库的文本含有空字符(NUL),操作未执行,请删除该字符后重试!");
}

}  // namespace otherin::db
