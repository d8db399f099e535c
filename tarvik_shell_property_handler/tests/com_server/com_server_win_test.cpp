// The library's exports, class factory and COM identity, through the built DLL.
#include <objbase.h>

#include <inspectable.h>
#include <propsys.h>

#include <gtest/gtest.h>

#include <thread>

#include "com_server/com_ids_win.hpp"
#include "com_server/weak_reference_win.hpp"
#include "com_test_support_win.hpp"

namespace tarvik {
namespace {

using testing::ComRef;
using testing::create_property_handler;
using testing::HandlerLibrary;
using testing::query;

void* const kUntouched = reinterpret_cast<void*>(0x1234);

HRESULT get_class_object(const CLSID* clsid, const IID* iid, void** ppv) {
  return HandlerLibrary::get().get_class_object(clsid, iid, ppv);
}

bool can_unload() {
  return HandlerLibrary::get().can_unload_now() == S_OK;
}

ComRef<IClassFactory> class_factory() {
  void* factory = nullptr;
  EXPECT_EQ(get_class_object(&CLSID_IbmiPropertyHandler, &kIidClassFactory, &factory), S_OK);
  return ComRef<IClassFactory>(static_cast<IClassFactory*>(factory));
}

// QueryInterface as a C caller may call it, with a null IID.
HRESULT query_with_null_iid(IUnknown* object, void** ppv) {
  using QueryFunction = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, const IID*, void**);
  const auto query_function = (*reinterpret_cast<QueryFunction**>(object))[0];
  return query_function(object, nullptr, ppv);
}

class ComServer : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(can_unload()) << "an earlier test left an object alive"; }
  void TearDown() override { EXPECT_TRUE(can_unload()) << "the test left an object alive"; }
};

TEST_F(ComServer, GetClassObjectChecksItsArguments) {
  void* out = kUntouched;
  EXPECT_EQ(get_class_object(nullptr, &kIidClassFactory, &out), E_POINTER);
  EXPECT_EQ(get_class_object(&CLSID_IbmiPropertyHandler, nullptr, &out), E_POINTER);
  EXPECT_EQ(out, kUntouched);
  EXPECT_EQ(get_class_object(&CLSID_IbmiPropertyHandler, &kIidClassFactory, nullptr), E_POINTER);
}

