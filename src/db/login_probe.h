#pragma once

#include <QString>

#include "db/connection_string.h"

namespace otherin::db {

// What the server said to one login, asked with the client library itself:
// Qt's driver frees the library's connection when an open fails and its
// error does not tell a missing password from a wrong one.
struct LoginProbe {
    enum class Outcome {
        Connected,      // the login is good as it stands
        NeedsPassword,  // the server wants a password and none was at hand
        WrongPassword,  // a password was sent (typed, remembered, .pgpass) and refused
        Failed,         // anything else: the ordinary open tells it in full
    };
    Outcome outcome = Outcome::Failed;
    QString detail;  // the library's own text when the login did not succeed
};

// Logs in to the server of `target` once, with `password` when it is not
// empty (else whatever the library finds: the target's own, .pgpass, peer
// or Kerberos authentication), and leaves at once.
LoginProbe probeServerLogin(const ConnectionTarget& target, const QString& password,
                            int connectTimeoutSeconds = 10);

// Keeps a server password in this process's memory only, for every later
// connection to the same server, database and login whose connection string
// carries none: the settings a clerk's PC holds never do.
void rememberServerPassword(const ConnectionTarget& target, const QString& password);
// The password remembered for the target's server, database and login; empty if none.
QString rememberedServerPassword(const ConnectionTarget& target);

// The target without its password, as it may be written down.
ConnectionTarget withoutPassword(ConnectionTarget target);

}  // namespace otherin::db
