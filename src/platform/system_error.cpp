#include "platform/system_error.h"

#include <cstring>

#include "common/cp1251.h"

namespace levrano {

std::string TrimSystemText(std::string text) {
    while (!text.empty()) {
        const unsigned char c = static_cast<unsigned char>(text.back());
        if (c > ' ' && c != '.') break;
        text.pop_back();
    }
    return text;
}

std::string SystemErrorText(int code) {
    char buffer[256] = {};
    // GNU strerror_r returns the message, which may or may not live in buffer.
    const char* message = strerror_r(code, buffer, sizeof buffer);
    return TrimSystemText(cp1251::FromUtf8(message ? message : ""));
}

}  // namespace levrano
