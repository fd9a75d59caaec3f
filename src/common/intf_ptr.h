// Holds one counted reference to an interface and releases it on scope exit.
#pragma once

#include <utility>

#include "common/exception.h"
#include "host/abi.h"

namespace levrano {

template <typename T>
class IntfPtr {
public:
    IntfPtr() = default;
    IntfPtr(std::nullptr_t) {}
    IntfPtr(const IntfPtr& other) : p_(other.p_) { AddRefIfSet(); }
    IntfPtr(IntfPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ~IntfPtr() { Reset(); }

    IntfPtr& operator=(IntfPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }

    // Takes over a reference that the caller already owns (a result of interface type).
    static IntfPtr Adopt(T* p) {
        IntfPtr r;
        r.p_ = p;
        return r;
    }
    // Takes a reference of its own to a borrowed pointer (an argument).
    static IntfPtr Borrow(T* p) {
        IntfPtr r;
        r.p_ = p;
        r.AddRefIfSet();
        return r;
    }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

    // Hands the reference to the caller (for results and out parameters).
    T* Detach() { return std::exchange(p_, nullptr); }

    void Reset() {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }

    // The interface U of the same object, or empty when the object lacks it.
    template <typename U>
    IntfPtr<U> Query() const {
        if (!p_) return {};
        void* out = nullptr;
        if (p_->QueryInterface(InterfaceId<U>::value, &out) != kOk || !out) return {};
        return IntfPtr<U>::Adopt(static_cast<U*>(out));
    }

    // As Query, but a missing interface is the run-time error of a failed cast.
    template <typename U>
    IntfPtr<U> Cast() const {
        IntfPtr<U> r = Query<U>();
        if (!r) throw Exception("Interface not supported");
        return r;
    }

private:
    void AddRefIfSet() {
        if (p_) p_->AddRef();
    }

    T* p_ = nullptr;
};

}  // namespace levrano
