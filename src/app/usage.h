#pragma once

// What `otherin` tells about itself on the command line: the help text, the
// version line, and the same help text as a manual page. These answers need
// neither a display nor a database, so the host gives them before it starts
// Qt's application object.

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace otherin::app {

// The help that `otherin --help` prints: every command and option, one line
// each, and the exit statuses.
std::string helpText();

// "otherin VERSION", the version being the build's project version.
std::string versionLine();

// The commands `otherin` accepts as its first word, in the order of the help.
std::vector<std::string> commandNames();

// Answers `--help`, `-h`, `--version`, an unknown command and the commands
// this build does not have, printing to `out` or `err`; gives the exit
// status then (0 answered, 1 not available, 2 wrong usage). None when the
// arguments are for the program itself. `arguments` start after the
// program's name.
std::optional<int> answerWithoutWindows(const std::vector<std::string>& arguments,
                                        std::ostream& out, std::ostream& err);

// The same for main()'s own arguments, on standard output and error.
std::optional<int> answerWithoutWindows(int argc, char* argv[]);

// The manual page otherin(1) in roff, made from helpText(): its usage line
// becomes the synopsis, its sections the man page's sections.
std::string manPage(const std::string& help);

}  // namespace otherin::app
