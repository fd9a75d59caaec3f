// TListenerList: the listeners registered with one module object, admitted only when they
// support one interface, and called back in slot order.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "host/abi.h"

namespace levrano {

class TListenerList {
public:
    // Called once per listener by Notify: the list, Notify's first value, the listener, Notify's
    // second value, and a stop flag that ends the pass when set.
    using TCallback =
        std::function<void(TListenerList& list, std::int32_t first, IInterface* listener, std::int32_t second, bool& stop)>;

    TListenerList(const GUID& iid, TCallback callback);
    ~TListenerList();  // releases every listener still registered
    TListenerList(const TListenerList&) = delete;
    TListenerList& operator=(const TListenerList&) = delete;

    // False when the listener lacks the list's interface or is already registered. Stored as
    // passed (not as the queried interface), in the first empty slot or a new one at the end.
    bool Add(IInterface* listener);
    // False when the listener is not registered; otherwise its slot becomes empty.
    bool Remove(IInterface* listener);
    void RemoveAll();
    // Calls back for the occupied slots among those that exist when the pass begins, so a
    // listener added into an empty slot ahead is called in this pass, one appended is not.
    void Notify(std::int32_t first, std::int32_t second);

private:
    bool Supports(IInterface* listener) const;
    std::vector<IInterface*>::iterator Find(IInterface* listener);

    std::vector<IInterface*> Items;  // slot order is notification order; never shrinks
    const GUID Iid;
    const TCallback Callback;
};

}  // namespace levrano
