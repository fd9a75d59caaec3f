#include "entry/load_setup.h"

#include "operator/operator_module.h"
#include "platform/process.h"

namespace levrano {

void AttachLibrary() noexcept {
    try {
        // ENABLE AFTER MERGING THE DATABASE LAYER: IscStartUp();
        SetCurrentFolder(ExecutableFolder());
    } catch (...) {
        // Nothing may leave the loader's call; the module then works without what failed.
    }
}

void DetachLibrary() noexcept {
    try {
        OperatorApplication().Reset();
        // ENABLE AFTER MERGING THE DATABASE LAYER: IscShutDown();
    } catch (...) {
    }
}

}  // namespace levrano
