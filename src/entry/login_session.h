#pragma once

#include <QDateTime>
#include <QString>

namespace otherin::db {
class Connection;
}

namespace otherin::entry {

// A login of the host program, recorded in the database so that the component
// learns who logged in from the database and not from a file the user can
// edit. The host hands only the random token on, through the settings; the
// database keeps its hash, so reading tblLoginSession gives away no token.

// How long after the login a token still opens the component.
inline constexpr int kSessionHours = 12;
// How far a login may lie ahead of now (clocks of two programs) before its
// session counts as made by hand and is refused.
inline constexpr int kClockSkewSeconds = 300;

// Records a session for `userId` logged in at `now` and answers its token.
// Sessions older than kSessionHours are cleared on the way.
QString beginLoginSession(db::Connection& connection, qlonglong userId,
                          const QDateTime& now = QDateTime::currentDateTimeUtc());

// Forgets the session of `token` (the host's log-out).
void endLoginSession(db::Connection& connection, const QString& token);

struct SessionCheck {
    enum class State { Valid, Unknown, Expired };
    State state = State::Unknown;
    qlonglong userId = 0;
};

// The session `token` stands for at `now`. An empty token is unknown, and so
// is a session recorded in the future.
SessionCheck checkLoginSession(db::Connection& connection, const QString& token,
                               const QDateTime& now = QDateTime::currentDateTimeUtc());

}  // namespace otherin::entry
