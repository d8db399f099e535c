#include "morva/error.hpp"

#include <gtest/gtest.h>

#include <asio/error.hpp>

namespace morva {
namespace {

TEST(Error, MessageDiagnosticIsQuoted) {
  const Error error = Error::message("file not found: /a");
  EXPECT_FALSE(error.is_io());
  EXPECT_EQ(error.text(), "file not found: /a");
  EXPECT_EQ(error.diagnostic(), "\"file not found: /a\"");
}

TEST(Error, IoErrorKeepsItsKind) {
  const Error error = Error::io(IoErrorKind::unexpected_eof, "early eof");
  ASSERT_TRUE(error.io_kind().has_value());
  EXPECT_EQ(*error.io_kind(), IoErrorKind::unexpected_eof);
  EXPECT_EQ(error.diagnostic(), "I/O error UnexpectedEof: early eof");
}

TEST(Error, SystemErrorMapsItsKind) {
  const Error error = Error::system(make_error_code(asio::error::connection_refused));
  ASSERT_TRUE(error.io_kind().has_value());
  EXPECT_EQ(*error.io_kind(), IoErrorKind::connection_refused);
  EXPECT_EQ(error.system_code(), make_error_code(asio::error::connection_refused));
}

TEST(Error, AccessDeniedIsPermissionDenied) {
  const std::error_code codes[] = {
      make_error_code(asio::error::access_denied), std::make_error_code(std::errc::permission_denied),
#ifdef _WIN32
      std::error_code(5, std::system_category()),  // ERROR_ACCESS_DENIED
#endif
  };
  for (const std::error_code& code : codes) {
    const Error error = Error::system(code);
    EXPECT_EQ(error.io_kind(), IoErrorKind::permission_denied) << code.message();
    EXPECT_TRUE(error.diagnostic().starts_with("I/O error PermissionDenied (system error " +
                                               std::to_string(code.value()) + "): "))
        << error.diagnostic();
  }
}

TEST(Error, ReturnCodeTravelsWithTheMessage) {
  const Error error = Error::return_code(2, "file not found: /a");
  EXPECT_EQ(error.return_code(), 2u);
  EXPECT_EQ(error.text(), "file not found: /a");
  EXPECT_FALSE(error.is_io());
}

TEST(Error, AProgramRefusalKeepsItsReturnCodeApartFromTheFileServers) {
  const Error error = Error::program_refused(0x0500, "retrieve object description failed with 0x0500");
  EXPECT_EQ(error.program_return_code(), 0x0500u);
  EXPECT_EQ(error.return_code(), std::nullopt);
  EXPECT_EQ(error.diagnostic(), "\"retrieve object description failed with 0x0500\"");
  EXPECT_EQ(Error::return_code(2, "file not found: /a").program_return_code(), std::nullopt);
}

TEST(Error, StatusShowsItsHresult) {
  const Error error = Error::status(0xD0000034, "Object Name not found.");
  EXPECT_EQ(error.hresult(), 0xD0000034u);
  EXPECT_FALSE(error.is_io());
  EXPECT_EQ(error.diagnostic(), "status error HRESULT 0xD0000034: Object Name not found.");
}

}  // namespace
}  // namespace morva
