#pragma once

#include <objbase.h>

#include <inspectable.h>

#include <atomic>
#include <cstdint>

namespace tarvik {

// The weak-reference interfaces (MinGW has no header for them).
struct IWeakReference : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Resolve(REFIID riid, IInspectable** object) = 0;
};

struct IWeakReferenceSource : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetWeakReference(IWeakReference** reference) = 0;
};

class WeakReferenceRecord;

// An object's reference count: the count of strong references, until a weak reference is first asked
// for; from then on a pointer to a weak-reference record that holds the strong and the weak counts and
// outlives the object while weak references remain.
class ReferenceCount {
 public:
  ReferenceCount() = default;
  ReferenceCount(const ReferenceCount&) = delete;
  ReferenceCount& operator=(const ReferenceCount&) = delete;
  // Gives up the object's hold on its record.
  ~ReferenceCount();

  ULONG add_ref();
  // The strong references left; the object frees itself at 0.
  ULONG release();

  // The record's IWeakReferenceSource, with a reference added (to the object), the record made on first
  // request; nullptr when memory ran out. `identity` is the object's IUnknown.
  IWeakReferenceSource* weak_reference_source(IUnknown* identity);

 private:
  // Non-negative: the strong count; negative: the record's address shifted right by one, top bit set.
  std::atomic<std::int64_t> count_ = 1;
};

}  // namespace tarvik
