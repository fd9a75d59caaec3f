// Placeholder until the configurator module exists: loading reports plainly that its module
// object cannot be built yet. The module's own source replaces this file.
#include "common/exception.h"
#include "config/config_module.h"

namespace levrano {

IInterface* NewConfigModule(TXmlDocument&, IConfigApplication*, const std::string&) {
    throw Exception("configurator module not available yet");
}

}  // namespace levrano
