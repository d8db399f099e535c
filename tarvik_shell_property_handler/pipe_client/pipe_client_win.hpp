#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tarvik {

struct PipeTimeouts {
  DWORD wait_for_instance_ms = 1000;  // for a free pipe instance
  DWORD transfer_ms = 5000;           // for the write, and again for the read
};

// The reply is read once, at most this many bytes.
inline constexpr DWORD kReplyReadSize = 16384;

// CreateFileW, or a stand-in through which a test sees how the pipe is opened.
using CreateFileCall =
    std::function<HANDLE(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                         DWORD disposition, DWORD flags_and_attributes, HANDLE template_file)>;

// One exchange on a byte-mode named pipe: waits for a free instance, writes the whole message and reads
// once. The bytes read, or nothing when the pipe is missing or busy or the write or read fails, times
// out or writes short. A transfer that times out is cancelled and waited for before its buffer goes.
// The pipe is closed before this returns.
std::optional<std::string> exchange_on_pipe(const std::wstring& name, std::string_view message,
                                            const PipeTimeouts& timeouts = {},
                                            const CreateFileCall& create_file = CreateFileW);

}  // namespace tarvik
