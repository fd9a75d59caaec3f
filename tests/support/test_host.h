// The test host: the host side of every interface the module exchanges, in C++, plus a loader
// that opens the built liblevrano.so and calls LoadModule exactly as a real host does.
//
// Typical operator-side test:
//
//     LoadedModule library;                    // first, so that it is unloaded last
//     TestOperatorApplication app;
//     app.AddTank(/*id*/ 7, /*number*/ 1);
//     app.SetPort(1, &port);                   // any ICPort; the test keeps it alive
//     TempConfigFile config(R"(<boot><port number="1"/></boot>)");
//     IntfPtr<IInterface> module = library.LoadOrFail(config.Path(), &app);
//     app.FireStart();  ...  app.FireStop();
//     module.Reset();
//     app.ReleaseModuleObjects();              // what a host does before unloading
//     EXPECT_EQ(0, app.HeldReferences());      // every reference handed over came back
//
// Every host object counts the references that others hold on it (Refs) and never deletes itself:
// it lives as long as the test keeps it, so a count can be checked after the module is gone. A
// count below 0 means the module released more than it was given. Host objects record the
// identifiers they were asked for (Queries) and every call of an operation that the module is
// not expected to call (UnexpectedCalls): a slot mix-up shows there.
//
// Release every module object (module references, ReleaseModuleObjects) before the LoadedModule
// goes: their code lives in the library.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "common/intf_ptr.h"
#include "host/OperatorIntf.h"
#include "host/configIntf.h"
#include "host/cportIntf.h"
#include "host/module.h"

namespace levrano::test {

// ---- Calling by slot position, as a host built against the positions does ----------------------

// Position of a virtual operation in its interface, counted from 1 after the three operations of
// IInterface (a derived interface continues its parent's count); -1 for a non-virtual one.
template <typename I, typename R, typename... A>
int SlotOf(R (I::*operation)(A...)) {
    static_assert(sizeof(operation) == 2 * sizeof(std::ptrdiff_t), "Itanium C++ ABI member pointers expected");
    std::ptrdiff_t words[2];
    std::memcpy(words, &operation, sizeof words);
    if ((words[0] & 1) == 0) return -1;  // a virtual member pointer holds 1 + its vtable offset
    return static_cast<int>((words[0] - 1) / static_cast<std::ptrdiff_t>(sizeof(void*))) - 2;
}

// Calls operation `position` (counted as SlotOf does) of `object` through its vtable, with the
// argument and result types a host would use for it. `object` must be the interface pointer
// whose vtable is wanted (the one a query or a result gave).
template <typename R, typename... A>
R CallSlot(void* object, int position, A... args) {
    using Operation = R (*)(void*, A...);
    void** vtable = *static_cast<void***>(object);
    return reinterpret_cast<Operation>(vtable[position + 2])(object, args...);
}

// ---- Host objects -------------------------------------------------------------------------------

class HostObjectBase {
public:
    // References that others hold on the object; the test's own use takes none.
    std::int32_t Refs() const { return refs_.load(); }
    // Every identifier this object was asked for, in order.
    std::vector<GUID> Queries() const;
    bool WasAskedFor(const GUID& iid) const;
    // Operations the module called although it never should (named "Interface.position").
    std::vector<std::string> UnexpectedCalls() const;

protected:
    HostObjectBase() = default;
    ~HostObjectBase() = default;
    void RecordQuery(const GUID& iid);
    void Unexpected(std::string operation);

    std::atomic<std::int32_t> refs_{0};

private:
    mutable std::mutex mutex_;
    std::vector<GUID> queries_;
    std::vector<std::string> unexpected_;
};

// A host object answering IInterface and each listed interface; counts references, never deletes.
template <typename First, typename... Rest>
class HostObject : public HostObjectBase, public First, public Rest... {
public:
    HostObject(const HostObject&) = delete;
    HostObject& operator=(const HostObject&) = delete;

    HResult QueryInterface(const GUID& iid, void** obj) override {
        RecordQuery(iid);
        if (!obj) return kNoInterface;
        *obj = Find<First, Rest...>(iid);
        if (!*obj) return kNoInterface;
        AddRef();
        return kOk;
    }
    std::int32_t AddRef() override { return ++refs_; }
    std::int32_t Release() override { return --refs_; }

