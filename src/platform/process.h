// The host process: where its executable lies, and its current directory.
#pragma once

#include <string>

namespace levrano {

// The folder of the running executable with its trailing "/"; empty when it cannot be told.
std::string ExecutableFolder();

// Makes `folder` the process's current directory; false when that fails.
bool SetCurrentFolder(const std::string& folder);

}  // namespace levrano
