// COM helpers for the tests: owning interface pointers, and the built library loaded as the Shell
// loads it.
#pragma once

#include <objbase.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace tarvik::testing {

struct ComReleaser {
  void operator()(IUnknown* object) const { object->Release(); }
};

template <typename Interface>
using ComRef = std::unique_ptr<Interface, ComReleaser>;

// The object's interface (asserting that it is answered).
template <typename Interface>
ComRef<Interface> query(IUnknown* object, const IID& iid) {
  void* answer = nullptr;
  EXPECT_EQ(object->QueryInterface(iid, &answer), S_OK);
  return ComRef<Interface>(static_cast<Interface*>(answer));
}

// The exports, typed as a C caller sees them (references are pointers there, and may be null).
using GetClassObjectFunction = HRESULT(STDAPICALLTYPE*)(const CLSID* clsid, const IID* iid, void** ppv);
using CanUnloadNowFunction = HRESULT(STDAPICALLTYPE*)();

// tarvik_shell_property_handler.dll, loaded once for the test program.
struct HandlerLibrary {
  static const HandlerLibrary& get();

  GetClassObjectFunction get_class_object;
  CanUnloadNowFunction can_unload_now;
};

// A new property store of the library, through its class factory.
ComRef<IUnknown> create_property_handler();

}  // namespace tarvik::testing
