// The property store's methods, on objects linked into the test with a stand-in for the metadata pipe,
// and once through the built DLL.
#include "property_store/property_handler_win.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <thread>

#include "com_server/property_handler_factory_win.hpp"
#include "com_test_support_win.hpp"
#include "sample_member.hpp"

namespace tarvik {
namespace {

using testing::ComRef;
using testing::query;

constexpr HRESULT kAlreadyInitialized = static_cast<HRESULT>(0x800704DF);
constexpr HRESULT kNoUnicodeTranslation = static_cast<HRESULT>(0x80070459);

// The stand-in fetch: what it was asked and what it answers, for the one test running.
struct FakeFetch {
  static inline std::vector<std::string> paths;
  static inline std::optional<MetadataResult> answer;
  static inline bool throws = false;
  static inline HANDLE entered = nullptr;  // set, when given, once a fetch has begun
  static inline HANDLE proceed = nullptr;  // waited for, when given, before answering

  static std::optional<MetadataResult> fetch(const std::string& path) {
    paths.push_back(path);
    if (entered) SetEvent(entered);
    if (proceed) WaitForSingleObject(proceed, 10000);
    if (throws) throw std::runtime_error("fetch failed");
    return answer;
  }
};

class PropertyStore : public ::testing::Test {
 protected:
  PropertyStore() {
    FakeFetch::paths.clear();
    FakeFetch::answer = testing::kSampleMember;
    FakeFetch::throws = false;
    FakeFetch::entered = FakeFetch::proceed = nullptr;
    handler_.reset(make_com_object<PropertyHandler>(&FakeFetch::fetch)->identity());
    initialize_ = query<IInitializeWithFile>(handler_.get(), kIidInitializeWithFile);
    store_ = query<IPropertyStore>(handler_.get(), kIidPropertyStore);
  }

  HRESULT initialize(const wchar_t* path, DWORD mode = STGM_READ) {
    return initialize_->Initialize(path, mode);
  }

  DWORD count() {
    DWORD count = 12345;
    EXPECT_EQ(store_->GetCount(&count), S_OK);
    return count;
  }

  std::vector<PropertyKey> keys() {
    std::vector<PropertyKey> keys;
    for (DWORD i = 0; i < count(); ++i) {
      PROPERTYKEY key{};
      EXPECT_EQ(store_->GetAt(i, &key), S_OK);
      keys.push_back({std::bit_cast<Guid>(key.fmtid), key.pid});
    }
    return keys;
  }

  // The value's type and, for VT_BSTR and VT_UI4, its value as text.
  std::pair<VARTYPE, std::wstring> value(const PropertyKey& key) {
    const PROPERTYKEY wanted{std::bit_cast<GUID>(key.format_id), key.property_id};
    PROPVARIANT value;
    std::memset(&value, 0xCD, sizeof value);
    EXPECT_EQ(store_->GetValue(wanted, &value), S_OK);
    std::pair<VARTYPE, std::wstring> seen{value.vt, L""};
    if (value.vt == VT_BSTR && value.bstrVal) seen.second.assign(value.bstrVal, SysStringLen(value.bstrVal));
    if (value.vt == VT_BSTR && !value.bstrVal) seen.second = L"(null)";
    if (value.vt == VT_UI4) seen.second = std::to_wstring(value.ulVal);
    PropVariantClear(&value);
    return seen;
  }

