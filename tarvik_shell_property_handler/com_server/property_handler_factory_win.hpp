#pragma once

#include <objbase.h>

#include "com_server/com_object_win.hpp"
#include "property_store/property_handler_win.hpp"

namespace tarvik {

template <>
struct InterfaceId<IClassFactory> {
  static constexpr const IID& value = kIidClassFactory;
};

// Makes the property stores, each for one file, fetching through `fetch`.
class PropertyHandlerFactory final : public ComObject<IClassFactory> {
 public:
  explicit PropertyHandlerFactory(PropertiesFetcher fetch) : fetch_(fetch) {}

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

 private:
  PropertiesFetcher fetch_;
};

}  // namespace tarvik
