#include "platform/process.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <vector>

namespace levrano {

namespace {

// The target of a symbolic link, or empty.
std::string LinkTarget(const char* link) {
    std::vector<char> buffer(PATH_MAX);
    for (;;) {
        const ssize_t length = readlink(link, buffer.data(), buffer.size());
        if (length < 0) return {};
        if (static_cast<std::size_t>(length) < buffer.size()) return std::string(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

std::string ExecutableFolder() {
    const std::string file = LinkTarget("/proc/self/exe");
    const auto slash = file.rfind('/');
    return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

bool SetCurrentFolder(const std::string& folder) { return !folder.empty() && chdir(folder.c_str()) == 0; }

bool KeepOwnLibraryLoaded() {
    Dl_info self{};
    if (!dladdr(reinterpret_cast<void*>(&KeepOwnLibraryLoaded), &self) || !self.dli_fname) return false;
    // A reference that is never given back, on a library marked as never to be unloaded.
    return dlopen(self.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE) != nullptr;
}

}  // namespace levrano
