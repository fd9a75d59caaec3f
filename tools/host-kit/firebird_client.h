// What every host-side user of the Firebird client library needs: the text of a failed call and
// the parameters of a WIN1251 attachment. Hosts attach the station database themselves.
#pragma once

#include <ibase.h>

#include <string>

namespace levrano::host_kit {

// The client's lines for a failed call, joined by `separator`.
std::string FirebirdStatusText(const ISC_STATUS* status, const char* separator = "\n");

// Raises std::runtime_error("<what>: <text>") when the call reported an error.
void CheckFirebirdStatus(const ISC_STATUS* status, const std::string& what);

// Attachment parameters: user, optional password, connection character set WIN1251. A value
// longer than its one length byte allows is refused.
std::string AttachParameters(const std::string& user, const std::string& password);

}  // namespace levrano::host_kit
