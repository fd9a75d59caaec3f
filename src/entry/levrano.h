// Building the module object for a host (the body of the exported LoadModule).
#pragma once

#include "host/OperatorIntf.h"

namespace levrano {

void LoadModuleImpl(IInterface** module, const char* path, IInterface* host, ILoadObserver* observer) noexcept;

}  // namespace levrano