    // The object as its first interface's IInterface (what a host passes as itself).
    IInterface* AsInterface() { return static_cast<First*>(this); }

protected:
    HostObject() = default;
    ~HostObject() = default;

private:
    template <typename I, typename... More>
    void* Find(const GUID& iid) {
        if (iid == IID_IInterface) return AsInterface();
        // Interfaces without an identifier (the observer, the entry, the database) are reached
        // only as passed.
        if constexpr (!std::is_same_v<I, IInterface> && requires { InterfaceId<I>::value; })
            if (iid == InterfaceId<I>::value) return static_cast<I*>(this);
        if constexpr (sizeof...(More) > 0)
            return Find<More...>(iid);
        else
            return nullptr;
    }
};

// ---- Operator host ------------------------------------------------------------------------------

// One tank: an identifier, a number and a calibration (level to volume).
class TestTank : public HostObject<ITank> {
public:
    using Calibration = std::function<double(double level)>;
    // The default calibration is 10 volume units per level unit.
    TestTank(std::int32_t id, std::int32_t number, Calibration calibration = {});

    std::int32_t Id() const { return id_; }
    std::int32_t Number() const { return number_; }
    std::int32_t LevelToVolumeCalls() const { return levelToVolumeCalls_.load(); }

    std::int32_t GetTankId() override { return id_; }
    std::int32_t GetNumber() override { return number_; }
    double LevelToVolume(double level) override;
    void EnumItemReserved1() override { Unexpected("ITank.1"); }
    void EnumItemReserved2() override { Unexpected("ITank.2"); }
    void TankReserved5() override { Unexpected("ITank.5"); }
    void TankReserved6() override { Unexpected("ITank.6"); }
    void TankReserved7() override { Unexpected("ITank.7"); }
    void TankReserved8() override { Unexpected("ITank.8"); }
    void TankReserved9() override { Unexpected("ITank.9"); }
    void TankReserved10() override { Unexpected("ITank.10"); }
    void TankReserved11() override { Unexpected("ITank.11"); }
    void TankReserved12() override { Unexpected("ITank.12"); }
    void TankReserved13() override { Unexpected("ITank.13"); }
    void TankReserved14() override { Unexpected("ITank.14"); }
    void TankReserved15() override { Unexpected("ITank.15"); }
    void TankReserved16() override { Unexpected("ITank.16"); }
    void TankReserved17() override { Unexpected("ITank.17"); }
    void TankReserved18() override { Unexpected("ITank.18"); }
    void TankReserved20() override { Unexpected("ITank.20"); }

private:
    const std::int32_t id_;
    const std::int32_t number_;
    const Calibration calibration_;
    std::atomic<std::int32_t> levelToVolumeCalls_{0};
};

// The station's tank list as GetTanks hands it out.
class TestTanks : public HostObject<ITanks> {
public:
    explicit TestTanks(const std::vector<std::unique_ptr<TestTank>>& tanks) : tanks_(tanks) {}

    std::int32_t GetCount() override { return static_cast<std::int32_t>(tanks_.size()); }
    IInterface* GetItem(std::int32_t index) override;  // none outside the list
    void EnumReserved2() override { Unexpected("ITanks.2"); }
    void EnumReserved3() override { Unexpected("ITanks.3"); }
    void TanksReserved5() override { Unexpected("ITanks.5"); }
    void TanksReserved6() override { Unexpected("ITanks.6"); }
    void TanksReserved7() override { Unexpected("ITanks.7"); }
    void TanksReserved8() override { Unexpected("ITanks.8"); }
    void TanksReserved9() override { Unexpected("ITanks.9"); }
    void TanksReserved10() override { Unexpected("ITanks.10"); }

private:
    const std::vector<std::unique_ptr<TestTank>>& tanks_;
};

// A notice entry made by CreateEntry; Submit adds its text to the application's notices.
class TestEntry : public HostObject<IEntry> {
public:
    TestEntry(std::string text, std::vector<std::string>& notices) : text_(std::move(text)), notices_(notices) {}

    const std::string& Text() const { return text_; }
    std::int32_t Submits() const { return submits_; }

    void Submit() override;
    void EntryReserved1() override { Unexpected("IEntry.1"); }
    void EntryReserved2() override { Unexpected("IEntry.2"); }
    void EntryReserved3() override { Unexpected("IEntry.3"); }
    void EntryReserved4() override { Unexpected("IEntry.4"); }

private:
    const std::string text_;
    std::vector<std::string>& notices_;
    std::int32_t submits_ = 0;
};

// The provider of one serial port: GetPort hands out the wrapped port with a new reference. It
// takes no reference of its own, so the port's count shows only the module's references.
class TestPortProvider : public HostObject<ICPortProvider> {
public:
    explicit TestPortProvider(ICPort* port) : port_(port) {}
    ICPort* GetPort() override;

private:
    ICPort* const port_;
};

// A gauge service handed to the host by RegisterService. The host keeps the service's reference.
struct Registration {
    IntfPtr<IInterface> Service;
    ITank* Tank;          // as passed
    TestTank* HostTank;   // the host's tank it designates, or none when it is not one of ours
    GUID Iid;
};

// A GetService call.
struct ServiceRequest {
    std::int32_t Owner;
    GUID Iid;
    std::int32_t Number;
};

// The operator workstation's application object.
class TestOperatorApplication : public HostObject<IOperatorApplication> {
public:
    TestOperatorApplication();
    ~TestOperatorApplication();  // releases the module objects still held (ReleaseModuleObjects)

