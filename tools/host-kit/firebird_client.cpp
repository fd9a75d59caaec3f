#include "host-kit/firebird_client.h"

#include <stdexcept>

namespace levrano::host_kit {

std::string FirebirdStatusText(const ISC_STATUS* status, const char* separator) {
    std::string text;
    char line[1024];
    const ISC_STATUS* cursor = status;
    while (fb_interpret(line, sizeof line, &cursor) > 0) {
        if (!text.empty()) text += separator;
        text += line;
    }
    return text;
}

void CheckFirebirdStatus(const ISC_STATUS* status, const std::string& what) {
    if (status[0] == 1 && status[1] != 0) throw std::runtime_error(what + ": " + FirebirdStatusText(status));
}

std::string AttachParameters(const std::string& user, const std::string& password) {
    std::string dpb(1, static_cast<char>(isc_dpb_version1));
    const auto add = [&dpb](char tag, const std::string& value) {
        if (value.size() > 255) throw std::runtime_error("database parameter too long: " + value);
        dpb += tag;
        dpb += static_cast<char>(value.size());
        dpb += value;
    };
    add(isc_dpb_user_name, user);
    if (!password.empty()) add(isc_dpb_password, password);
    add(isc_dpb_lc_ctype, "WIN1251");
    return dpb;
}

}  // namespace levrano::host_kit
