#pragma once

#include <atomic>
#include <cstdint>

namespace tarvik {

// Live class factories and property stores.
extern std::atomic<std::uint32_t> OBJECT_COUNT;
// Outstanding LockServer(TRUE) calls.
extern std::atomic<std::uint32_t> LOCK_COUNT;
// Live weak-reference records: one may outlive its object, and its code must stay loaded meanwhile.
extern std::atomic<std::uint32_t> WEAK_RECORD_COUNT;

// LockServer: TRUE counts up; FALSE counts down, never below 0.
void lock_server(bool lock);

// Whether anything still needs the library's code (so it may not be unloaded).
bool server_in_use();

}  // namespace tarvik
