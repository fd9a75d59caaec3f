// The host process: where its executable lies, its current directory, and the module's stay.
#pragma once

#include <string>

namespace levrano {

// The folder of the running executable with its trailing "/"; empty when it cannot be told.
std::string ExecutableFolder();

// Makes `folder` the process's current directory; false when that fails.
bool SetCurrentFolder(const std::string& folder);

// Keeps the shared library holding this code mapped until the process exits, whatever dlclose
// calls come; false when the system refused.
bool KeepOwnLibraryLoaded();

}  // namespace levrano
