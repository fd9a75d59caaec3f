// The configurator host's side of the module's contract: the application object that hands the
// module the station's attachment, the observer of the load, and the module loaded from its
// shared library with dlopen.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "common/intf_ptr.h"
#include "host/OperatorIntf.h"
#include "host/configIntf.h"
#include "host/module.h"

namespace levrano::configurator {

// A host object reached by the module only through references: counted, never deleted by them;
// it lives as long as its owner keeps it. Answers IInterface and I.
template <typename I>
class THostObject : public I {
public:
    HResult QueryInterface(const GUID& iid, void** obj) override {
        if (!obj) return kNoInterface;
        *obj = iid == IID_IInterface || Identifies(iid) ? static_cast<I*>(this) : nullptr;
        if (!*obj) return kNoInterface;
        AddRef();
        return kOk;
    }
    std::int32_t AddRef() override { return ++refs_; }
    std::int32_t Release() override { return --refs_; }

    std::int32_t References() const { return refs_.load(); }

private:
    static bool Identifies(const GUID& iid) {
        if constexpr (requires { InterfaceId<I>::value; })
            return iid == InterfaceId<I>::value;
        else
            return false;
    }

    std::atomic<std::int32_t> refs_{0};
};

// The station's open attachment, as the module asks for it.
class THostDatabase final : public THostObject<IHostDatabase> {
public:
    explicit THostDatabase(std::uint32_t handle) : handle_(handle) {}
    void DatabaseReserved1() override {}
    std::uint32_t GetHandle() override { return handle_; }

private:
    const std::uint32_t handle_;
};

class TConfigApplication final : public THostObject<IConfigApplication> {
public:
    explicit TConfigApplication(std::uint32_t databaseHandle) : database_(databaseHandle) {}
    void ConfigAppReserved1() override {}
    IHostDatabase* GetDatabase() override;

private:
    THostDatabase database_;
};

// Keeps the message of a failed load.
class TLoadObserver final : public THostObject<ILoadObserver> {
public:
    const std::string& Failure() const { return failure_; }  // Windows-1251; empty after a good load

    void ObserverReserved1() override {}
    void ObserverReserved2() override {}
    void BeginLoad() override { failure_.clear(); }
    void EndLoad() override {}
    void ObserverReserved5() override {}
    void ObserverReserved6() override {}
    void ObserverReserved7() override {}
    void LoadFailed(const char* text) override { failure_ = text ? text : ""; }

private:
    std::string failure_;
};

// The module's shared library and its LoadModule. Throws std::runtime_error with dlerror's text.
class TModuleLibrary {
public:
    explicit TModuleLibrary(const std::string& file);
    ~TModuleLibrary();
    TModuleLibrary(const TModuleLibrary&) = delete;
    TModuleLibrary& operator=(const TModuleLibrary&) = delete;

    LoadModuleFn Entry() const { return entry_; }

private:
    void* handle_ = nullptr;
    LoadModuleFn entry_ = nullptr;
};

// The configurator module for one configuration file. Load it after the host's QApplication
// exists; the library must outlive it.
class TConfiguratorHost {
public:
    // Throws std::runtime_error with the module's message (UTF-8) when the load fails.
    TConfiguratorHost(const TModuleLibrary& library, const std::string& configFile, std::uint32_t databaseHandle);
    ~TConfiguratorHost();
    TConfiguratorHost(const TConfiguratorHost&) = delete;
    TConfiguratorHost& operator=(const TConfiguratorHost&) = delete;

    // Shows the module's configuration dialog; true when the user confirmed and the file was saved.
    bool Configure();

private:
    TConfigApplication application_;
    IntfPtr<IConfigModule> module_;
};

}  // namespace levrano::configurator