  ComRef<IUnknown> handler_;
  ComRef<IInitializeWithFile> initialize_;
  ComRef<IPropertyStore> store_;
};

TEST_F(PropertyStore, ServesTheFetchedPropertiesInOrder) {
  ASSERT_EQ(initialize(L"Z:\\QSYS.LIB\\L.LIB\\F.FILE\\M.rpgle"), S_OK);
  EXPECT_EQ(FakeFetch::paths, std::vector<std::string>{"Z:\\QSYS.LIB\\L.LIB\\F.FILE\\M.rpgle"});
  const std::vector<PropertyKey> expected{PKEY_Ibmi_Path,       PKEY_Title,       PKEY_Ibmi_Library,
                                          PKEY_Ibmi_SourceFile, PKEY_Ibmi_Member, PKEY_Ibmi_Ccsid,
                                          PKEY_Ibmi_Description};
  EXPECT_EQ(keys(), expected);
  EXPECT_EQ(value(PKEY_Ibmi_Path),
            std::make_pair(VARTYPE{VT_BSTR}, std::wstring(L"/QSYS.LIB/L.LIB/F.FILE/M.MBR")));
  EXPECT_EQ(value(PKEY_Title), std::make_pair(VARTYPE{VT_BSTR}, std::wstring(L"Hello \u00E6")));
  EXPECT_EQ(value(PKEY_Ibmi_Description), value(PKEY_Title));
  EXPECT_EQ(value(PKEY_Ibmi_Ccsid), std::make_pair(VARTYPE{VT_UI4}, std::wstring(L"37")));
  EXPECT_EQ(value(PKEY_Ibmi_SourceType).first, VT_EMPTY) << "an empty text is not listed";
  EXPECT_EQ(value(PKEY_Ibmi_RecordLength).first, VT_EMPTY);
}

TEST_F(PropertyStore, AnEmptyPathIsANullString) {
  FakeFetch::answer = MetadataResult{"/result", {.path = ""}};
  ASSERT_EQ(initialize(L"Z:\\a.rpgle"), S_OK);
  EXPECT_EQ(value(PKEY_Ibmi_Path), std::make_pair(VARTYPE{VT_BSTR}, std::wstring(L"(null)")));
}

TEST_F(PropertyStore, NoMetadataIsAnEmptyListNotAnError) {
  FakeFetch::answer.reset();
  EXPECT_EQ(initialize(L"Z:\\a.rpgle"), S_OK);
  EXPECT_EQ(count(), 0u);
  EXPECT_EQ(value(PKEY_Ibmi_Path).first, VT_EMPTY);
  EXPECT_EQ(initialize(L"Z:\\a.rpgle"), kAlreadyInitialized);
}

TEST_F(PropertyStore, InitializesOnce) {
  ASSERT_EQ(initialize(L"Z:\\a.rpgle"), S_OK);
  EXPECT_EQ(initialize(L"Z:\\b.rpgle"), kAlreadyInitialized);
  EXPECT_EQ(initialize(nullptr), kAlreadyInitialized);
  EXPECT_EQ(FakeFetch::paths.size(), 1u);
}

TEST_F(PropertyStore, RefusesReadWriteAccessAndBadPathsWithoutFetching) {
  EXPECT_EQ(initialize(L"Z:\\a.rpgle", STGM_READWRITE), STG_E_ACCESSDENIED);
  EXPECT_EQ(initialize(L"Z:\\a.rpgle", STGM_READWRITE | STGM_SHARE_EXCLUSIVE), STG_E_ACCESSDENIED);
  EXPECT_EQ(initialize(nullptr), E_POINTER);
  const wchar_t lone_surrogate[] = {L'Z', L':', L'\\', 0xD800, L'.', L'c', L'l', 0};
  EXPECT_EQ(initialize(lone_surrogate), kNoUnicodeTranslation);
  EXPECT_TRUE(FakeFetch::paths.empty());
  EXPECT_EQ(count(), 0u) << "still fresh";
  EXPECT_EQ(initialize(L"Z:\\\u00E6.rpgle", 3), S_OK) << "STGM_WRITE and 3 are not read-write";
  EXPECT_EQ(FakeFetch::paths, std::vector<std::string>{"Z:\\\xC3\xA6.rpgle"});
}

TEST_F(PropertyStore, AFreshStoreHasNothing) {
  EXPECT_EQ(count(), 0u);
  PROPERTYKEY key{};
  EXPECT_EQ(store_->GetAt(0, &key), E_INVALIDARG);
  EXPECT_EQ(value(PKEY_Ibmi_Path).first, VT_EMPTY);
  EXPECT_EQ(initialize(L"Z:\\a.rpgle", STGM_WRITE), S_OK);
}

TEST_F(PropertyStore, GetAtAndGetValueCheckTheirArguments) {
  ASSERT_EQ(initialize(L"Z:\\a.rpgle"), S_OK);
  PROPERTYKEY key{};
  EXPECT_EQ(store_->GetAt(count(), &key), E_INVALIDARG);
  EXPECT_EQ(store_->GetAt(0xFFFFFFFF, &key), E_INVALIDARG);
  EXPECT_EQ(store_->GetAt(0, nullptr), E_POINTER);
  EXPECT_EQ(store_->GetCount(nullptr), E_POINTER);
  const PROPERTYKEY path{std::bit_cast<GUID>(FMTID_Ibmi), 2};
  EXPECT_EQ(store_->GetValue(path, nullptr), E_POINTER);
  using GetValueFunction = HRESULT(STDMETHODCALLTYPE*)(IPropertyStore*, const PROPERTYKEY*, PROPVARIANT*);
  const auto get_value = (*reinterpret_cast<GetValueFunction**>(store_.get()))[5];
  PROPVARIANT out{};
  EXPECT_EQ(get_value(store_.get(), nullptr, &out), E_POINTER);
}

TEST_F(PropertyStore, IsReadOnly) {
  const PROPERTYKEY path{std::bit_cast<GUID>(FMTID_Ibmi), 2};
  PROPVARIANT text{};
  const auto capabilities = query<IPropertyStoreCapabilities>(handler_.get(), kIidPropertyStoreCapabilities);
  for (int initialized = 0; initialized < 2; ++initialized) {
    EXPECT_EQ(store_->SetValue(path, text), STG_E_ACCESSDENIED);
    EXPECT_EQ(store_->Commit(), STG_E_ACCESSDENIED);
    EXPECT_EQ(capabilities->IsPropertyWritable(path), S_FALSE);
    ASSERT_EQ(initialize(L"Z:\\a.rpgle"), initialized ? kAlreadyInitialized : S_OK);
  }
  using WritableFunction = HRESULT(STDMETHODCALLTYPE*)(IPropertyStoreCapabilities*, const PROPERTYKEY*);
  const auto is_writable = (*reinterpret_cast<WritableFunction**>(capabilities.get()))[3];
  EXPECT_EQ(is_writable(capabilities.get(), nullptr), S_FALSE);
}

TEST_F(PropertyStore, AFetchThatFailsPoisonsTheStore) {
  FakeFetch::throws = true;
  EXPECT_EQ(initialize(L"Z:\\a.rpgle"), E_UNEXPECTED);
  DWORD count = 0;
  PROPERTYKEY key{};
  PROPVARIANT value{};
  EXPECT_EQ(store_->GetCount(&count), E_INVALIDARG);
  EXPECT_EQ(store_->GetAt(0, &key), E_INVALIDARG);
  EXPECT_EQ(store_->GetValue(PROPERTYKEY{std::bit_cast<GUID>(FMTID_Ibmi), 2}, &value), E_INVALIDARG);
  FakeFetch::throws = false;
  EXPECT_EQ(initialize(L"Z:\\a.rpgle"), E_INVALIDARG);
  EXPECT_EQ(store_->Commit(), STG_E_ACCESSDENIED);
}

TEST_F(PropertyStore, ReadersWaitForInitializeToFinish) {
  FakeFetch::entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  FakeFetch::proceed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread initializing([this] { EXPECT_EQ(initialize(L"Z:\\a.rpgle"), S_OK); });
  ASSERT_EQ(WaitForSingleObject(FakeFetch::entered, 10000), WAIT_OBJECT_0);
  std::atomic<DWORD> counted = 12345;
  std::thread reading([this, &counted] { counted = count(); });
  SetEvent(FakeFetch::proceed);
  reading.join();
  initializing.join();
  EXPECT_EQ(counted.load(), 7u) << "GetCount waited for the list";
  CloseHandle(FakeFetch::entered);
  CloseHandle(FakeFetch::proceed);
}

// Fails the test thread's next nothrow allocation, as when memory has run out.
thread_local bool fail_next_nothrow_allocation = false;

TEST(PropertyHandlerFactory, AnObjectThatCannotBeAllocatedIsReported) {
  const ComRef<IUnknown> identity(make_com_object<PropertyHandlerFactory>(&FakeFetch::fetch)->identity());
  const auto factory = query<IClassFactory>(identity.get(), kIidClassFactory);
  const auto objects = OBJECT_COUNT.load();
  void* out = reinterpret_cast<void*>(0x1234);
  fail_next_nothrow_allocation = true;
  EXPECT_EQ(factory->CreateInstance(nullptr, kIidPropertyStore, &out), E_OUTOFMEMORY);
  EXPECT_FALSE(fail_next_nothrow_allocation);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(OBJECT_COUNT.load(), objects);
}

TEST(PropertyHandlerLibrary, AFileOutsideAnyMountHasNoProperties) {
  for (const wchar_t* path : {L"C:\\windows\\notes.txt", L"C:\\windows\\nowhere.rpgle"}) {
    const auto handler = testing::create_property_handler();
    const auto initialize = query<IInitializeWithFile>(handler.get(), kIidInitializeWithFile);
    const auto store = query<IPropertyStore>(handler.get(), kIidPropertyStore);
    EXPECT_EQ(initialize->Initialize(path, STGM_READ), S_OK);
    DWORD count = 5;
    EXPECT_EQ(store->GetCount(&count), S_OK);
    EXPECT_EQ(count, 0u);
  }
}

}  // namespace
}  // namespace tarvik

// The default nothrow form allocates with malloc too, so the default delete frees what this gives.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (std::exchange(tarvik::fail_next_nothrow_allocation, false)) return nullptr;
  return std::malloc(size == 0 ? 1 : size);
}