    // Setting the host up.
    TestTank& AddTank(std::int32_t id, std::int32_t number, TestTank::Calibration calibration = {});
    // GetService(0, ICPortProvider, number) then answers a provider of `port` (the test keeps
    // `port` alive); for any other request GetService answers none.
    void SetPort(std::int32_t number, ICPort* port);

    // What the module did.
    const std::vector<std::unique_ptr<TestTank>>& Tanks() const { return tanks_; }
    TestTanks& TankList() { return tankList_; }
    const std::vector<std::string>& Notices() const { return notices_; }  // submitted entry texts
    const std::vector<std::unique_ptr<TestEntry>>& Entries() const { return entries_; }
    const std::vector<Registration>& Registrations() const { return registrations_; }
    const std::vector<ServiceRequest>& ServiceRequests() const { return serviceRequests_; }
    const std::vector<IntfPtr<IApplicationListener>>& Listeners() const { return listeners_; }
    std::int32_t GetTanksCalls() const { return getTanksCalls_; }

    // Host events: each registered application listener in turn, the application as sender.
    void FireStart();
    void FireStop();

    // Drops the host's references to what the module handed over (gauges, listeners), as a host
    // does before it unloads the library.
    void ReleaseModuleObjects();
    // Drops the host's reference to the n-th registered service only; its entry stays, empty.
    void ReleaseRegistration(std::size_t n);

    // References still held on this application and everything it handed out (tank list,
    // tanks, entries, port providers): 0 once the module has given everything back.
    std::int32_t HeldReferences() const;
    // Unexpected calls on this application and everything it handed out.
    std::vector<std::string> AllUnexpectedCalls() const;

    IEntry* CreateEntry(const char* text) override;
    ITanks* GetTanks() override;
    void RegisterService(IInterface* service, ITank* tank, GUID iid) override;
    IInterface* GetService(std::int32_t owner, GUID iid, std::int32_t number) override;
    void AddListener(IApplicationListener* listener) override;
    void AppReserved1() override { Unexpected("IOperatorApplication.1"); }
    void AppReserved2() override { Unexpected("IOperatorApplication.2"); }
    void AppReserved4() override { Unexpected("IOperatorApplication.4"); }
    void AppReserved5() override { Unexpected("IOperatorApplication.5"); }
    void AppReserved6() override { Unexpected("IOperatorApplication.6"); }
    void AppReserved8() override { Unexpected("IOperatorApplication.8"); }
    void AppReserved9() override { Unexpected("IOperatorApplication.9"); }
    void AppReserved10() override { Unexpected("IOperatorApplication.10"); }
    void AppReserved11() override { Unexpected("IOperatorApplication.11"); }

private:
    struct PortEntry {
        std::int32_t Number;
        std::unique_ptr<TestPortProvider> Provider;
    };

    std::vector<std::unique_ptr<TestTank>> tanks_;
    TestTanks tankList_{tanks_};
    std::vector<std::string> notices_;
    std::vector<std::unique_ptr<TestEntry>> entries_;
    std::vector<PortEntry> ports_;
    std::vector<Registration> registrations_;
    std::vector<ServiceRequest> serviceRequests_;
    std::vector<IntfPtr<IApplicationListener>> listeners_;
    std::int32_t getTanksCalls_ = 0;
};

// A gauge listener of the host: records every StateChanged in order.
class TestGaugeListener : public HostObject<ITankGaugeListener> {
public:
    // Runs inside StateChanged after the call is recorded (to read the state, remove itself, ...).
    std::function<void(IInterface* gauge)> OnStateChanged;

    const std::vector<IInterface*>& Calls() const { return calls_; }  // the gauges, as passed
    void StateChanged(IInterface* gauge) override;

private:
    std::vector<IInterface*> calls_;
};

// ---- Load observer ------------------------------------------------------------------------------

struct ObserverCall {
    std::string Operation;  // "BeginLoad", "EndLoad" or "LoadFailed"
    std::string Text;       // LoadFailed's text (Windows-1251), empty otherwise

