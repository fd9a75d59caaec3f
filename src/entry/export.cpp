// The module's only exported symbol, and the library's attach and detach hooks; everything else
// in the library is hidden. Only the shared library links this file.
#include "entry/levrano.h"
#include "entry/load_setup.h"
#include "host/module.h"

extern "C" void LoadModule(levrano::IInterface** module, const char* path, levrano::IInterface* host,
                           levrano::ILoadObserver* observer) {
    levrano::LoadModuleImpl(module, path, host, observer);
}

namespace {

// Runs before the dynamic initialisation of the library's other files; their state lives in
// function-local statics, so nothing here depends on that order.
__attribute__((constructor)) void OnAttach() { levrano::AttachLibrary(); }

__attribute__((destructor)) void OnDetach() { levrano::DetachLibrary(); }

}  // namespace
