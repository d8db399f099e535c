#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "control_request.hpp"
#include "winfsp/file_system.hpp"

namespace winfsp_stub {

// A mounted file system as the stand-in sees it.
struct MountView {
  varlin::winfsp::FSP_FILE_SYSTEM* file_system = nullptr;
  const varlin::winfsp::FSP_FILE_SYSTEM_INTERFACE* table = nullptr;
  const varlin::winfsp::FSP_FSCTL_VOLUME_PARAMS* params = nullptr;
  std::u16string_view mount_point;
  varlin::winfsp::FSP_FILE_SYSTEM_OPERATION_GUARD_STRATEGY guard_strategy =
      varlin::winfsp::FSP_FILE_SYSTEM_OPERATION_GUARD_STRATEGY_FINE;
  std::uint32_t debug_log_mask = 0;
  // Takes the file context of a handle that stays open: WinFsp sends no Cleanup or Close for a handle
  // still open when its file system goes.
  std::function<void(void* file_context)> hold_open;
};

// Where the stand-in's debug log lines go (only while the debug-log mask is not 0).
using DebugLog = std::function<void(std::string_view line)>;

// Runs one control request through the file system's operation table, slot by slot as WinFsp would
// for the matching Windows call, and returns the reply. Commands, paths below the volume root:
//   volume                  GetVolumeInfo
//   params                  the volume parameters and settings the file system was created with
//   stat PATH               GetSecurityByName, Open, GetFileInfo
//   dir PATH                Open, ReadDirectory until the end marker, one line per entry
//   find DIR NAME           Open, GetDirInfoByName
//   read PATH               Open, Read until 0 bytes come; the file's bytes
//   write PATH SIZE         (+ SIZE bytes) Open and OverwriteEx, or CreateEx; Write
//   hold PATH SIZE          (+ SIZE bytes) Open, OverwriteEx, Write; the handle stays open
//   mkdir PATH              CreateEx of a directory
//   delete PATH             Open, SetDelete, Cleanup with the delete flag
//   rename PATH NEW_PATH    Open, Rename
// Every other open ends with Cleanup and Close.
std::string run_command(const MountView& mount, const ControlRequest& request, const DebugLog& log);

}  // namespace winfsp_stub
