// varlin.exe: mounts an IBM i IFS directory as a drive through WinFsp and serves the mount's metadata
// pipe until Ctrl+C, the line "stop" on standard input or the end of WinFsp's dispatcher.
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

#include "filesystem/ifs_file_system.hpp"
#include "filesystem/recovery_copies.hpp"
#include "main/banner.hpp"
#include "main/command_line/command_line.hpp"
#include "main/console/console_control_win.hpp"
#include "main/console/console_input_win.hpp"
#include "main/console/console_output_win.hpp"
#include "main/console/password_win.hpp"
#include "main/exchange_time_limit.hpp"
#include "main/exit_report.hpp"
#include "main/logging/diagnostic_logging.hpp"
#include "main/mount_id.hpp"
#include "morva/log.hpp"
#include "shared/environment.hpp"
#include "shared/stop_channel.hpp"
#include "winfsp/loader_win.hpp"
#include "winfsp/volume_params.hpp"
#include "winfsp/winfsp_host_win.hpp"

namespace varlin {

namespace {

constexpr std::string_view kLogTarget = "varlin";

using RunResult = std::expected<void, RunFailure>;

std::unexpected<RunFailure> failed(morva::Error error, int exit_code = kExitFailure) {
  return std::unexpected(RunFailure{std::move(error), exit_code});
}

RunResult print(std::string_view text) {
  if (auto written = write_standard_output(text); !written)
    return failed(written.error(), kExitInternalFault);
  return {};
}

void start_logging() {
  const bool colours = log_colours_wanted(process_environment_value);
  install_diagnostic_logging(write_standard_output, colours);
  if (colours) enable_console_colours();
}

// The reader is never waited for: when main returns, the process ends with it still reading.
RunResult start_stop_reader(StopSender sender) {
  try {
    std::thread([sender = std::move(sender)]() mutable {
      stdin_stop_reader(std::move(sender), standard_input());
    }).detach();
  } catch (const std::system_error& error) {
    return failed(morva::Error::system(error.code()), kExitInternalFault);
  }
  return {};
}

// The folder for copies of members' texts, and a word on the copies earlier mounts of the host left there.
std::expected<std::filesystem::path, RunFailure> recovery_folder_of(const Args& args) {
  const auto local_app_data = process_environment_value("LOCALAPPDATA");
  if (!local_app_data || local_app_data->empty())
    return failed(
        morva::Error::message("LOCALAPPDATA is not set, so unsaved texts have no folder to be kept in"));
  const filesystem::RecoveryCopies copies(filesystem::recovery_folder(*local_app_data, args.host));
  if (const std::string line = filesystem::earlier_copies_line(copies); !line.empty())
    static_cast<void>(write_standard_error(line));
  return copies.folder();
}

// Builds the mount, serves it until the first stop message and takes it down. Whatever exists when a
// step fails is released on the way out, the WinFsp host (and the context it owns) before WinFsp.
RunResult run(const Args& args) {
  auto user = resolve_user_profile(args, standard_input(), write_standard_output);
  if (!user) return failed(user.error());
  if (args.verbose) start_logging();
  morva::log::debug(kLogTarget, "starting IBM i IFS mount",
                    {{"host", args.host},
                     {"user", *user},
                     {"remote_root", args.remote_root},
                     {"mount_point", args.mount_point}});

  StopChannel channel = StopChannel::create();
  if (auto installed = install_console_control_handler(channel.sender.clone()); !installed)
    return failed(installed.error());
  auto winfsp = winfsp::load_winfsp();
  if (!winfsp) return failed(winfsp.error());
  auto recovery_folder = recovery_folder_of(args);
  if (!recovery_folder) return std::unexpected(recovery_folder.error());
  auto password = resolve_password();
  if (!password) return failed(password.error());

  auto context = filesystem::IfsFileSystem::connect(filesystem::MountSettings{
      .host = args.host,
      .user = *user,
      .password = std::move(*password),
      .remote_root = args.remote_root,
      .max_file_size = args.max_file_size,
      .cache_ttl = filesystem::cache_lifetime(args.cache_ttl_seconds),
      .time_limit = exchange_time_limit(),
      .lost_changes = [](std::string_view line) { static_cast<void>(write_standard_error(line)); },
      .recovery_folder = std::move(*recovery_folder),
  });
  if (!context) return failed(context.error());
  const std::uint32_t mount_id = chosen_mount_id(args);
  if (auto served = (*context)->start_metadata_pipe(mount_id); !served) return failed(served.error());
  (*context)->set_stop_sender(channel.sender.clone());
  const std::string remote_root = (*context)->remote_root();

  auto host =
      WinFspHost::create(**winfsp, std::move(*context), mount_volume_params(mount_id, args.cache_ttl_seconds),
                         debug_log_mask(args.verbose));
  if (!host) return failed(host.error());
  if (auto mounted = (*host)->set_mount_point(args.mount_point); !mounted) return failed(mounted.error());
  if (auto printed = print(mount_banner(args, remote_root, mount_id)); !printed) return printed;
  if (auto started = (*host)->start_dispatcher(); !started) return failed(started.error());
  if (auto started = start_stop_reader(std::move(channel.sender)); !started) return started;
  if (auto stopped = channel.receiver.wait(); !stopped) return failed(stopped.error());

  const RunResult printed = print("Stopping mount...\n");
  // Windows ends the process a few seconds after the console closes, however long the operations
  // under way still wait for the IBM i.
  (*host)->keep_unsaved_texts();
  (*host)->stop_dispatcher();
  (*host)->remove_mount_point();
  host->reset();
  return printed;
}

}  // namespace

}  // namespace varlin

int main() {
  varlin::silence_diagnostic_logging();
  const varlin::Args args = varlin::Args::parse();
  const auto ran = varlin::run(args);
  varlin::console_shutdown_finished();
  if (ran) return varlin::kExitSuccess;
  static_cast<void>(varlin::write_standard_error(varlin::error_report(ran.error().error)));
  return ran.error().exit_code;
}
