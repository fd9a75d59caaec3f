// The configurator-side module object, built by LoadModule for a configurator host.
#pragma once

#include <string>

#include "host/configIntf.h"

namespace levrano {

class TXmlDocument;

// Builds the module for the host application; the document is not kept. Returns its IInterface
// (which also answers IConfigModule) with one reference for the caller. Raises Exception.
IInterface* NewConfigModule(TXmlDocument& document, IConfigApplication* application, const std::string& path);

}  // namespace levrano
