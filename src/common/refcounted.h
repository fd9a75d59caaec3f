// Base of every module object handed to a host: one atomic reference count, deletion at the
// last release, and QueryInterface answering IInterface and each listed interface.
#pragma once

#include <atomic>
#include <cstdint>
#include <utility>

#include "host/abi.h"

namespace levrano {

template <typename First, typename... Rest>
class RefCounted : public First, public Rest... {
public:
    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;

    HResult QueryInterface(const GUID& iid, void** obj) override {
        if (!obj) return kNoInterface;
        *obj = nullptr;
        if (iid == IID_IInterface)
            *obj = static_cast<IInterface*>(static_cast<First*>(this));
        else
            FindInterface<First, Rest...>(iid, obj);
        if (!*obj) return kNoInterface;
        AddRef();
        return kOk;
    }

    std::int32_t AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

    std::int32_t Release() override {
        const std::int32_t left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0) delete this;
        return left;
    }

    // The object's identity as a host sees it.
    IInterface* AsInterface() { return static_cast<IInterface*>(static_cast<First*>(this)); }

protected:
    RefCounted() = default;
    virtual ~RefCounted() = default;

private:
    // Interfaces without an identifier (a host's notice entry, its load observer) answer only
    // as IInterface.
    template <typename I, typename... More>
    void FindInterface(const GUID& iid, void** obj) {
        if constexpr (requires { InterfaceId<I>::value; }) {
            if (iid == InterfaceId<I>::value) {
                *obj = static_cast<I*>(this);
                return;
            }
        }
        if constexpr (sizeof...(More) > 0) FindInterface<More...>(iid, obj);
    }

    std::atomic<std::int32_t> refs_{0};
};

// Creates a module object and hands back its first counted reference.
template <typename T, typename... Args>
T* NewCounted(Args&&... args) {
    T* object = new T(std::forward<Args>(args)...);
    object->AddRef();
    return object;
}

}  // namespace levrano
