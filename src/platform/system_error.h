// The operating system's message for an error number, as Windows-1251 text.
#pragma once

#include <string>

namespace levrano {

// The message of errno value `code`, trailing blanks, control characters and full stops removed.
std::string SystemErrorText(int code);

// The same clean-up for any message text (dlerror's, for instance).
std::string TrimSystemText(std::string text);

}  // namespace levrano
