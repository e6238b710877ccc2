#pragma once

#include "entry/host_commands.h"

namespace otherin::app {

// The process's own terminal: prompts and errors on standard error, results
// on standard output; a secret is read with the echo off when the input is a
// terminal, and as a plain line from a pipe.
class ProcessTerminal : public entry::Terminal {
  public:
    std::optional<QString> readSecret(const QString& prompt) override;
    void print(const QString& line) override;
    void error(const QString& line) override;
};

}  // namespace otherin::app
