#pragma once

#include <QString>
#include <functional>
#include <optional>

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

// The next login and password to try; none when the clerk gave up.
struct PasswordTry {
    QString user;
    QString password;
};
// Asked while the server wants a password or refused the one tried
// (`refused`), for the login `user`.
using AskPassword =
    std::function<std::optional<PasswordTry>(const LoginProbe& refused, const QString& user)>;

struct ServerLogin {
    ConnectionTarget target;  // the login that got through, without its password
    QString password;         // empty when none was needed
    bool connected = false;   // false: another failure, which the open tells
};

// Logs in to the server of `target` as a clerk: with `password` when it is
// not empty (else whatever the client library finds: .pgpass, PGPASSWORD,
// peer or Kerberos authentication), asking `ask` while the server wants a
// password or refuses the one tried. The attempts are made with libpq
// itself, because Qt's driver frees its connection on a failed open and
// cannot tell a missing password from a wrong one. The password that got
// through is kept in this process's memory for every later connection to
// the same server, database and login whose connection string carries none
// (the settings a clerk's PC holds never do). None when `ask` gave up.
std::optional<ServerLogin> logInToServer(ConnectionTarget target, QString password,
                                         const AskPassword& ask);

// The password this process logged in to the target's server, database and
// login with (empty when it needed none); none before it logged in there.
std::optional<QString> rememberedServerPassword(const ConnectionTarget& target);

// The target without its password, as it may be written down.
ConnectionTarget withoutPassword(ConnectionTarget target);

}  // namespace otherin::db
