#include "com_test_support_win.hpp"

#include <algorithm>

#include "com_server/com_ids_win.hpp"
#include "test_pipe_server_win.hpp"

namespace tarvik::testing {

namespace {

template <typename Function>
Function exported(HMODULE module, const char* name) {
  // GCC takes a cast through the generic function type as intended.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

}  // namespace

const HandlerLibrary& HandlerLibrary::get() {
  static const HandlerLibrary library = [] {
    std::wstring path = L"Z:" + wide(TARVIK_HANDLER_DLL);  // Wine's drive for the Unix root
    std::ranges::replace(path, L'/', L'\\');
    HMODULE module = LoadLibraryW(path.c_str());
    if (module == nullptr) throw std::runtime_error("cannot load " + std::string(TARVIK_HANDLER_DLL));
    return HandlerLibrary{exported<GetClassObjectFunction>(module, "DllGetClassObject"),
                          exported<CanUnloadNowFunction>(module, "DllCanUnloadNow")};
  }();
  return library;
}

ComRef<IUnknown> create_property_handler() {
  void* factory = nullptr;
  EXPECT_EQ(HandlerLibrary::get().get_class_object(&CLSID_IbmiPropertyHandler, &kIidClassFactory, &factory),
            S_OK);
  if (factory == nullptr) return nullptr;
  ComRef<IClassFactory> owned(static_cast<IClassFactory*>(factory));
  void* handler = nullptr;
  EXPECT_EQ(owned->CreateInstance(nullptr, kIidUnknown, &handler), S_OK);
  return ComRef<IUnknown>(static_cast<IUnknown*>(handler));
}

}  // namespace tarvik::testing
