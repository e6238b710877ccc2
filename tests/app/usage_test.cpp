#include "app/usage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace otherin::app {
namespace {

struct Answer {
    std::optional<int> status;
    std::string out;
    std::string err;
};

Answer answer(const std::vector<std::string>& arguments) {
    std::ostringstream out;
    std::ostringstream err;
    const auto status = answerWithoutWindows(arguments, out, err);
    return {status, out.str(), err.str()};
}

// The lines of the help's section `title`, without the title.
std::vector<std::string> section(const std::string& help, const std::string& title) {
    std::istringstream in(help);
    std::vector<std::string> lines;
    std::string line;
    bool inside = false;
    while (std::getline(in, line)) {
        if (line == title + ":") {
            inside = true;
        } else if (inside && line.empty()) {
            break;
        } else if (inside) {
            lines.push_back(line);
        }
    }
    return lines;
}

TEST(Usage, HelpListsEveryCommandOnALineOfItsOwn) {
    const std::vector<std::string> expected = {"new",  "find",   "find3",  "init",
                                               "copy", "verify", "passwd", "switch"};
    EXPECT_EQ(commandNames(), expected);
    const auto lines = section(helpText(), "Commands");
    ASSERT_EQ(lines.size(), expected.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].rfind("  " + expected[i] + " ", 0), 0u) << lines[i];
    }
}

TEST(Usage, HelpListsEveryOptionTheCommandsTake) {
    const auto lines = section(helpText(), "Options");
    for (const std::string option :
         {"--db PATH", "--settings FILE", "--user ID", "--password TEXT", "--old-password TEXT",
          "--demo", "--repair", "-h, --help", "--version"}) {
        const bool listed = std::any_of(lines.begin(), lines.end(), [&](const std::string& l) {
            return l.rfind("  " + option + "  ", 0) == 0;
        });
        EXPECT_TRUE(listed) << option;
    }
}

TEST(Usage, HelpLinesFitATerminal) {
    std::istringstream in(helpText());
    std::string line;
    while (std::getline(in, line)) {
        // Counted in characters: the Chinese name takes three bytes a character.
        std::size_t characters = 0;
        for (const unsigned char c : line) characters += (c & 0xC0) != 0x80;
        EXPECT_LE(characters, 80u) << line;
    }
}

TEST(Usage, VersionLineCarriesTheProjectVersion) {
    EXPECT_EQ(versionLine(), std::string("otherin ") + OTHERIN_VERSION);
}

TEST(Usage, HelpAndVersionAreAnsweredWhereverTheyStand) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--help"}, {"-h"}, {"new", "--help"}, {"passwd", "--user", "1", "-h"}}) {
        const Answer a = answer(args);
        EXPECT_EQ(a.status, 0);
        EXPECT_EQ(a.out, helpText());
        EXPECT_EQ(a.err, "");
    }
    const Answer v = answer({"find", "--version"});
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out, versionLine() + "\n");
}

TEST(Usage, AnOptionsValueIsNeverTakenForHelpOrACommand) {
    EXPECT_EQ(answer({"passwd", "--user", "1", "--password", "--help"}).status, std::nullopt);
    EXPECT_EQ(answer({"--db", "bogus.sqlite", "find"}).status, std::nullopt);
    EXPECT_EQ(answer({"--db=x.sqlite", "--user", "2", "new"}).status, std::nullopt);
    EXPECT_EQ(answer({"-platform", "offscreen", "find"}).status, std::nullopt);
    EXPECT_EQ(answer({"new", "-style", "fusion"}).status, std::nullopt);
}

TEST(Usage, TheProgramsOwnArgumentsAreLeftToIt) {
    EXPECT_EQ(answer({}).status, std::nullopt);
    for (const std::string command :
         {"new", "find", "find3", "init", "verify", "passwd", "switch"}) {
        EXPECT_EQ(answer({command, "--db", "x.sqlite"}).status, std::nullopt) << command;
    }
}

TEST(Usage, AnUnknownCommandIsWrongUsageToldOnStandardError) {
    const Answer a = answer({"fnid", "--db", "x.sqlite"});
    EXPECT_EQ(a.status, 2);
    EXPECT_EQ(a.out, "");
    EXPECT_NE(a.err.find("fnid"), std::string::npos);
}

TEST(Usage, ATerminalCommandMustComeFirst) {
    const Answer a = answer({"--db", "x.sqlite", "verify"});
    EXPECT_EQ(a.status, 2);
    EXPECT_NE(a.err.find("verify"), std::string::npos);
}

TEST(Usage, CopyIsLeftToTheCommandItself) {
    const Answer a = answer({"copy", "--from", "sqlite:a.sqlite", "--to", "sqlite:b.sqlite"});
    EXPECT_FALSE(a.status.has_value());
    EXPECT_EQ(a.out, "");
    EXPECT_EQ(a.err, "");
}

TEST(Usage, ManPageHasTheHelpsSectionsAndEveryCommand) {
    const std::string page = manPage(helpText());
    EXPECT_EQ(page.rfind(".TH OTHERIN 1 ", 0), 0u);
    for (const std::string heading : {".SH NAME\n", ".SH SYNOPSIS\n", ".SH DESCRIPTION\n",
                                      ".SH COMMANDS\n", ".SH OPTIONS\n", ".SH EXIT STATUS\n"}) {
        EXPECT_NE(page.find(heading), std::string::npos) << heading;
    }
    for (const std::string& command : commandNames()) {
        EXPECT_NE(page.find(".TP\n\\fB" + command), std::string::npos) << command;
    }
    // Minus signs of options are escaped, so that they stay hyphens.
    EXPECT_NE(page.find("\\fB\\-\\-db PATH\\fR"), std::string::npos);
}

TEST(Usage, ManPageEscapesWhatRoffWouldReadAsARequest) {
    const std::string page = manPage("Usage: otherin X\n.dot first\n\nThings:\n  a\\b  'quoted\n");
    EXPECT_NE(page.find("\\&.dot first\n"), std::string::npos);
    EXPECT_NE(page.find("\\fBa\\eb\\fR\n\\&'quoted\n"), std::string::npos);
    EXPECT_NE(page.find(".SH THINGS\n"), std::string::npos);
}

}  // namespace
}  // namespace otherin::app
