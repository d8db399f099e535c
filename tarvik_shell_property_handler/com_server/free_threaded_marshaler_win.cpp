#include "com_server/free_threaded_marshaler_win.hpp"

#include <atomic>
#include <new>

#include "com_server/com_ids_win.hpp"

namespace tarvik {

namespace {

class FreeThreadedMarshaler final : public IMarshal {
 public:
  FreeThreadedMarshaler(IMarshal* marshal, IUnknown* object) : marshal_(marshal), object_(object) {
    object_->AddRef();
  }
  FreeThreadedMarshaler(const FreeThreadedMarshaler&) = delete;
  FreeThreadedMarshaler& operator=(const FreeThreadedMarshaler&) = delete;
  ~FreeThreadedMarshaler() {
    marshal_->Release();
    object_->Release();
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (is_null_reference(&riid) || ppv == nullptr) return E_POINTER;
    if (riid != kIidMarshal) return object_->QueryInterface(riid, ppv);
    AddRef();
    *ppv = static_cast<IMarshal*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++count_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --count_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE GetUnmarshalClass(REFIID riid, void* pv, DWORD dest_context,
                                              void* dest_context_data, DWORD flags, CLSID* clsid) override {
    return marshal_->GetUnmarshalClass(riid, pv, dest_context, dest_context_data, flags, clsid);
  }
  HRESULT STDMETHODCALLTYPE GetMarshalSizeMax(REFIID riid, void* pv, DWORD dest_context,
                                              void* dest_context_data, DWORD flags, DWORD* size) override {
    return marshal_->GetMarshalSizeMax(riid, pv, dest_context, dest_context_data, flags, size);
  }
  HRESULT STDMETHODCALLTYPE MarshalInterface(IStream* stream, REFIID riid, void* pv, DWORD dest_context,
                                             void* dest_context_data, DWORD flags) override {
    return marshal_->MarshalInterface(stream, riid, pv, dest_context, dest_context_data, flags);
  }
  HRESULT STDMETHODCALLTYPE UnmarshalInterface(IStream* stream, REFIID riid, void** ppv) override {
    return marshal_->UnmarshalInterface(stream, riid, ppv);
  }
  HRESULT STDMETHODCALLTYPE ReleaseMarshalData(IStream* stream) override {
    return marshal_->ReleaseMarshalData(stream);
  }
  HRESULT STDMETHODCALLTYPE DisconnectObject(DWORD reserved) override {
    return marshal_->DisconnectObject(reserved);
  }

 private:
  IMarshal* marshal_;
  IUnknown* object_;
  std::atomic<ULONG> count_ = 1;
};

}  // namespace

HRESULT make_free_threaded_marshaler(IUnknown* object, void** ppv) {
  IUnknown* system_marshaler = nullptr;
  HRESULT result = CoCreateFreeThreadedMarshaler(nullptr, &system_marshaler);
  if (FAILED(result)) return result;
  IMarshal* marshal = nullptr;
  result = system_marshaler->QueryInterface(kIidMarshal, reinterpret_cast<void**>(&marshal));
  system_marshaler->Release();
  if (FAILED(result)) return result;
  auto* wrapper = new (std::nothrow) FreeThreadedMarshaler(marshal, object);
  if (wrapper == nullptr) {
    marshal->Release();
    return E_OUTOFMEMORY;
  }
  *ppv = static_cast<IMarshal*>(wrapper);
  return S_OK;
}

}  // namespace tarvik
