#pragma once

#include <objbase.h>

#include <propsys.h>

#include <optional>
#include <string>
#include <vector>

#include "com_server/com_object_win.hpp"
#include "common/poisonable.hpp"
#include "pipe_client/metadata_response.hpp"
#include "property_store/property_list.hpp"

namespace tarvik {

template <>
struct InterfaceId<IInitializeWithFile> {
  static constexpr const IID& value = kIidInitializeWithFile;
};
template <>
struct InterfaceId<IPropertyStore> {
  static constexpr const IID& value = kIidPropertyStore;
};
template <>
struct InterfaceId<IPropertyStoreCapabilities> {
  static constexpr const IID& value = kIidPropertyStoreCapabilities;
};

// How a property store gets a file's metadata (the metadata pipe, or a stand-in in tests).
using PropertiesFetcher = std::optional<MetadataResult> (*)(const std::string& path);

// The read-only properties of one file: fetched once, when the Shell initialises the object with the
// file's path, and served from then on. A file without metadata gets an empty list, not an error.
class PropertyHandler final
    : public ComObject<IInitializeWithFile, IPropertyStore, IPropertyStoreCapabilities> {
 public:
  explicit PropertyHandler(PropertiesFetcher fetch) : fetch_(fetch) {}

  // IInitializeWithFile
  HRESULT STDMETHODCALLTYPE Initialize(LPCWSTR path, DWORD mode) override;

  // IPropertyStore
  HRESULT STDMETHODCALLTYPE GetCount(DWORD* count) override;
  HRESULT STDMETHODCALLTYPE GetAt(DWORD index, PROPERTYKEY* key) override;
  HRESULT STDMETHODCALLTYPE GetValue(REFPROPERTYKEY key, PROPVARIANT* value) override;
  HRESULT STDMETHODCALLTYPE SetValue(REFPROPERTYKEY key, REFPROPVARIANT value) override;
  HRESULT STDMETHODCALLTYPE Commit() override;

  // IPropertyStoreCapabilities
  HRESULT STDMETHODCALLTYPE IsPropertyWritable(REFPROPERTYKEY key) override;

 private:
  PropertiesFetcher fetch_;
  // Absent until Initialize succeeds; then never changed.
  Poisonable<std::optional<std::vector<PropertyEntry>>> properties_;
};

}  // namespace tarvik
