// From the Shell's call to the mount's pipe and back, on drive T:, whose volume serial the test chose
// (the test program runs in a Wine prefix of its own that has the drive).
#include <propsys.h>

#include <gtest/gtest.h>

#include <bit>
#include <string>

#include "com_server/com_ids_win.hpp"
#include "com_test_support_win.hpp"
#include "pipe_client/request_message.hpp"
#include "pipe_client/system_access_win.hpp"
#include "property_store/property_list.hpp"
#include "test_pipe_server_win.hpp"

namespace tarvik {
namespace {

using testing::ComRef;
using testing::PipeConnection;
using testing::query;
using testing::TestPipeServer;

constexpr std::uint32_t kSerial = TEST_VOLUME_SERIAL;

std::string reply(std::string_view mount_id, std::string_view rest) {
  return R"({"version":1,"mountId":")" + std::string(mount_id) + R"(",)" + std::string(rest) + "}\n";
}

std::string member_reply(std::string_view mount_id = "7A12C0DE") {
  return reply(mount_id,
               R"("ok":true,"result":{"path":"/QSYS.LIB/DEVLIB.LIB/QRPGLESRC.FILE/ORDERS.MBR","properties":)"
               R"({"path":"/QSYS.LIB/DEVLIB.LIB/QRPGLESRC.FILE/ORDERS.MBR","library":"DEVLIB",)"
               R"("sourceFile":"QRPGLESRC","member":"ORDERS","sourceType":"RPGLE","ccsid":273,)"
               R"("recordLength":112,"description":"Order entry"}})");
}

std::string request_line(std::string_view json_path) {
  return R"({"version":1,"method":"getFileProperties","path":")" + std::string(json_path) + "\"}\n";
}

// What the Shell sees for the file: the number of properties and the library, if any.
struct Shown {
  DWORD count = 0;
  std::wstring library;

  bool operator==(const Shown&) const = default;
};

Shown shell_properties(const wchar_t* path) {
  const auto handler = testing::create_property_handler();
  const auto initialize = query<IInitializeWithFile>(handler.get(), kIidInitializeWithFile);
  const auto store = query<IPropertyStore>(handler.get(), kIidPropertyStore);
  EXPECT_EQ(initialize->Initialize(path, STGM_READ), S_OK);
  Shown shown;
  EXPECT_EQ(store->GetCount(&shown.count), S_OK);
  PROPVARIANT library{};
  const PROPERTYKEY key{std::bit_cast<GUID>(PKEY_Ibmi_Library.format_id), PKEY_Ibmi_Library.property_id};
  EXPECT_EQ(store->GetValue(key, &library), S_OK);
  if (library.vt == VT_BSTR) shown.library.assign(library.bstrVal, SysStringLen(library.bstrVal));
  PropVariantClear(&library);
  return shown;
}

const Shown kOrders{9, L"DEVLIB"};

TEST(TestVolume, HasTheChosenSerial) {
  WindowsSystemAccess system;
  EXPECT_EQ(system.volume_serial_number(R"(T:\)"), kSerial);
  EXPECT_EQ(system.volume_path_name(R"(T:\QSYS.LIB\x.rpgle)"), R"(T:\)");
  EXPECT_EQ(system.volume_path_name(R"(\\?\T:\QSYS.LIB\x.rpgle)"), R"(\\?\T:\)");
}

TEST(ShellProperties, ComeFromThePipeNamedAfterTheVolumeSerial) {
  TestPipeServer mount(metadata_pipe_name(kSerial), {{.replies = {member_reply()}}});
  EXPECT_EQ(shell_properties(LR"(T:\QSYS.LIB\DEVLIB.LIB\QRPGLESRC.FILE\ORDERS.rpgle)"), kOrders);
  EXPECT_EQ(mount.requests(),
            std::vector<std::string>{request_line(R"(QSYS.LIB\\DEVLIB.LIB\\QRPGLESRC.FILE\\ORDERS.rpgle)")});
  EXPECT_TRUE(mount.wait_until_served());

  EXPECT_EQ(shell_properties(LR"(t:/qsys.lib/devlib.lib/qrpglesrc.file/orders.RPGLE)"), kOrders)
      << "answered from the cache: the pipe has no instance left";
}

TEST(ShellProperties, AnInvalidRequestIsAskedOnceMore) {
  const auto invalid = reply("7A12C0DE", R"("ok":false,"code":"invalidRequest","error":"try again")");
  TestPipeServer mount(metadata_pipe_name(kSerial),
                       {{.replies = {invalid}}, {.replies = {member_reply("0x7a12c0de")}}});
  EXPECT_EQ(shell_properties(LR"(T:\src\retried.clle)"), kOrders);
  const auto request = request_line(R"(src\\retried.clle)");
  EXPECT_EQ(mount.requests(), (std::vector<std::string>{request, request}));
}

TEST(ShellProperties, AVolumePathIsRootedThroughTheSystem) {
  TestPipeServer mount(metadata_pipe_name(kSerial), {{.replies = {member_reply()}}});
  EXPECT_EQ(shell_properties(LR"(\\?\T:\src\.\verbatim.sqlrpgle)"), kOrders);
  EXPECT_EQ(mount.requests(), std::vector<std::string>{request_line(R"(src\\verbatim.sqlrpgle)")});
}

TEST(ShellProperties, NothingFromAnotherMountsReplyOrAnError) {
  TestPipeServer mount(
      metadata_pipe_name(kSerial),
      {{.replies = {member_reply("0000002A")}},
       {.replies = {reply("7A12C0DE", R"("ok":false,"code":"connectionLost","error":"lost")")}}});
  EXPECT_EQ(shell_properties(LR"(T:\src\other.rpgle)"), Shown{});
  EXPECT_EQ(shell_properties(LR"(T:\src\lost.rpgle)"), Shown{});
  EXPECT_EQ(mount.requests().size(), 2u) << "neither was retried";
}

TEST(ShellProperties, OtherExtensionsNeverReachThePipe) {
  TestPipeServer mount(metadata_pipe_name(kSerial), {{.replies = {member_reply()}}});
  EXPECT_EQ(shell_properties(LR"(T:\src\readme.txt)"), Shown{});
  EXPECT_TRUE(mount.requests().empty());
}

}  // namespace
}  // namespace tarvik
