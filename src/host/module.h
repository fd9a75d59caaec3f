// The module's one export.
#pragma once

#include "host/OperatorIntf.h"

#define LEVRANO_EXPORT __attribute__((visibility("default")))

extern "C" {
// Builds the module object for the host (operator or configurator) from the configuration file
// at `path`. `*module` is cleared on entry and set only on success; the observer is told
// BeginLoad, then EndLoad or LoadFailed. Never throws.
LEVRANO_EXPORT void LoadModule(levrano::IInterface** module, const char* path, levrano::IInterface* host,
                               levrano::ILoadObserver* observer);
typedef void (*LoadModuleFn)(levrano::IInterface**, const char*, levrano::IInterface*, levrano::ILoadObserver*);
}
