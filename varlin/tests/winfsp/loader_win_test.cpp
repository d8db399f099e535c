// Where WinFsp is loaded from: beside the program, or the installation directory that the registry
// names, never the current directory or PATH. This program has no winfsp-x64.dll beside it except
// while a test puts one there.
#include "winfsp/loader_win.hpp"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <string>
#include <string_view>

namespace varlin::winfsp {
namespace {

constexpr const wchar_t* kWow64Key = L"SOFTWARE\\WOW6432Node\\WinFsp";
constexpr const wchar_t* kNativeKey = L"SOFTWARE\\WinFsp";
constexpr const wchar_t* kDllName = L"winfsp-x64.dll";

// The stand-in DLL where the build put it, as a Windows path.
std::wstring stub_dll() {
  std::wstring path = L"Z:" WINFSP_STUB_DLL;
  for (wchar_t& unit : path)
    if (unit == L'/') unit = L'\\';
  return path;
}

std::wstring program_folder() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  const std::wstring program(path, length);
  return program.substr(0, program.find_last_of(L'\\'));
}

std::wstring lower(std::wstring text) {
  std::ranges::transform(text, text.begin(), [](wchar_t unit) { return std::towlower(unit); });
  return text;
}

// The folder the loaded winfsp-x64.dll came from, lower-cased; empty when none is loaded.
std::wstring loaded_from() {
  const HMODULE module = GetModuleHandleW(kDllName);
  if (module == nullptr) return {};
  wchar_t path[MAX_PATH];
  const std::wstring file(path, GetModuleFileNameW(module, path, MAX_PATH));
  return lower(file.substr(0, file.find_last_of(L'\\')));
}

// A folder of its own under the temporary folder, removed afterwards.
class TemporaryFolder {
 public:
  explicit TemporaryFolder(std::wstring_view name) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + std::wstring(name) + L"-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  ~TemporaryFolder() { RemoveDirectoryW(path_.c_str()); }

  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

// A copy of the stand-in DLL in `folder` (made when missing), removed afterwards with the folder it made.
class LibraryCopy {
 public:
  explicit LibraryCopy(std::wstring folder)
      : folder_(std::move(folder)), made_folder_(CreateDirectoryW(folder_.c_str(), nullptr) != 0) {
    EXPECT_TRUE(CopyFileW(stub_dll().c_str(), file().c_str(), FALSE)) << GetLastError();
  }
  LibraryCopy(const LibraryCopy&) = delete;
  LibraryCopy& operator=(const LibraryCopy&) = delete;
  ~LibraryCopy() {
    EXPECT_TRUE(DeleteFileW(file().c_str())) << GetLastError();
    if (made_folder_) RemoveDirectoryW(folder_.c_str());
  }

  const std::wstring& folder() const { return folder_; }

 private:
  std::wstring file() const { return folder_ + L"\\" + kDllName; }

  std::wstring folder_;
  bool made_folder_;
};

enum class Planted { current_directory, path };

// A folder made the current directory or put first on PATH, as for a program started there or with a
// PATH that someone else can write to; both are put back afterwards.
class StartedWith {
 public:
  StartedWith(const std::wstring& folder, Planted where) {
    wchar_t directory[MAX_PATH];
    directory_.assign(directory, GetCurrentDirectoryW(MAX_PATH, directory));
    path_.resize(GetEnvironmentVariableW(L"PATH", nullptr, 0));
    path_.resize(GetEnvironmentVariableW(L"PATH", path_.data(), static_cast<DWORD>(path_.size())));
    if (where == Planted::current_directory) {
      EXPECT_TRUE(SetCurrentDirectoryW(folder.c_str()));
    } else {
      EXPECT_TRUE(SetEnvironmentVariableW(L"PATH", (folder + L";" + path_).c_str()));
    }
  }
  StartedWith(const StartedWith&) = delete;
  StartedWith& operator=(const StartedWith&) = delete;
  ~StartedWith() {
    SetCurrentDirectoryW(directory_.c_str());
    SetEnvironmentVariableW(L"PATH", path_.c_str());
  }

 private:
  std::wstring directory_;
  std::wstring path_;
};

class Loading : public ::testing::Test {
 protected:
  void SetUp() override { remove_install_keys(); }
  void TearDown() override { remove_install_keys(); }

  static void remove_install_keys() {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kWow64Key);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kNativeKey);
  }

  static void set_install_dir(const wchar_t* key, const std::wstring& folder) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, key, L"InstallDir", REG_SZ, folder.c_str(),
                              static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
  }

  // Loads WinFsp, proves a function binds and that the library came from `folder`, then unloads it.
  static void expect_loaded_from(const std::wstring& folder) {
    auto loaded = load_winfsp();
    ASSERT_TRUE(loaded) << loaded.error().diagnostic();
    EXPECT_EQ((*loaded)->nt_status_from_win32(2), kStatusObjectNameNotFound);
    EXPECT_EQ(loaded_from(), lower(folder));
  }

  static void expect_not_found() {
    const auto loaded = load_winfsp();
    ASSERT_FALSE(loaded) << "loaded from " << testing::PrintToString(loaded_from());
    EXPECT_EQ(loaded.error().io_kind(), morva::IoErrorKind::not_found);
    EXPECT_EQ(loaded.error().text(), "WinFsp is not installed or could not be loaded: WIN32_ERROR");
  }

  TemporaryFolder install_{L"winfsp-install"};
};

TEST_F(Loading, WithoutAnInstallationFailsAsNotFound) {
  expect_not_found();
}

TEST_F(Loading, IsFoundThroughEitherRegistryKey) {
  const LibraryCopy bin(install_.path() + L"\\bin");
  set_install_dir(kNativeKey, install_.path());
  expect_loaded_from(bin.folder());
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, kNativeKey);
  set_install_dir(kWow64Key, install_.path() + L"\\");  // as WinFsp's installer writes it
  expect_loaded_from(bin.folder());
}

TEST_F(Loading, TheSecondKeyServesWhenTheFirstNamesNoLibrary) {
  const LibraryCopy bin(install_.path() + L"\\bin");
  set_install_dir(kWow64Key, install_.path() + L"\\missing");
  set_install_dir(kNativeKey, install_.path());
  expect_loaded_from(bin.folder());
}

TEST_F(Loading, ALibraryPlantedInTheCurrentDirectoryOrOnPathIsNotLoaded) {
  const TemporaryFolder start_folder(L"winfsp-planted");
  const LibraryCopy planted(start_folder.path());
  const LibraryCopy bin(install_.path() + L"\\bin");
  for (const Planted where : {Planted::current_directory, Planted::path}) {
    SCOPED_TRACE(where == Planted::current_directory ? "current directory" : "PATH");
    const StartedWith started(start_folder.path(), where);
    expect_not_found();
    set_install_dir(kNativeKey, install_.path());
    expect_loaded_from(bin.folder());
    remove_install_keys();
  }
}

TEST_F(Loading, ALibraryBesideTheProgramComesFirst) {
  const LibraryCopy bin(install_.path() + L"\\bin");
  set_install_dir(kNativeKey, install_.path());
  const LibraryCopy beside(program_folder());
  expect_loaded_from(beside.folder());
}

}  // namespace
}  // namespace varlin::winfsp
