#include "app/terminal.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

namespace otherin::app {

namespace {

// Turns the terminal's echo off for its lifetime.
class EchoOff {
  public:
    EchoOff() : active_(isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved_) == 0) {
        if (!active_) return;
        termios quiet = saved_;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    ~EchoOff() {
        if (!active_) return;
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_);
        std::fputs("\n", stderr);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

  private:
    termios saved_{};
    bool active_;
};

}  // namespace

std::optional<QString> ProcessTerminal::readSecret(const QString& prompt) {
    std::fputs(prompt.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
    EchoOff quiet;
    std::string line;
    if (!std::getline(std::cin, line)) return std::nullopt;
    return QString::fromLocal8Bit(line);
}

void ProcessTerminal::print(const QString& line) {
    std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

void ProcessTerminal::error(const QString& line) {
    std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

}  // namespace otherin::app
