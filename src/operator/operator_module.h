// The operator-side module object, built by LoadModule for an operator-workstation host, and the
// listener through which the host's application events reach it.
#pragma once

#include <functional>
#include <string>

#include "common/intf_ptr.h"
#include "common/refcounted.h"
#include "host/OperatorIntf.h"

namespace levrano {

class TXmlDocument;

// Builds the module from the configuration document (read during the call only) for the host
// application: one probe and one gauge (registered with the host) per served tank, the host's
// serial port set up, and the application listener installed. Polling starts with the host's
// OnStart and ends with its OnStop. Returns the module's IInterface with one reference for the
// caller. Raises Exception; what was built is freed again, except the gauges the host holds.
IInterface* NewOperatorModule(TXmlDocument& document, IOperatorApplication* application, const std::string& path);

// The process-wide reference to the operator host: set by the module, released after the host's
// stop event or, failing that, when the library is detached.
IntfPtr<IOperatorApplication>& OperatorApplication();

// Receives the host application's events. Only OnStart and OnStop have handlers; the host's other
// events are accepted and change nothing.
class TApplicationListener : public RefCounted<IApplicationListener> {
public:
    using THandler = std::function<void(IInterface* sender)>;

    TApplicationListener(THandler onStart, THandler onStop);
    // Registers a new listener with OperatorApplication(); the host's reference keeps it alive.
    static void Install(THandler onStart, THandler onStop);

    void Event1(IInterface* sender) override;
    void Event2(IInterface* sender) override;
    void Event3(IInterface* sender) override;
    void OnStart(IInterface* sender) override;
    // Runs its handler, then releases OperatorApplication().
    void OnStop(IInterface* sender) override;
    void Event6(IInterface* sender) override;
    void Event7(IInterface* sender, std::int32_t first, std::int32_t second, GUID value) override;
    void Event8(IInterface* sender) override;

private:
    // Holds the sender for the handler's call; nothing the handler raises reaches the host.
    static void Run(const THandler& handler, IInterface* sender) noexcept;

    const THandler StartHandler;
    const THandler StopHandler;
};

}  // namespace levrano
