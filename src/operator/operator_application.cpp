#include "operator/operator_module.h"

namespace levrano {

IntfPtr<IOperatorApplication>& OperatorApplication() {
    static IntfPtr<IOperatorApplication> application;
    return application;
}

}  // namespace levrano
