#pragma once

#include <QString>

namespace otherin::entry {

struct LoginContext;

// SetupInfo.ini in the application directory.
QString setupIniPath(const LoginContext& ctx);

// Reads key in section of ctx.gIniFile. An absent or empty key writes
// `fallback` into the file and answers it. Values longer than 143 characters
// are cut there, as the suite's other programs do.
QString readIni(const LoginContext& ctx, const QString& section, const QString& key,
                const QString& fallback);
void writeIni(const LoginContext& ctx, const QString& section, const QString& key,
              const QString& value);

}  // namespace otherin::entry
