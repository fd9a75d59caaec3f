// Bases for a host's objects on the operator side: a reference count that deletes the object at
// the last release, QueryInterface answering IInterface and the object's interface, and every
// operation that the module never calls implemented as a no-op, so that a host writes only the
// operations it serves. Derive, implement the pure operations that remain, create with
// NewCounted (src/common/refcounted.h) or `new` followed by AddRef.
#pragma once

#include <functional>
#include <utility>
#include <vector>

#include "common/intf_ptr.h"
#include "common/refcounted.h"
#include "host/OperatorIntf.h"

namespace levrano::host_kit {

// Reference counting for one interface I, as the module's own objects have it.
template <typename I>
using HostObject = RefCounted<I>;

// A gauge listener that calls back with the gauge whose state changed (on the event loop's
// thread); nothing the callback throws goes back into the module.
class GaugeListener : public HostObject<ITankGaugeListener> {
public:
    explicit GaugeListener(std::function<void(IInterface* gauge)> changed) : changed_(std::move(changed)) {}
    void StateChanged(IInterface* gauge) override {
        try {
            changed_(gauge);
        } catch (...) {
        }
    }

private:
    const std::function<void(IInterface*)> changed_;
};

// One tank: implement GetTankId, GetNumber and LevelToVolume.
class TankBase : public HostObject<ITank> {
public:
    void EnumItemReserved1() override {}
    void EnumItemReserved2() override {}
    void TankReserved5() override {}
    void TankReserved6() override {}
    void TankReserved7() override {}
    void TankReserved8() override {}
    void TankReserved9() override {}
    void TankReserved10() override {}
    void TankReserved11() override {}
    void TankReserved12() override {}
    void TankReserved13() override {}
    void TankReserved14() override {}
    void TankReserved15() override {}
    void TankReserved16() override {}
    void TankReserved17() override {}
    void TankReserved18() override {}
    void TankReserved20() override {}
};

// The station's tank list: implement GetCount and GetItem (an ITank with one reference).
class TanksBase : public HostObject<ITanks> {
public:
    void EnumReserved2() override {}
    void EnumReserved3() override {}
    void TanksReserved5() override {}
    void TanksReserved6() override {}
    void TanksReserved7() override {}
    void TanksReserved8() override {}
    void TanksReserved9() override {}
    void TanksReserved10() override {}
};

// A notice entry made by CreateEntry: implement Submit.
class EntryBase : public HostObject<IEntry> {
public:
    void EntryReserved1() override {}
    void EntryReserved2() override {}
    void EntryReserved3() override {}
    void EntryReserved4() override {}
};

// The operator application: implement CreateEntry, GetTanks, RegisterService, GetService and
// AddListener.
class OperatorApplicationBase : public HostObject<IOperatorApplication> {
public:
    void AppReserved1() override {}
    void AppReserved2() override {}
    void AppReserved4() override {}
    void AppReserved5() override {}
    void AppReserved6() override {}
    void AppReserved8() override {}
    void AppReserved9() override {}
    void AppReserved10() override {}
    void AppReserved11() override {}

    // The module's application listeners, told of the host's start and stop events.
    void AddListener(IApplicationListener* listener) override {
        if (listener) listeners_.push_back(IntfPtr<IApplicationListener>::Borrow(listener));
    }
    // A copy is walked, so that a listener may register or go during the event.
    void FireStart() {
        for (const auto& listener : std::vector(listeners_)) listener->OnStart(this);
    }
    void FireStop() {
        for (const auto& listener : std::vector(listeners_)) listener->OnStop(this);
    }

protected:
    void ReleaseListeners() { listeners_.clear(); }

private:
    std::vector<IntfPtr<IApplicationListener>> listeners_;
};

// The observer of one LoadModule call: implement BeginLoad, EndLoad and LoadFailed.
class LoadObserverBase : public HostObject<ILoadObserver> {
public:
    void ObserverReserved1() override {}
    void ObserverReserved2() override {}
    void ObserverReserved5() override {}
    void ObserverReserved6() override {}
    void ObserverReserved7() override {}
};

}  // namespace levrano::host_kit
