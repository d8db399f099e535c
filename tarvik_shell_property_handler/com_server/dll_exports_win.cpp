// The library's two exports, through which COM finds the class factory and asks whether the library
// may be unloaded.
#include <objbase.h>

#include "com_server/property_handler_factory_win.hpp"
#include "pipe_client/system_access_win.hpp"

using namespace tarvik;

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (is_null_reference(&rclsid) || is_null_reference(&riid) || ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (rclsid != CLSID_IbmiPropertyHandler) return CLASS_E_CLASSNOTAVAILABLE;
  const PropertiesFetcher fetch = fetch_file_properties;
  auto* factory = make_com_object<PropertyHandlerFactory>(fetch);
  if (factory == nullptr) return E_OUTOFMEMORY;
  return hand_out(factory, riid, ppv);
}

STDAPI DllCanUnloadNow() {
  return server_in_use() ? S_FALSE : S_OK;
}
