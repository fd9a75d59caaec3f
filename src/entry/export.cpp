// The module's only exported symbol; everything else in the library is hidden.
#include "entry/levrano.h"
#include "host/module.h"

extern "C" void LoadModule(levrano::IInterface** module, const char* path, levrano::IInterface* host,
                           levrano::ILoadObserver* observer) {
    levrano::LoadModuleImpl(module, path, host, observer);
}
