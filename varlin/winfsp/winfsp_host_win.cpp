#include <windows.h>

#include <fmt/format.h>

#include <string>

#include "morva/ccsid/utf16.hpp"
#include "winfsp/winfsp_host_win.hpp"

namespace varlin {

namespace {

constexpr char16_t kDiskDeviceName[] = u"WinFsp.Disk";
constexpr std::uint32_t kNtFacilityBit = 0x10000000;  // HRESULT_FROM_NT

// The system's text for a code, from the system's messages or else from ntdll's; empty when neither knows it.
std::string system_text(DWORD code, DWORD source, HMODULE module) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(source | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      module, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string utf8;
  if (length > 0)
    morva::ccsid::append_utf8_of_utf16(std::u16string_view(reinterpret_cast<const char16_t*>(text), length),
                                       utf8);
  LocalFree(text);
  while (!utf8.empty() && (utf8.back() == '\n' || utf8.back() == '\r' || utf8.back() == ' ')) utf8.pop_back();
  return utf8;
}

}  // namespace

morva::Error nt_status_error(winfsp::NtStatus status) {
  const std::uint32_t code = static_cast<std::uint32_t>(status);
  const std::uint32_t hresult = code | kNtFacilityBit;
  std::string text = system_text(hresult, FORMAT_MESSAGE_FROM_SYSTEM, nullptr);
  if (text.empty()) text = system_text(code, FORMAT_MESSAGE_FROM_HMODULE, GetModuleHandleW(L"ntdll.dll"));
  if (text.empty()) text = fmt::format("NTSTATUS 0x{:08X}", code);
  return morva::Error::status(hresult, std::move(text));
}

WinFspHost::WinFspHost(winfsp::WinFspApi& winfsp, std::unique_ptr<filesystem::FileSystemContextBase> context,
                       const winfsp::FSP_FILE_SYSTEM_INTERFACE& table)
    : winfsp_(winfsp),
      table_(std::make_unique<winfsp::FSP_FILE_SYSTEM_INTERFACE>(table)),
      context_(std::move(context)),
      target_{*context_, winfsp} {}

morva::Result<std::unique_ptr<WinFspHost>> WinFspHost::create(
    winfsp::WinFspApi& winfsp, std::unique_ptr<filesystem::FileSystemContextBase> context,
    const winfsp::FSP_FILE_SYSTEM_INTERFACE& table, const winfsp::FSP_FSCTL_VOLUME_PARAMS& volume_params,
    std::uint32_t debug_log_mask) {
  std::unique_ptr<WinFspHost> host(new WinFspHost(winfsp, std::move(context), table));
  const winfsp::NtStatus created =
      winfsp.file_system_create(kDiskDeviceName, volume_params, *host->table_, &host->file_system_);
  if (created < 0 || host->file_system_ == nullptr) {
    host->file_system_ = nullptr;  // nothing to delete; the context goes with the host
    return std::unexpected(nt_status_error(created < 0 ? created : winfsp::kStatusUnsuccessful));
  }
  winfsp.debug_log_set_handle(GetStdHandle(STD_ERROR_HANDLE));
  winfsp.set_debug_log(host->file_system_, debug_log_mask);
  host->file_system_->UserContext = &host->target_;
  winfsp.set_operation_guard_strategy(host->file_system_,
                                      winfsp::FSP_FILE_SYSTEM_OPERATION_GUARD_STRATEGY_FINE);
  return host;
}

WinFspHost::~WinFspHost() {
  if (file_system_ != nullptr) {
    remove_mount_point();
    stop_dispatcher();
    winfsp_.file_system_delete(file_system_);
  }
  context_.reset();
  table_.reset();
}

morva::Result<void> WinFspHost::set_mount_point(std::string_view mount_point) {
  std::u16string text;
  morva::ccsid::append_utf16_of_utf8(mount_point, text);
  const winfsp::NtStatus status = winfsp_.set_mount_point(file_system_, text.c_str());
  if (status < 0) return std::unexpected(nt_status_error(status));
  return {};
}

morva::Result<void> WinFspHost::start_dispatcher() {
  const winfsp::NtStatus status = winfsp_.start_dispatcher(file_system_, 0);
  if (status < 0) return std::unexpected(nt_status_error(status));
  return {};
}

void WinFspHost::stop_dispatcher() {
  winfsp_.stop_dispatcher(file_system_);
}

void WinFspHost::remove_mount_point() {
  winfsp_.remove_mount_point(file_system_);
}

}  // namespace varlin
