#pragma once

#include <QString>
#include <functional>
#include <optional>

#include "db/connection_string.h"

namespace otherin::app {

class PasswordKeeper;

// What the login dialog is asked: the login to start on, what went wrong
// with the last try, and whether the password may be kept in the keyring.
struct ServerLoginQuestion {
    QString user;
    QString problem;        // empty on the first ask
    QString keyringWhyNot;  // empty when "记住密码" may be offered
    bool remembered = false;
};

struct ServerLoginAnswer {
    QString user;
    QString password;
    bool remember = false;
};

// Shows the question; none when the clerk cancelled.
using AskServerLogin = std::function<std::optional<ServerLoginAnswer>(const ServerLoginQuestion&)>;

// Logs the clerk in to the server of `target` as their own login: with the
// target's password, else the keyring's, else what the client library finds
// (.pgpass, peer, Kerberos); a server that wants a password, or refuses the
// one tried, gets the clerk asked, again after each wrong one. Answers the
// target to connect with, without its password (kept in this process's
// memory only, and in the keyring when the clerk asked so), or none when the
// clerk cancelled. A failure other than the password (no server, no such
// database, a disabled login) answers the target too: opening it tells the
// failure in the module's words.
std::optional<db::ConnectionTarget> logInToServer(db::ConnectionTarget target,
                                                  PasswordKeeper& keeper,
                                                  const AskServerLogin& ask);

// The key a server password is kept under: the login, server and database.
QString keyringKey(const db::ConnectionTarget& target);

}  // namespace otherin::app
