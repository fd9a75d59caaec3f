#include "configurator/configurator_host.h"

#include <dlfcn.h>

#include <stdexcept>

#include "common/cp1251.h"

namespace levrano::configurator {

IHostDatabase* TConfigApplication::GetDatabase() {
    database_.AddRef();
    return &database_;
}

TModuleLibrary::TModuleLibrary(const std::string& file) {
    handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) throw std::runtime_error(std::string("cannot load the module: ") + dlerror());
    entry_ = reinterpret_cast<LoadModuleFn>(dlsym(handle_, "LoadModule"));
    if (entry_) return;
    dlclose(handle_);
    throw std::runtime_error(file + " is not the module: it has no LoadModule");
}

TModuleLibrary::~TModuleLibrary() {
    if (handle_) dlclose(handle_);
}

TConfiguratorHost::TConfiguratorHost(const TModuleLibrary& library, const std::string& configFile,
                                     std::uint32_t databaseHandle)
    : application_(databaseHandle) {
    TLoadObserver observer;
    IInterface* module = nullptr;
    library.Entry()(&module, configFile.c_str(), &application_, &observer);
    const auto loaded = IntfPtr<IInterface>::Adopt(module);
    if (!loaded) throw std::runtime_error("the module refused to load: " + cp1251::ToUtf8(observer.Failure()));
    module_ = loaded.Query<IConfigModule>();
    if (!module_) throw std::runtime_error("the module built no configurator module for this host");
}

TConfiguratorHost::~TConfiguratorHost() { module_.Reset(); }

bool TConfiguratorHost::Configure() {
    bool confirmed = false;
    module_->Configure(0, &confirmed);
    return confirmed;
}

}  // namespace levrano::configurator
