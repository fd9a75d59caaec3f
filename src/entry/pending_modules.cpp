// Placeholders until the operator and configurator modules exist: loading reports plainly that
// the module object cannot be built yet. Each module's own source replaces its half of this file.
#include "common/exception.h"
#include "config/config_module.h"
#include "operator/operator_module.h"

namespace levrano {

IInterface* NewOperatorModule(TXmlDocument&, IOperatorApplication*, const std::string&) {
    throw Exception("operator module not available yet");
}

}  // namespace levrano
