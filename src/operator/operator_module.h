// The operator-side module object, built by LoadModule for an operator-workstation host.
#pragma once

#include <string>

#include "common/intf_ptr.h"
#include "host/OperatorIntf.h"

namespace levrano {

class TXmlDocument;

// Builds the module from the configuration document (read during the call only) for the host
// application; returns its IInterface with one reference for the caller. Raises Exception.
IInterface* NewOperatorModule(TXmlDocument& document, IOperatorApplication* application, const std::string& path);

// The process-wide reference to the operator host: set by the module, released after the host's
// stop event or, failing that, when the library is detached.
IntfPtr<IOperatorApplication>& OperatorApplication();

}  // namespace levrano
