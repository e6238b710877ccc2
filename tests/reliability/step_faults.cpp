#include "step_faults.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

namespace otherin::testing {

StepFaults faults;

namespace {

using StepFunction = int (*)(sqlite3_stmt*);

StepFunction realStep() {
    static const auto real = reinterpret_cast<StepFunction>(dlsym(RTLD_NEXT, "sqlite3_step"));
    if (!real) {
        std::fprintf(stderr, "sqlite3_step of the SQLite library not found\n");
        std::abort();
    }
    return real;
}

// SQLite steps statements of its own too (reading the schema, for one) and
// reaches this function for them. A fault there would not pass through the
// statement machine, so SQLite would take it for success and go on with half
// a schema: only the calls from outside the library are the driver's.
bool calledByTheDriver(void* returnAddress) {
    static const void* library = [] {
        Dl_info info{};
        return dladdr(reinterpret_cast<void*>(realStep()), &info) ? info.dli_fbase : nullptr;
    }();
    Dl_info caller{};
    return dladdr(returnAddress, &caller) && caller.dli_fbase != library;
}

}  // namespace

}  // namespace otherin::testing

extern "C" int sqlite3_step(sqlite3_stmt* statement) {
    using otherin::testing::faults;
    if (faults.counting && otherin::testing::calledByTheDriver(__builtin_return_address(0)) &&
        ++faults.calls == faults.failAt) {
        faults.fired = true;
        return faults.code;
    }
    return otherin::testing::realStep()(statement);
}
