#include "app/usage.h"

#include <algorithm>
#include <cctype>
#include <iostream>
#include <sstream>

#ifndef OTHERIN_VERSION
#error "OTHERIN_VERSION must be set by the build (the project's version)"
#endif

namespace otherin::app {

namespace {

struct Line {
    const char* term;
    const char* text;
};

// The commands in the order of the help. `copy` is named so that the help is
// complete, and answered as not available until this build has it.
constexpr Line kCommands[] = {
    {"new", "open the bill editor on a new bill"},
    {"find", "open the query dialog and the bill journal"},
    {"find3", "the same; bills open for price editing"},
    {"init --db PATH [--demo]", "create a database or bring it up to date"},
    {"copy --from sqlite:FILE --to URL", "copy a database (not in this build)"},
    {"verify [--repair]", "check the stock ledger against the bills"},
    {"passwd --user ID", "set a user's password"},
    {"switch [NAME [VALUE]]", "list the shared switches, or set one"},
};

constexpr Line kOptions[] = {
    {"--db PATH", "the SQLite database file to use"},
    {"--settings FILE", "the settings file instead of the user's"},
    {"--user ID", "log in as this user instead of asking"},
    {"--password TEXT", "that user's password (passwd: the new one)"},
    {"--old-password TEXT", "passwd: the current password"},
    {"--demo", "init: load the demo data"},
    {"--repair", "verify: correct the ledger where it differs"},
    {"-h, --help", "print this help and exit"},
    {"--version", "print the version and exit"},
};

constexpr Line kExitStatus[] = {
    {"0", "success"},
    {"1", "failure (said on stderr or in a window)"},
    {"2", "wrong usage"},
};

constexpr const char* kUnavailable[] = {"copy"};

// Options whose value is the next argument unless written `--name=value`:
// ours, and those Qt's application object takes for itself.
constexpr const char* kValueOptions[] = {
    "--db",           "--settings",       "--user",
    "--password",     "--old-password",   "--from",
    "--to",           "-platform",        "-platformpluginpath",
    "-platformtheme", "-plugin",          "-style",
    "-stylesheet",    "-session",         "-display",
    "-geometry",      "-qwindowgeometry", "-qwindowicon",
    "-qwindowtitle",  "-title",           "-name"};

std::string firstWord(const char* term) {
    const std::string text(term);
    return text.substr(0, text.find(' '));
}

template <std::size_t N>
void addSection(std::ostringstream& out, const char* title, const Line (&lines)[N],
                std::size_t width) {
    out << '\n' << title << ":\n";
    for (const Line& line : lines) {
        const std::string term(line.term);
        out << "  " << term << std::string(width - term.size(), ' ') << line.text << '\n';
    }
}

template <typename Range>
bool contains(const Range& range, const std::string& word) {
    return std::any_of(std::begin(range), std::end(range),
                       [&word](const auto& item) { return word == item; });
}

// Roff text: backslashes and minus signs escaped, no line starting a request.
std::string roff(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\') {
            out += "\\e";
        } else if (c == '-') {
            out += "\\-";
        } else {
            out += c;
        }
    }
    if (!out.empty() && (out.front() == '.' || out.front() == '\'')) out.insert(0, "\\&");
    return out;
}

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

}  // namespace

std::string helpText() {
    std::size_t width = 0;
    for (const Line& line : kCommands) width = std::max(width, std::string(line.term).size());
    for (const Line& line : kOptions) width = std::max(width, std::string(line.term).size());
    width += 2;
    std::ostringstream out;
    out << "Usage: otherin [COMMAND] [OPTION...]\n"
        << "其它入库单: other stock-in bills, goods received into a warehouse.\n"
        << "Without a command otherin opens the bill editor on a new bill.\n";
    addSection(out, "Commands", kCommands, width);
    addSection(out, "Options", kOptions, width);
    addSection(out, "Exit status", kExitStatus, width);
    return out.str();
}

