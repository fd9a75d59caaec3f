#include "entry/levrano.h"

#include "common/cp1251.h"
#include "common/exception.h"
#include "common/intf_ptr.h"

namespace levrano {

void LoadModuleImpl(IInterface** module, const char* /*path*/, IInterface* host, ILoadObserver* observer) noexcept {
    if (module) *module = nullptr;
    IntfPtr<IInterface> hostRef = IntfPtr<IInterface>::Borrow(host);
    IntfPtr<ILoadObserver> observerRef = IntfPtr<ILoadObserver>::Borrow(observer);
    try {
        observerRef->BeginLoad();
        throw Exception(std::string("загружаемый модуль не предназначен для вызывающего приложения"_cp), 100);
    } catch (const Exception& e) {
        try {
            observerRef->LoadFailed(e.Message().c_str());
        } catch (...) {
        }
    } catch (...) {
    }
}

}  // namespace levrano
