#include "winfsp/operation_error.hpp"

#include <gtest/gtest.h>

#include "stub_winfsp.hpp"

namespace varlin::filesystem {
namespace {

using morva::IoErrorKind;

TEST(OperationError, IoErrorKindsHaveTheirWin32Codes) {
  const std::pair<IoErrorKind, std::optional<std::uint32_t>> cases[] = {
      {IoErrorKind::not_found, 2},
      {IoErrorKind::permission_denied, 5},
      {IoErrorKind::already_exists, 183},
      {IoErrorKind::not_a_directory, 267},
      {IoErrorKind::is_a_directory, 336},
      {IoErrorKind::invalid_input, 87},
      {IoErrorKind::invalid_filename, 206},
      {IoErrorKind::invalid_data, std::nullopt},
      {IoErrorKind::timed_out, std::nullopt},
      {IoErrorKind::other, std::nullopt},
  };
  for (const auto& [kind, code] : cases)
    EXPECT_EQ(win32_error_of(kind), code) << morva::io_error_kind_name(kind);
}

TEST(OperationError, BecomesTheStatusWinFspGets) {
  winfsp_stub::StubWinFsp winfsp;
  EXPECT_EQ(nt_status_of(winfsp::kStatusDiskFull, winfsp), winfsp::kStatusDiskFull);
  EXPECT_EQ(nt_status_of(IoErrorKind::is_a_directory, winfsp), winfsp::kStatusFileIsADirectory);
  EXPECT_EQ(nt_status_of(IoErrorKind::invalid_data, winfsp), winfsp::kStatusUnexpectedIoError);
}

}  // namespace
}  // namespace varlin::filesystem