std::string versionLine() {
    return std::string("otherin ") + OTHERIN_VERSION;
}

std::vector<std::string> commandNames() {
    std::vector<std::string> names;
    for (const Line& line : kCommands) names.push_back(firstWord(line.term));
    return names;
}

std::optional<int> answerWithoutWindows(const std::vector<std::string>& arguments,
                                        std::ostream& out, std::ostream& err) {
    bool help = false;
    bool version = false;
    std::optional<std::string> command;
    std::size_t commandIndex = 0;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a == "--") {
            if (!command && i + 1 < arguments.size()) {
                command = arguments[i + 1];
                commandIndex = i + 1;
            }
            break;
        }
        if (a == "--help" || a == "-h") {
            help = true;
        } else if (a == "--version") {
            version = true;
        } else if (contains(kValueOptions, a)) {
            ++i;  // its value, whatever it looks like
        } else if (a.empty() || a.front() != '-') {
            if (!command) {
                command = a;
                commandIndex = i;
            }
        }
    }
    if (help) {
        out << helpText();
        return 0;
    }
    if (version) {
        out << versionLine() << '\n';
        return 0;
    }
    if (!command) return std::nullopt;
    const std::vector<std::string> names = commandNames();
    if (!contains(names, *command)) {
        err << "otherin: unknown command '" << *command << "'\n"
            << "Try 'otherin --help' for the commands.\n";
        return 2;
    }
    if (contains(kUnavailable, *command)) {
        err << "otherin: " << *command << " is not available in this build\n";
        return 1;
    }
    const bool window = *command == "new" || *command == "find" || *command == "find3";
    if (!window && commandIndex != 0) {
        err << "otherin: the command '" << *command << "' must come first\n"
            << "Try 'otherin --help' for the commands.\n";
        return 2;
    }
    return std::nullopt;
}

std::optional<int> answerWithoutWindows(int argc, char* argv[]) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
    return answerWithoutWindows(arguments, std::cout, std::cerr);
}

std::string manPage(const std::string& help) {
    std::ostringstream out;
    out << ".TH OTHERIN 1 \"\" \"" << roff(versionLine()) << "\" \"User Commands\"\n"
        << ".nh\n.ad l\n"
        << ".SH NAME\n"
        << "otherin \\- other stock-in bills (其它入库单)\n";
    std::istringstream in(help);
    std::string line;
    bool inDescription = false;
    while (std::getline(in, line)) {
        if (line.empty()) {
            inDescription = false;
            continue;
        }
        const std::string usage = "Usage: otherin";
        if (line.rfind(usage, 0) == 0) {
            out << ".SH SYNOPSIS\n.B otherin\n" << roff(line.substr(usage.size() + 1)) << '\n';
            out << ".SH DESCRIPTION\n";
            inDescription = true;
        } else if (inDescription) {
            out << roff(line) << '\n';
        } else if (line.front() != ' ' && line.back() == ':') {
            out << ".SH " << upper(line.substr(0, line.size() - 1)) << '\n';
        } else {
            // "  term   text": the term ends where two spaces begin.
            const std::size_t start = line.find_first_not_of(' ');
            const std::size_t gap = line.find("  ", start);
            const std::string term = line.substr(start, gap - start);
            const std::size_t textStart =
                gap == std::string::npos ? std::string::npos : line.find_first_not_of(' ', gap);
            const std::string text =
                textStart == std::string::npos ? std::string() : line.substr(textStart);
            out << ".TP\n\\fB" << roff(term) << "\\fR\n" << roff(text) << '\n';
        }
    }
    out << ".SH FILES\n"
        << ".TP\n.I ~/.local/share/MendaxoStock2007/otherin.sqlite\n"
        << "the embedded database, made with the demo data on first run\n"
        << ".TP\n.I ~/.config/MendaxoStock2007/MendaxoStock2007.ini\n"
        << "the user's settings, written at login\n";
    return out.str();
}

}  // namespace otherin::app
