#include "com_server/property_handler_factory_win.hpp"

namespace tarvik {

HRESULT PropertyHandlerFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  if (is_null_reference(&riid) || ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  auto* handler = make_com_object<PropertyHandler>(fetch_);
  if (handler == nullptr) return E_OUTOFMEMORY;
  return hand_out(handler, riid, ppv);
}

HRESULT PropertyHandlerFactory::LockServer(BOOL lock) {
  lock_server(lock != FALSE);
  return S_OK;
}

}  // namespace tarvik