    friend bool operator==(const ObserverCall&, const ObserverCall&) = default;
    friend void PrintTo(const ObserverCall& call, std::ostream* out);  // text shown in UTF-8
};

class TestLoadObserver : public HostObject<ILoadObserver> {
public:
    const std::vector<ObserverCall>& Calls() const { return calls_; }

    void BeginLoad() override { calls_.push_back({"BeginLoad", {}}); }
    void EndLoad() override { calls_.push_back({"EndLoad", {}}); }
    void LoadFailed(const char* text) override { calls_.push_back({"LoadFailed", text ? text : "(null)"}); }
    void ObserverReserved1() override { Unexpected("ILoadObserver.1"); }
    void ObserverReserved2() override { Unexpected("ILoadObserver.2"); }
    void ObserverReserved5() override { Unexpected("ILoadObserver.5"); }
    void ObserverReserved6() override { Unexpected("ILoadObserver.6"); }
    void ObserverReserved7() override { Unexpected("ILoadObserver.7"); }

private:
    std::vector<ObserverCall> calls_;
};

// ---- Configurator host --------------------------------------------------------------------------

// The configurator's database attachment: GetHandle answers the configured handle.
class TestHostDatabase : public HostObject<IHostDatabase> {
public:
    std::uint32_t Handle = 0;
    std::int32_t GetHandleCalls() const { return getHandleCalls_; }

    std::uint32_t GetHandle() override;
    void DatabaseReserved1() override { Unexpected("IHostDatabase.1"); }

private:
    std::int32_t getHandleCalls_ = 0;
};

class TestConfigApplication : public HostObject<IConfigApplication> {
public:
    explicit TestConfigApplication(std::uint32_t handle = 0) { database_.Handle = handle; }

    // False: GetDatabase answers none, as a host without a station database would.
    bool HandsOutDatabase = true;

    TestHostDatabase& Database() { return database_; }
    std::int32_t GetDatabaseCalls() const { return getDatabaseCalls_; }
    // References still held on this application and its database object.
    std::int32_t HeldReferences() const { return Refs() + database_.Refs(); }

    IHostDatabase* GetDatabase() override;
    void ConfigAppReserved1() override { Unexpected("IConfigApplication.1"); }

private:
    TestHostDatabase database_;
    std::int32_t getDatabaseCalls_ = 0;
};

// ---- Host application objects of any kind -------------------------------------------------------

// An application object that supports what it is given: nothing (a host that is neither kind),
// the operator application, the configurator application, or both. Queries for those interfaces
// are answered by the given objects, whose counts then hold the references.
class TestHost : public HostObject<IInterface> {
public:
    explicit TestHost(TestOperatorApplication* operatorApp = nullptr, TestConfigApplication* configApp = nullptr)
        : operator_(operatorApp), config_(configApp) {}

    HResult QueryInterface(const GUID& iid, void** obj) override;

private:
    TestOperatorApplication* const operator_;
    TestConfigApplication* const config_;
};

// ---- Loading the module -------------------------------------------------------------------------

// liblevrano.so opened with dlopen and its LoadModule found with dlsym, as a host does. Failing
// to load is a test failure. Closed (dlclose) on destruction; the module itself stays mapped
// until the process exits, and its detach runs then.
class LoadedModule {
public:
    explicit LoadedModule(const std::string& file = LEVRANO_MODULE_PATH);
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    bool IsLoaded() const { return entry_ != nullptr; }
    // The exported function itself, for calls that Load does not make (none arguments, ...).
    LoadModuleFn Entry() const { return entry_; }

    // Calls LoadModule(&module, path, host, observer) and hands back the module's reference
    // (empty when none was returned). A module out parameter left uncleared is a test failure.
    IntfPtr<IInterface> Load(const std::string& configPath, IInterface* host, ILoadObserver* observer) const;
    // As Load with an observer of its own; anything but BeginLoad then EndLoad is a test failure.
    IntfPtr<IInterface> LoadOrFail(const std::string& configPath, IInterface* host) const;

private:
    void* handle_ = nullptr;
    LoadModuleFn entry_ = nullptr;
};

// A configuration file in a fresh temporary folder; the folder goes with the object.
class TempConfigFile {
public:
    explicit TempConfigFile(std::string_view content);
    ~TempConfigFile();
    TempConfigFile(const TempConfigFile&) = delete;
    TempConfigFile& operator=(const TempConfigFile&) = delete;

    const std::string& Path() const { return path_; }
    const std::string& Folder() const { return folder_; }  // with a trailing "/"

private:
    std::string folder_;
    std::string path_;
};

}  // namespace levrano::test
