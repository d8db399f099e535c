#pragma once

#include <objbase.h>

#include <inspectable.h>

#include <new>
#include <utility>

#include "com_server/com_ids_win.hpp"
#include "com_server/free_threaded_marshaler_win.hpp"
#include "com_server/server_counts.hpp"
#include "com_server/weak_reference_win.hpp"

namespace tarvik {

// The COM identity shared by the library's objects: one IUnknown (also answering IInspectable and
// IAgileObject) and a table per interface in `Interfaces`, one reference count, IMarshal through the
// free-threaded marshaler and weak references on request. Objects are made by make_com_object.
template <typename... Interfaces>
class ComObject : public IInspectable, public Interfaces... {
 public:
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) final {
    if (is_null_reference(&riid) || ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (riid == kIidUnknown || riid == kIidInspectable || riid == kIidAgileObject) {
      *ppv = identity();
    } else if (!(answer_as<Interfaces>(riid, ppv) || ...)) {
      if (riid == kIidMarshal) return make_free_threaded_marshaler(identity(), ppv);
      if (riid == kIidWeakReferenceSource) {
        *ppv = references_.weak_reference_source(identity());
        return *ppv ? S_OK : E_OUTOFMEMORY;
      }
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }

  ULONG STDMETHODCALLTYPE AddRef() final { return references_.add_ref(); }

  ULONG STDMETHODCALLTYPE Release() final {
    const ULONG left = references_.release();
    if (left == 0) {
      --OBJECT_COUNT;
      delete this;
    }
    return left;
  }

  HRESULT STDMETHODCALLTYPE GetIids(ULONG* count, IID** iids) final {
    if (count == nullptr || iids == nullptr) return E_POINTER;
    *count = 0;
    *iids = nullptr;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING* name) final {
    if (name == nullptr) return E_POINTER;
    *name = nullptr;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel* level) final {
    if (level == nullptr) return E_POINTER;
    *level = BaseTrust;
    return S_OK;
  }

  IUnknown* identity() { return static_cast<IInspectable*>(this); }

 protected:
  ComObject() = default;
  virtual ~ComObject() = default;

 private:
  template <typename Interface>
  bool answer_as(REFIID riid, void** ppv) {
    if (riid != InterfaceId<Interface>::value) return false;
    *ppv = static_cast<Interface*>(this);
    return true;
  }

  ReferenceCount references_;
};

// A new object with one reference, counted in OBJECT_COUNT before it is allocated; nullptr (and the
// count as it was) when memory ran out.
template <typename Object, typename... Arguments>
Object* make_com_object(Arguments&&... arguments) {
  ++OBJECT_COUNT;
  auto* object = new (std::nothrow) Object(std::forward<Arguments>(arguments)...);
  if (object == nullptr) --OBJECT_COUNT;
  return object;
}

// Asks a new object for an interface and drops the creation reference, which frees the object when the
// interface is not answered.
template <typename Object>
HRESULT hand_out(Object* object, REFIID riid, void** ppv) {
  const HRESULT result = object->QueryInterface(riid, ppv);
  object->Release();
  return result;
}

}  // namespace tarvik
