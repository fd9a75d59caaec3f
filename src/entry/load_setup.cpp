#include "entry/load_setup.h"

#include "db/isc_database.h"
#include "operator/operator_module.h"
#include "platform/process.h"

namespace levrano {

namespace {

// Nothing may leave the loader's call, and one failed step must not skip the next.
template <typename Step>
void Guarded(Step step) noexcept {
    try {
        step();
    } catch (...) {
    }
}

}  // namespace

void AttachLibrary() noexcept {
    Guarded(KeepOwnLibraryLoaded);
    Guarded(IscStartUp);
    Guarded([] { SetCurrentFolder(ExecutableFolder()); });
}

void DetachLibrary() noexcept {
    Guarded([] { OperatorApplication().Reset(); });
    Guarded(IscShutDown);
}

}  // namespace levrano
