#include "operator/listener_list.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "common/intf_ptr.h"

namespace levrano {

TListenerList::TListenerList(const GUID& iid, TCallback callback) : Iid(iid), Callback(std::move(callback)) {}

TListenerList::~TListenerList() { RemoveAll(); }

bool TListenerList::Supports(IInterface* listener) const {
    void* queried = nullptr;
    if (listener->QueryInterface(Iid, &queried) != kOk || !queried) return false;
    static_cast<IInterface*>(queried)->Release();
    return true;
}

std::vector<IInterface*>::iterator TListenerList::Find(IInterface* listener) {
    return std::find(Items.begin(), Items.end(), listener);
}

bool TListenerList::Add(IInterface* listener) {
    if (!listener || !Supports(listener) || Find(listener) != Items.end()) return false;
    const auto empty = Find(nullptr);
    if (empty != Items.end())
        *empty = listener;
    else
        Items.push_back(listener);
    listener->AddRef();
    return true;
}

bool TListenerList::Remove(IInterface* listener) {
    if (!listener) return false;
    const auto slot = Find(listener);
    if (slot == Items.end()) return false;
    // The slot is emptied first: the release may run code that looks at the list again.
    *slot = nullptr;
    listener->Release();
    return true;
}

void TListenerList::RemoveAll() {
    for (std::size_t i = 0; i < Items.size(); ++i)
        if (Items[i]) Remove(Items[i]);
}

void TListenerList::Notify(std::int32_t first, std::int32_t second) {
    const std::size_t count = Items.size();
    bool stop = false;
    for (std::size_t i = 0; i < count && !stop; ++i) {
        if (!Items[i]) continue;
        // Our own reference for the call: a listener that the callback removes from the list
        // (itself, typically) stays alive until its call has returned.
        const IntfPtr<IInterface> listener = IntfPtr<IInterface>::Borrow(Items[i]);
        Callback(*this, first, listener.get(), second, stop);
    }
}

}  // namespace levrano
