#pragma once

#include <objbase.h>

namespace tarvik {

// The IMarshal that both objects hand out: it marshals through the system's free-threaded marshaler,
// so they are used directly from any apartment, and asks the object for every other interface. It
// holds a reference to the object (its IUnknown) while it lives.
HRESULT make_free_threaded_marshaler(IUnknown* object, void** ppv);

}  // namespace tarvik
