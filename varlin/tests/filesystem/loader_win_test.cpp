// Loading WinFsp from its installation directory as the registry names it. This program has no
// winfsp-x64.dll beside it, so loading by the bare name fails here.
#include "filesystem/winfsp/loader.hpp"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace varlin::winfsp {
namespace {

constexpr const wchar_t* kWow64Key = L"SOFTWARE\\WOW6432Node\\WinFsp";
constexpr const wchar_t* kNativeKey = L"SOFTWARE\\WinFsp";

// The stand-in DLL where the build put it, as a Windows path.
std::wstring stub_dll() {
  std::wstring path = L"Z:" WINFSP_STUB_DLL;
  for (wchar_t& unit : path)
    if (unit == L'/') unit = L'\\';
  return path;
}

// An installation directory with bin\winfsp-x64.dll in it, removed with its registry entries.
class Installation : public ::testing::Test {
 protected:
  ~Installation() override {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kWow64Key);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kNativeKey);
    DeleteFileW((folder_ + L"\\bin\\winfsp-x64.dll").c_str());
    RemoveDirectoryW((folder_ + L"\\bin").c_str());
    RemoveDirectoryW(folder_.c_str());
  }

  void SetUp() override {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kWow64Key);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kNativeKey);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"winfsp-install-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder_.c_str(), nullptr);
    CreateDirectoryW((folder_ + L"\\bin").c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(stub_dll().c_str(), (folder_ + L"\\bin\\winfsp-x64.dll").c_str(), FALSE))
        << GetLastError();
  }

  static void set_install_dir(const wchar_t* key, const std::wstring& folder) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, key, L"InstallDir", REG_SZ, folder.c_str(),
                              static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
  }

  // Loads WinFsp and proves a function binds, then unloads it again.
  static void expect_loaded() {
    auto loaded = load_winfsp();
    ASSERT_TRUE(loaded) << loaded.error().diagnostic();
    EXPECT_EQ((*loaded)->nt_status_from_win32(2), kStatusObjectNameNotFound);
  }

  std::wstring folder_;
};

TEST_F(Installation, WithoutItLoadingFailsAsNotFound) {
  const auto loaded = load_winfsp();
  ASSERT_FALSE(loaded);
  EXPECT_EQ(loaded.error().io_kind(), morva::IoErrorKind::not_found);
  EXPECT_EQ(loaded.error().text(), "WinFsp is not installed or could not be loaded: WIN32_ERROR");
}

TEST_F(Installation, IsFoundThroughEitherRegistryKey) {
  set_install_dir(kNativeKey, folder_);
  expect_loaded();
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, kNativeKey);
  set_install_dir(kWow64Key, folder_ + L"\\");  // as WinFsp's installer writes it
  expect_loaded();
}

TEST_F(Installation, TheSecondKeyServesWhenTheFirstNamesNoLibrary) {
  set_install_dir(kWow64Key, folder_ + L"\\missing");
  set_install_dir(kNativeKey, folder_);
  expect_loaded();
}

}  // namespace
}  // namespace varlin::winfsp
