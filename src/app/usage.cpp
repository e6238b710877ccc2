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

// The commands in the order of the help.
constexpr Line kCommands[] = {
    {"new", "打开单据编辑窗口，新增一张单据"},
    {"find", "打开查询窗口与单据序时簿"},
    {"find3", "同上；单据以编辑单价方式打开"},
    {"init --db PATH|URL [--demo] [--role-prefix P]",
     "新建数据库，或把已有的数据库升级到本版本；在服务器上并建立其角色"},
    {"copy --from sqlite:FILE --to URL", "把数据库复制到一个空的数据库（如服务器上的）"},
    {"verify [--repair]", "核对即时库存与单据"},
    {"history [--bill ID] [--limit N]", "列出管理方面或一张单据的修改记录"},
    {"backup [--to DIR] [--keep N]", "备份数据库（经检查），只保留最近 N 份"},
    {"restore --from BACKUP", "从备份恢复数据库（须无程序在使用它）"},
    {"passwd --user ID", "设置用户的密码"},
    {"switch [NAME [VALUE]]", "列出共用开关，或设置其中一个"},
    {"user add|passwd|disable|list", "服务器上：建立、改密码、停用或列出录单员的登录"},
    {"migrate", "服务器上：把共用一个登录的数据库改为每人一个登录，停用共用的登录"},
};

constexpr Line kOptions[] = {
    {"--db PATH", "要使用的数据库文件，或服务器数据库的 postgresql:// 连接字符串"},
    {"--from, --to", "copy：源与目标数据库；restore：备份文件；backup：备份文件夹"},
    {"--keep N", "backup：保留最近的几份备份（默认 7）"},
    {"--settings FILE", "使用此设置文件，而不是用户自己的"},
    {"--user ID", "以此用户登录，不再询问"},
    {"--password TEXT", "该用户的密码（passwd：新密码）"},
    {"--old-password TEXT", "passwd：当前的密码"},
    {"--demo", "init：装入演示数据"},
    {"--role-prefix P", "init：服务器角色名的前缀（默认：数据库名）"},
    {"--repair", "verify：改正与单据不一致的库存"},
    {"--bill ID", "history：列出这张单据的修改记录"},
    {"--limit N", "history：最多列出几条（默认 100）"},
    {"--login NAME", "user：录单员的登录名"},
    {"--name TEXT", "user add：录单员的姓名"},
    {"--admin", "user add：作为管理员"},
    {"--shared-login NAME", "migrate：原来共用的登录（缺省为表的所有者）"},
    {"-h, --help", "显示本帮助后退出"},
    {"--version", "显示版本后退出"},
};

constexpr Line kExitStatus[] = {
    {"0", "成功"},
    {"1", "失败（原因在标准错误或窗口中说明）"},
    {"2", "用法错误"},
};

// Options whose value is the next argument unless written `--name=value`:
// ours, and those Qt's application object takes for itself.
constexpr const char* kValueOptions[] = {"--db",
                                         "--bill",
                                         "--limit",
                                         "--settings",
                                         "--user",
                                         "--role-prefix",
                                         "--password",
                                         "--old-password",
                                         "--from",
                                         "--to",
                                         "--keep",
                                         "-platform",
                                         "-platformpluginpath",
                                         "-platformtheme",
                                         "-plugin",
                                         "-style",
                                         "-stylesheet",
                                         "-session",
                                         "-display",
                                         "-geometry",
                                         "-qwindowgeometry",
                                         "-qwindowicon",
                                         "-qwindowtitle",
                                         "-title",
                                         "-name"};

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
        << "其它入库单：记录收入仓库的其它入库单据。\n"
        << "不带命令时，otherin 打开单据编辑窗口，新增一张单据。\n";
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
        err << "otherin：未知的命令“" << *command << "”\n"
            << "可用的命令见 otherin --help。\n";
        return 2;
    }
    const bool window = *command == "new" || *command == "find" || *command == "find3";
    if (!window && commandIndex != 0) {
        err << "otherin：命令“" << *command << "”必须写在最前面\n"
            << "可用的命令见 otherin --help。\n";
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
