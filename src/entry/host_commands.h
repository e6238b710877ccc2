#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace otherin::entry {

// The terminal of the host's administration commands.
class Terminal {
  public:
    virtual ~Terminal() = default;
    // Reads one line without showing it; none at the end of the input.
    virtual std::optional<QString> readSecret(const QString& prompt) = 0;
    virtual void print(const QString& line) = 0;
    virtual void error(const QString& line) = 0;
};

// True when the first argument after the program's name is one of the
// commands below; the host then runs them without windows.
bool isHostCommand(const QStringList& arguments);

// The host's administration commands, `arguments` starting with the
// program's name:
//   init --db PATH [--demo]          create a database (owner-only file)
//   passwd --user ID [--password NEW] [--old-password OLD]
//                                    set a user's password; asks the current
//                                    one when there is one, and the new one
//                                    twice unless --password gives it
//   switch [NAME [VALUE]] [--user ID --password TEXT]
//                                    list the shared switches, or set one
//                                    (administrators only)
// passwd and switch use --db PATH, or the database of the settings
// (--settings FILE or the user's own). Answers the process's exit status.
int runHostCommand(const QStringList& arguments, Terminal& terminal);

}  // namespace otherin::entry
