#pragma once

#include <sqlite3.h>

namespace otherin::testing {

// The seam of the fault sweep is sqlite3_step itself: a program linking
// step_faults.cpp defines it (exported, so the Qt driver's calls land there),
// counts the driver's calls and, once armed, fails the n-th one. One thread only.
struct StepFaults {
    bool counting = false;
    long calls = 0;
    long failAt = 0;  // 0: no fault
    int code = SQLITE_IOERR;
    bool fired = false;
};
extern StepFaults faults;

// Counts the driver's steps of whatever runs inside; with failAt set, the step
// of that number fails with `code`.
class Armed {
  public:
    explicit Armed(long failAt, int code = SQLITE_IOERR) {
        faults = {true, 0, failAt, code, false};
    }
    ~Armed() { faults.counting = false; }
    Armed(const Armed&) = delete;
    Armed& operator=(const Armed&) = delete;
};

}  // namespace otherin::testing
