#pragma once

namespace otherin::app {

// The commands that prepare a database without a window:
//   otherin init --db URL [--demo]       creates the schema (and demo data)
//   otherin copy --from SOURCE --to URL  copies every table into an empty database
// Answers whether argv names one of them; `exitCode` is then the program's.
bool runAdminCommand(int argc, char* argv[], int& exitCode);

}  // namespace otherin::app
