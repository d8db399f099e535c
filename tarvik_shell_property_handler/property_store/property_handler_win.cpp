#include "property_store/property_handler_win.hpp"

#include <bit>
#include <cstring>
#include <cwchar>
#include <new>

#include "common/utf16.hpp"

namespace tarvik {

namespace {

constexpr HRESULT kAlreadyInitialized = HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);
constexpr HRESULT kNoUnicodeTranslation = HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
constexpr DWORD kAccessModeMask = 3;

static_assert(sizeof(GUID) == sizeof(Guid));

PropertyKey to_property_key(const PROPERTYKEY& key) {
  return {std::bit_cast<Guid>(key.fmtid), key.pid};
}

PROPERTYKEY to_propertykey(const PropertyKey& key) {
  return {std::bit_cast<GUID>(key.format_id), key.property_id};
}

// VT_UI4, or VT_BSTR with a new string the caller owns (an empty text gives a null BSTR).
HRESULT write_value(const PropertyValue& value, PROPVARIANT& out) {
  if (const auto* number = std::get_if<std::uint32_t>(&value)) {
    out.vt = VT_UI4;
    out.ulVal = *number;
    return S_OK;
  }
  const auto& text = std::get<std::u16string>(value);
  BSTR string = nullptr;
  if (!text.empty()) {
    string = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
    if (string == nullptr) return E_OUTOFMEMORY;
  }
  out.vt = VT_BSTR;
  out.bstrVal = string;
  return S_OK;
}

}  // namespace

HRESULT PropertyHandler::Initialize(LPCWSTR path, DWORD mode) {
  if ((mode & kAccessModeMask) == STGM_READWRITE) return STG_E_ACCESSDENIED;
  try {
    auto locked = properties_.lock();
    if (!locked) return E_INVALIDARG;
    auto& list = **locked;
    if (list) return kAlreadyInitialized;
    if (path == nullptr) return E_POINTER;
    const auto text = utf8_from_utf16({reinterpret_cast<const char16_t*>(path), std::wcslen(path)});
    if (!text) return kNoUnicodeTranslation;
    const auto result = fetch_(*text);
    list = result ? build_property_list(*result) : std::vector<PropertyEntry>{};
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;  // leaving by the exception poisoned the lock: the list may be half made
  } catch (...) {
    return E_UNEXPECTED;
  }
}

HRESULT PropertyHandler::GetCount(DWORD* count) {
  if (count == nullptr) return E_POINTER;
  const auto locked = properties_.lock();
  if (!locked) return E_INVALIDARG;
  const auto& list = **locked;
  *count = list ? static_cast<DWORD>(list->size()) : 0;
  return S_OK;
}

HRESULT PropertyHandler::GetAt(DWORD index, PROPERTYKEY* key) {
  if (key == nullptr) return E_POINTER;
  const auto locked = properties_.lock();
  if (!locked) return E_INVALIDARG;
  const auto& list = **locked;
  if (!list || index >= list->size()) return E_INVALIDARG;
  *key = to_propertykey((*list)[index].key);
  return S_OK;
}

HRESULT PropertyHandler::GetValue(REFPROPERTYKEY key, PROPVARIANT* value) {
  if (is_null_reference(&key) || value == nullptr) return E_POINTER;
  const auto locked = properties_.lock();
  if (!locked) return E_INVALIDARG;
  const auto& list = **locked;
  std::memset(value, 0, sizeof *value);  // VT_EMPTY
  const PropertyEntry* entry = list ? find_property(*list, to_property_key(key)) : nullptr;
  return entry ? write_value(entry->value, *value) : S_OK;
}

HRESULT PropertyHandler::SetValue(REFPROPERTYKEY, REFPROPVARIANT) {
  return STG_E_ACCESSDENIED;
}

HRESULT PropertyHandler::Commit() {
  return STG_E_ACCESSDENIED;
}

HRESULT PropertyHandler::IsPropertyWritable(REFPROPERTYKEY) {
  return S_FALSE;
}

}  // namespace tarvik
