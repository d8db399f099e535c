#pragma once

#include <chrono>

namespace varlin {

// How long an exchange of the mount with the IBM i may make no progress. Each program that links the
// start-up defines it: varlin.exe with the library's limit, a test copy of it with a short one.
std::chrono::milliseconds exchange_time_limit();

}  // namespace varlin
