#include <gtest/gtest.h>

#include <string>

#include "main/banner.hpp"
#include "main/exit_report.hpp"
#include "main/mount_id.hpp"
#include "metadata_pipe/mount_id_hash.hpp"

namespace varlin {
namespace {

Args args_for(std::string host, std::string remote_root, std::string mount_point) {
  Args args;
  args.host = std::move(host);
  args.remote_root = std::move(remote_root);
  args.mount_point = std::move(mount_point);
  return args;
}

TEST(Banner, NamesTheMountTheIdAndItsPipe) {
  const Args args = args_for("ibmi.example.com", "/QSYS.LIB/", "M:");
  EXPECT_EQ(mount_banner(args, "/QSYS.LIB", 0x1A2B),
            "Mounted IBM i ibmi.example.com:/QSYS.LIB at M:\n"
            "Mount ID: 00001A2B; metadata pipe: \\\\.\\pipe\\VARLIN.Metadata.00001A2B\n"
            "Press Ctrl+C or send 'stop' on stdin to stop the mount.\n");
  EXPECT_NE(mount_banner(args, "/", 0xFFFFFFFF)
                .find("Mount ID: FFFFFFFF; metadata pipe: "
                      "\\\\.\\pipe\\VARLIN.Metadata.FFFFFFFF\n"),
            std::string::npos);
}

TEST(MountId, DerivedFromHostRootAsTypedAndMountPoint) {
  EXPECT_EQ(default_mount_id(args_for("SYS1", "/", "Z:")), 0x6836B7AC);
  EXPECT_EQ(default_mount_id(args_for("SYS1", "/QSYS.LIB", "Z:")),
            metadata_pipe::mount_id_hash("SYS1", "/QSYS.LIB", "Z:"));
  EXPECT_NE(default_mount_id(args_for("SYS1", "/QSYS.LIB", "Z:")),
            default_mount_id(args_for("SYS1", "/QSYS.LIB/", "Z:")))
      << "the root enters as typed, not normalised";
  EXPECT_NE(default_mount_id(args_for("SYS1", "/", "Z:")), default_mount_id(args_for("SYS1", "/", "Y:")));
}

TEST(MountId, TheOptionWins) {
  Args args = args_for("SYS1", "/", "Z:");
  EXPECT_EQ(chosen_mount_id(args), 0x6836B7AC);
  args.mount_id = 0x1A2B;
  EXPECT_EQ(chosen_mount_id(args), 0x1A2Bu);
}

TEST(ErrorReport, ShowsTheDiagnosticFormAfterError) {
  EXPECT_EQ(error_report(morva::Error::message("password is incorrect")),
            "Error: \"password is incorrect\"\n");
  EXPECT_EQ(error_report(morva::Error::io(morva::IoErrorKind::not_found,
                                          "WinFsp is not installed or could not be loaded: WIN32_ERROR")),
            "Error: I/O error NotFound: WinFsp is not installed or could not be loaded: WIN32_ERROR\n");
  EXPECT_EQ(error_report(morva::Error::status(0xD0000035, "Object Name already exists.")),
            "Error: status error HRESULT 0xD0000035: Object Name already exists.\n");
}

}  // namespace
}  // namespace varlin
