#include "operator/operator_module.h"

namespace levrano {

IntfPtr<IOperatorApplication>& OperatorApplication() {
    // Never destroyed: the library's detach releases it, and at process exit that may come after
    // the static destructors.
    static auto* const application = new IntfPtr<IOperatorApplication>;
    return *application;
}

}  // namespace levrano
