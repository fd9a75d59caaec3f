#include "entry/levrano.h"

#include <exception>
#include <memory>
#include <string>

#include "common/cp1251.h"
#include "common/exception.h"
#include "common/intf_ptr.h"
#include "config/config_module.h"
#include "host/configIntf.h"
#include "operator/operator_module.h"
#include "xml/xmldoc.h"

namespace levrano {

namespace {

constexpr std::int32_t kForeignHostCode = 100;

// The module object that fits the host: operator side first, then configurator side.
IntfPtr<IInterface> BuildModule(TXmlDocument& document, const IntfPtr<IInterface>& host, const std::string& path) {
    if (const auto application = host.Query<IOperatorApplication>())
        return IntfPtr<IInterface>::Adopt(NewOperatorModule(document, application.get(), path));
    if (const auto application = host.Query<IConfigApplication>())
        return IntfPtr<IInterface>::Adopt(NewConfigModule(document, application.get(), path));
    throw Exception(std::string("загружаемый модуль не предназначен для вызывающего приложения"_cp), kForeignHostCode);
}

void ReportFailure(ILoadObserver* observer, const std::string& message) noexcept {
    if (!observer) return;
    try {
        observer->LoadFailed(message.c_str());
    } catch (...) {
        // The host's own fault; nothing may leave LoadModule.
    }
}

// Steps that may raise; on success the host owns the module through *module.
void Load(IInterface** module, const std::string& path, const IntfPtr<IInterface>& host, ILoadObserver* observer) {
    if (observer) observer->BeginLoad();
    // Read before the host is examined, so a bad file fails the load for every kind of host.
    const std::unique_ptr<TXmlDocument> document = LoadXmlDocument(path);
    IntfPtr<IInterface> built = BuildModule(*document, host, path);
    if (module) *module = built.get();
    try {
        if (observer) observer->EndLoad();
    } catch (...) {
        // A failed load hands out no module: the reference goes with `built`.
        if (module) *module = nullptr;
        throw;
    }
    if (module) built.Detach();  // now the host's reference
}

}  // namespace

void LoadModuleImpl(IInterface** module, const char* path, IInterface* host, ILoadObserver* observer) noexcept {
    try {
        if (module) *module = nullptr;
        const IntfPtr<ILoadObserver> observerRef = IntfPtr<ILoadObserver>::Borrow(observer);
        const IntfPtr<IInterface> hostRef = IntfPtr<IInterface>::Borrow(host);
        try {
            Load(module, path ? path : "", hostRef, observerRef.get());
        } catch (const std::exception& e) {
            // Exception carries every error the module raises; the rest (bad_alloc, ...) is
            // reported the same way rather than let out.
            ReportFailure(observerRef.get(), e.what());
        } catch (...) {
            ReportFailure(observerRef.get(), "Неизвестная ошибка"_cp.data());
        }
    } catch (...) {
        // A host whose AddRef or Release throws: still nothing leaves.
    }
}

}  // namespace levrano
