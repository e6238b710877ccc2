// What the help, version and usage errors answer without a display. The
// listing of every command and option in the help, the version line and the
// manual page's sections are checked on the built program by the scripts
// beside this file.
#include "app/usage.h"

#include <gtest/gtest.h>

#include <sstream>

namespace otherin::app {
namespace {

// Help and version are answered wherever they stand; an option's value is never
// taken for them or for a command; the program's own arguments are left to it.
TEST(Usage, ArgumentsAreAnsweredOrLeftToTheProgram) {
    const std::string help = helpText();
    const std::string version = versionLine() + "\n";
    const struct {
        std::vector<std::string> args;
        std::optional<int> status;
        std::string out;
        std::string errNames;  // a word the error must contain; empty: no error at all
    } cases[] = {
        {{"new", "--help"}, 0, help, ""},
        {{"passwd", "--user", "1", "-h"}, 0, help, ""},
        {{"find", "--version"}, 0, version, ""},
        {{"passwd", "--user", "1", "--password", "--help"}, std::nullopt, "", ""},
        {{"--db", "bogus.sqlite", "find"}, std::nullopt, "", ""},
        {{"--db=x.sqlite", "--user", "2", "new"}, std::nullopt, "", ""},
        {{"new", "-style", "fusion"}, std::nullopt, "", ""},
        {{"copy", "--from", "sqlite:a.sqlite", "--to", "sqlite:b.sqlite"}, std::nullopt, "", ""},
        {{"fnid", "--db", "x.sqlite"}, 2, "", "fnid"},
        {{"--db", "x.sqlite", "verify"}, 2, "", "verify"},  // a terminal command comes first
    };
    for (const auto& c : cases) {
        std::string joined;
        for (const auto& a : c.args) joined += a + " ";
        SCOPED_TRACE(joined);
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(answerWithoutWindows(c.args, out, err), c.status);
        EXPECT_EQ(out.str(), c.out);
        if (c.errNames.empty()) {
            EXPECT_EQ(err.str(), "");
        } else {
            EXPECT_NE(err.str().find(c.errNames), std::string::npos) << err.str();
        }
    }
}

}  // namespace
}  // namespace otherin::app
