#include "com_server/weak_reference_win.hpp"

#include <new>

#include "com_server/com_ids_win.hpp"
#include "com_server/server_counts.hpp"

namespace tarvik {

// The shared part of an object that has given out weak references. Its IWeakReferenceSource belongs to
// the object (its IUnknown methods are the object's); its IWeakReference is the weak reference itself.
class WeakReferenceRecord {
 public:
  WeakReferenceRecord(IUnknown* identity, std::uint32_t strong) : identity_(identity), strong_(strong) {
    ++WEAK_RECORD_COUNT;
  }
  WeakReferenceRecord(const WeakReferenceRecord&) = delete;
  WeakReferenceRecord& operator=(const WeakReferenceRecord&) = delete;
  ~WeakReferenceRecord() { --WEAK_RECORD_COUNT; }

  ULONG add_strong() { return ++strong_; }
  ULONG release_strong() { return --strong_; }

  ULONG add_weak() { return ++weak_; }
  ULONG release_weak() {
    const ULONG left = --weak_;
    if (left == 0) delete this;
    return left;
  }

  IWeakReferenceSource* source() { return &source_; }

 private:
  class Source final : public IWeakReferenceSource {
   public:
    explicit Source(WeakReferenceRecord& record) : record_(record) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
      return record_.identity_->QueryInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return record_.identity_->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return record_.identity_->Release(); }

    HRESULT STDMETHODCALLTYPE GetWeakReference(IWeakReference** reference) override {
      if (reference == nullptr) return E_POINTER;
      record_.add_weak();
      *reference = &record_.reference_;
      return S_OK;
    }

   private:
    WeakReferenceRecord& record_;
  };

  class Reference final : public IWeakReference {
   public:
    explicit Reference(WeakReferenceRecord& record) : record_(record) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
      if (is_null_reference(&riid) || ppv == nullptr) return E_POINTER;
      if (riid != kIidUnknown && riid != kIidWeakReference && riid != kIidAgileObject) {
        *ppv = nullptr;
        return E_NOINTERFACE;
      }
      record_.add_weak();
      *ppv = this;
      return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return record_.add_weak(); }
    ULONG STDMETHODCALLTYPE Release() override { return record_.release_weak(); }

    // The object, when a strong reference can still be had.
    HRESULT STDMETHODCALLTYPE Resolve(REFIID riid, IInspectable** object) override {
      if (is_null_reference(&riid) || object == nullptr) return E_POINTER;
      *object = nullptr;
      if (!record_.try_add_strong()) return S_OK;
      const HRESULT result = record_.identity_->QueryInterface(riid, reinterpret_cast<void**>(object));
      record_.identity_->Release();
      return result;
    }

   private:
    WeakReferenceRecord& record_;
  };

  // A strong reference, unless the object is already gone (its count reached 0 once).
  bool try_add_strong() {
    std::uint32_t count = strong_.load();
    while (count != 0) {
      if (strong_.compare_exchange_weak(count, count + 1)) return true;
    }
    return false;
  }

  Source source_{*this};
  Reference reference_{*this};
  IUnknown* identity_;  // the object; used only while a strong reference is held
  std::atomic<std::uint32_t> strong_;
  std::atomic<std::uint32_t> weak_ = 1;  // the object's own, given up when it is freed
};

namespace {

std::int64_t encode(WeakReferenceRecord* record) {
  return static_cast<std::int64_t>((reinterpret_cast<std::uintptr_t>(record) >> 1) |
                                   (std::uint64_t{1} << 63));
}

WeakReferenceRecord* decode(std::int64_t count) {
  return reinterpret_cast<WeakReferenceRecord*>(static_cast<std::uintptr_t>(count) << 1);
}

}  // namespace

ReferenceCount::~ReferenceCount() {
  const std::int64_t count = count_.load();
  if (count < 0) decode(count)->release_weak();
}

ULONG ReferenceCount::add_ref() {
  std::int64_t count = count_.load();
  while (count >= 0) {
    if (count_.compare_exchange_weak(count, count + 1)) return static_cast<ULONG>(count + 1);
  }
  return decode(count)->add_strong();
}

ULONG ReferenceCount::release() {
  std::int64_t count = count_.load();
  while (count >= 0) {
    if (count_.compare_exchange_weak(count, count - 1)) return static_cast<ULONG>(count - 1);
  }
  return decode(count)->release_strong();
}

IWeakReferenceSource* ReferenceCount::weak_reference_source(IUnknown* identity) {
  std::int64_t count = count_.load();
  while (count >= 0) {
    auto* record = new (std::nothrow) WeakReferenceRecord(identity, static_cast<std::uint32_t>(count));
    if (record == nullptr) return nullptr;
    if (count_.compare_exchange_strong(count, encode(record))) {
      count = encode(record);
      break;
    }
    record->release_weak();  // another thread made one, or the count moved: `count` holds the news
  }
  IWeakReferenceSource* source = decode(count)->source();
  source->AddRef();
  return source;
}

}  // namespace tarvik
