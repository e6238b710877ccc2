#include "entry/ini_file.h"

#include <QDir>
#include <QSettings>

#include "entry/login_context.h"

namespace otherin::entry {

namespace {
constexpr int kMaxValueLength = 143;
}

QString setupIniPath(const LoginContext& ctx) {
    return QDir(ctx.gAppPath.isEmpty() ? QStringLiteral(".") : ctx.gAppPath)
        .filePath(QStringLiteral("SetupInfo.ini"));
}

QString readIni(const LoginContext& ctx, const QString& section, const QString& key,
                const QString& fallback) {
    QSettings ini(ctx.gIniFile, QSettings::IniFormat);
    QString value = ini.value(section + QLatin1Char('/') + key).toString();
    const int nul = value.indexOf(QChar(0));
    if (nul >= 0) value.truncate(nul);
    if (value.isEmpty()) {
        ini.setValue(section + QLatin1Char('/') + key, fallback);
        ini.sync();
        return fallback;
    }
    return value.left(kMaxValueLength);
}

void writeIni(const LoginContext& ctx, const QString& section, const QString& key,
              const QString& value) {
    QSettings ini(ctx.gIniFile, QSettings::IniFormat);
    ini.setValue(section + QLatin1Char('/') + key, value);
    ini.sync();
}

}  // namespace otherin::entry
