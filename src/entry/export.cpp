// The module's only exported symbol, and the library's attach and detach hooks; everything else
// in the library is hidden. Only the shared library links this file.
#include <cstdlib>

#include "entry/levrano.h"
#include "entry/load_setup.h"
#include "host/module.h"

extern "C" void LoadModule(levrano::IInterface** module, const char* path, levrano::IInterface* host,
                           levrano::ILoadObserver* observer) {
    levrano::LoadModuleImpl(module, path, host, observer);
}

namespace {

void OnDetach() { levrano::DetachLibrary(); }

// The detach is an exit handler registered after the attach, not a destructor function: the
// library stays loaded until the process exits (see AttachLibrary), and at exit destructor
// functions run only after every static object is gone, while this handler runs before the
// statics that the attach made. The attach itself runs before the dynamic initialisation of
// the library's other files; their state lives in function-local statics, so nothing here
// depends on that order.
__attribute__((constructor)) void OnAttach() {
    levrano::AttachLibrary();
    std::atexit(OnDetach);
}

}  // namespace
