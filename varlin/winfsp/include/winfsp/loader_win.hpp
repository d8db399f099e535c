#pragma once

#ifdef _WIN32

#include <memory>

#include "morva/error.hpp"
#include "winfsp/api.hpp"

namespace varlin::winfsp {

// Loads "winfsp-x64.dll": from the program's folder or the system folder (never the current directory or
// PATH), else from the "InstallDir" of WinFsp's registry key (the 32-bit view's first) followed by
// "\bin\". Each function is looked up when it is first called; one the library lacks answers
// STATUS_PROCEDURE_NOT_FOUND (or does nothing, or adds no record). The library stays loaded while the
// result lives.
morva::Result<std::unique_ptr<WinFspApi>> load_winfsp();

}  // namespace varlin::winfsp

#endif