TEST_F(ComServer, GetClassObjectServesOnlyItsClass) {
  for (std::size_t byte = 0; byte < sizeof(CLSID); ++byte) {
    CLSID other = CLSID_IbmiPropertyHandler;
    reinterpret_cast<unsigned char*>(&other)[byte] ^= 0x01;
    void* out = kUntouched;
    EXPECT_EQ(get_class_object(&other, &kIidClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE) << byte;
    EXPECT_EQ(out, nullptr);
  }
}

TEST_F(ComServer, GetClassObjectAnswersAnyInterfaceOfTheFactory) {
  void* identity = nullptr;
  ASSERT_EQ(get_class_object(&CLSID_IbmiPropertyHandler, &kIidUnknown, &identity), S_OK);
  ComRef<IUnknown> factory(static_cast<IUnknown*>(identity));
  EXPECT_FALSE(can_unload());
  const auto class_factory = query<IClassFactory>(factory.get(), kIidClassFactory);
  EXPECT_NE(static_cast<void*>(class_factory.get()), identity);
  EXPECT_EQ(query<IUnknown>(class_factory.get(), kIidUnknown).get(), identity);
  EXPECT_EQ(query<IUnknown>(factory.get(), kIidInspectable).get(), identity);

  void* out = kUntouched;
  EXPECT_EQ(get_class_object(&CLSID_IbmiPropertyHandler, &kIidInitializeWithFile, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
}

TEST_F(ComServer, LiveObjectsAndServerLocksKeepTheLibraryLoaded) {
  auto factory = class_factory();
  EXPECT_FALSE(can_unload());
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  factory.reset();
  EXPECT_FALSE(can_unload()) << "locked";
  void* out = nullptr;
  ASSERT_EQ(get_class_object(&CLSID_IbmiPropertyHandler, &kIidClassFactory, &out), S_OK);
  factory.reset(static_cast<IClassFactory*>(out));
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK) << "one unlock too many";
  auto handler = create_property_handler();
  factory.reset();
  EXPECT_FALSE(can_unload()) << "a property store is alive";
  handler.reset();
  EXPECT_TRUE(can_unload());

  factory = class_factory();
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  factory.reset();
  EXPECT_TRUE(can_unload()) << "the extra unlock left the count at 0";
}

TEST_F(ComServer, CreateInstanceChecksItsArguments) {
  const auto factory = class_factory();
  const auto outer = create_property_handler();
  void* out = kUntouched;
  EXPECT_EQ(factory->CreateInstance(outer.get(), kIidPropertyStore, &out), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(out, kUntouched);
  EXPECT_EQ(factory->CreateInstance(outer.get(), kIidPropertyStore, nullptr), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(factory->CreateInstance(nullptr, kIidPropertyStore, nullptr), E_POINTER);

  using CreateFunction = HRESULT(STDMETHODCALLTYPE*)(IClassFactory*, IUnknown*, const IID*, void**);
  const auto create = (*reinterpret_cast<CreateFunction**>(factory.get()))[3];
  EXPECT_EQ(create(factory.get(), outer.get(), nullptr, nullptr), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(create(factory.get(), nullptr, nullptr, &out), E_POINTER);
}

TEST_F(ComServer, CreateInstanceFreesAnObjectThatLacksTheInterface) {
  auto factory = class_factory();
  void* out = kUntouched;
  EXPECT_EQ(factory->CreateInstance(nullptr, kIidClassFactory, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  factory.reset();
  EXPECT_TRUE(can_unload()) << "the new object was freed";
}

TEST_F(ComServer, PropertyStoreIdentity) {
  const auto handler = create_property_handler();
  const auto unknown = query<IUnknown>(handler.get(), kIidUnknown);
  const auto inspectable = query<IUnknown>(handler.get(), kIidInspectable);
  const auto agile = query<IUnknown>(handler.get(), kIidAgileObject);
  EXPECT_EQ(unknown.get(), handler.get());
  EXPECT_EQ(inspectable.get(), handler.get());
  EXPECT_EQ(agile.get(), handler.get());

  const auto initialize = query<IInitializeWithFile>(handler.get(), kIidInitializeWithFile);
  const auto store = query<IPropertyStore>(handler.get(), kIidPropertyStore);
  const auto capabilities = query<IPropertyStoreCapabilities>(handler.get(), kIidPropertyStoreCapabilities);
  EXPECT_NE(static_cast<void*>(initialize.get()), static_cast<void*>(store.get()));
  EXPECT_NE(static_cast<void*>(store.get()), static_cast<void*>(capabilities.get()));
  for (IUnknown* face : std::initializer_list<IUnknown*>{initialize.get(), store.get(), capabilities.get()}) {
    EXPECT_EQ(query<IUnknown>(face, kIidUnknown).get(), handler.get());
    EXPECT_EQ(query<IPropertyStore>(face, kIidPropertyStore).get(), store.get());
  }

  void* out = kUntouched;
  EXPECT_EQ(handler->QueryInterface(kIidClassFactory, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(handler->QueryInterface(kIidPropertyStore, nullptr), E_POINTER);
  out = kUntouched;
  EXPECT_EQ(query_with_null_iid(store.get(), &out), E_POINTER);
  EXPECT_EQ(out, kUntouched);
}

TEST_F(ComServer, AddRefAndReleaseReportTheCount) {
  auto handler = create_property_handler();
  EXPECT_EQ(handler->AddRef(), 2u);
  EXPECT_EQ(handler->AddRef(), 3u);
  EXPECT_EQ(handler->Release(), 2u);
  EXPECT_EQ(handler->Release(), 1u);
  EXPECT_EQ(handler.release()->Release(), 0u);
}

TEST_F(ComServer, InspectableAnswersNothingToShow) {
  ComRef<IUnknown> objects[] = {create_property_handler(), ComRef<IUnknown>(class_factory().release())};
  for (const auto& object : objects) {
    const auto inspectable = query<IInspectable>(object.get(), kIidInspectable);
    ULONG count = 5;
    IID* iids = reinterpret_cast<IID*>(kUntouched);
    EXPECT_EQ(inspectable->GetIids(&count, &iids), S_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(iids, nullptr);
    EXPECT_EQ(inspectable->GetIids(nullptr, &iids), E_POINTER);
    EXPECT_EQ(inspectable->GetIids(&count, nullptr), E_POINTER);
    HSTRING name = reinterpret_cast<HSTRING>(kUntouched);
    EXPECT_EQ(inspectable->GetRuntimeClassName(&name), S_OK);
    EXPECT_EQ(name, nullptr);
    EXPECT_EQ(inspectable->GetRuntimeClassName(nullptr), E_POINTER);
    TrustLevel level = FullTrust;
    EXPECT_EQ(inspectable->GetTrustLevel(&level), S_OK);
    EXPECT_EQ(level, BaseTrust);
    EXPECT_EQ(inspectable->GetTrustLevel(nullptr), E_POINTER);
  }
}

TEST_F(ComServer, MarshalsThroughTheFreeThreadedMarshaler) {
  const auto handler = create_property_handler();
  const auto marshal = query<IMarshal>(handler.get(), kIidMarshal);
  EXPECT_EQ(query<IMarshal>(marshal.get(), kIidMarshal).get(), marshal.get());
  EXPECT_EQ(query<IUnknown>(marshal.get(), kIidUnknown).get(), handler.get());
  const auto store = query<IPropertyStore>(handler.get(), kIidPropertyStore);
  EXPECT_EQ(query<IPropertyStore>(marshal.get(), kIidPropertyStore).get(), store.get());
  EXPECT_EQ(marshal->QueryInterface(kIidMarshal, nullptr), E_POINTER);

  constexpr CLSID kInProcFreeMarshaler{0x0000033A, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  CLSID unmarshal_class{};
  EXPECT_EQ(marshal->GetUnmarshalClass(kIidPropertyStore, store.get(), MSHCTX_INPROC, nullptr,
                                       MSHLFLAGS_NORMAL, &unmarshal_class),
            S_OK);
  EXPECT_EQ(unmarshal_class, kInProcFreeMarshaler);
}

TEST_F(ComServer, IsUsedDirectlyFromAnotherApartment) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
  {
    const auto handler = create_property_handler();
    const auto store = query<IPropertyStore>(handler.get(), kIidPropertyStore);
    IStream* stream = nullptr;
    ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(kIidPropertyStore, store.get(), &stream), S_OK);
    void* unmarshalled = nullptr;
    std::thread other_apartment([&] {
      if (SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        EXPECT_EQ(CoGetInterfaceAndReleaseStream(stream, kIidPropertyStore, &unmarshalled), S_OK);
        CoUninitialize();
      }
    });
    other_apartment.join();
    EXPECT_EQ(unmarshalled, store.get()) << "the object itself, not a proxy";
    if (unmarshalled) static_cast<IUnknown*>(unmarshalled)->Release();
  }
  CoUninitialize();
}

TEST_F(ComServer, WeakReferencesResolveWhileTheObjectLives) {
  auto handler = create_property_handler();
  auto store = query<IPropertyStore>(handler.get(), kIidPropertyStore);
  auto source = query<IWeakReferenceSource>(handler.get(), kIidWeakReferenceSource);
  EXPECT_EQ(query<IUnknown>(source.get(), kIidUnknown).get(), handler.get());
  IWeakReference* weak = nullptr;
  ASSERT_EQ(source->GetWeakReference(&weak), S_OK);
  EXPECT_EQ(query<IWeakReferenceSource>(handler.get(), kIidWeakReferenceSource).get(), source.get())
      << "one record per object";

  IInspectable* resolved = nullptr;
  ASSERT_EQ(weak->Resolve(kIidPropertyStore, &resolved), S_OK);
  EXPECT_EQ(static_cast<void*>(resolved), static_cast<void*>(store.get()));
  EXPECT_EQ(resolved->Release(), 3u) << "handler, store and source hold it";

  EXPECT_EQ(handler->AddRef(), 4u) << "the strong count moved into the record";
  EXPECT_EQ(handler->Release(), 3u);
  source.reset();
  store.reset();
  handler.reset();

  resolved = reinterpret_cast<IInspectable*>(kUntouched);
  EXPECT_EQ(weak->Resolve(kIidPropertyStore, &resolved), S_OK);
  EXPECT_EQ(resolved, nullptr) << "the object is gone";
  EXPECT_FALSE(can_unload()) << "the weak reference's code is still in use";
  EXPECT_EQ(weak->Release(), 0u);
}

TEST_F(ComServer, AWeakReferenceAnswersOnlyItsOwnInterfaces) {
  const auto handler = create_property_handler();
  const auto source = query<IWeakReferenceSource>(handler.get(), kIidWeakReferenceSource);
  IWeakReference* weak = nullptr;
  ASSERT_EQ(source->GetWeakReference(&weak), S_OK);
  ComRef<IWeakReference> owned(weak);
  EXPECT_EQ(query<IUnknown>(weak, kIidWeakReference).get(), weak);
  void* out = kUntouched;
  EXPECT_EQ(weak->QueryInterface(kIidPropertyStore, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(source->GetWeakReference(nullptr), E_POINTER);
  EXPECT_EQ(weak->Resolve(kIidPropertyStore, nullptr), E_POINTER);
}

}  // namespace
}  // namespace tarvik
