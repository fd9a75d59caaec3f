#include "platform/dynlib.h"

#include <cerrno>
#include <dlfcn.h>
#include <link.h>
#include <string_view>
#include <unistd.h>

#include "common/cp1251.h"
#include "platform/system_error.h"

namespace levrano {

namespace {

constexpr std::string_view kClientAlias = "gds32.dll";
constexpr const char* kClientLibrary = "libfbclient.so.2";

const char* SystemName(const std::string& fileName) {
    return fileName == kClientAlias ? kClientLibrary : fileName.c_str();
}

// dlerror's text of the failure just reported; it is cleared by reading it.
std::string LastDlError() {
    const char* text = dlerror();
    return TrimSystemText(cp1251::FromUtf8(text ? text : ""));
}

std::string ProgramPath() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    return length > 0 ? cp1251::FromUtf8(std::string_view(path, static_cast<std::size_t>(length))) : std::string();
}

}  // namespace

void* LoadDynamicLibrary(const std::string& fileName, std::string& error) {
    void* library = dlopen(SystemName(fileName), RTLD_NOW | RTLD_LOCAL);
    if (!library) error = LastDlError();
    return library;
}

void* FindDynamicSymbol(void* library, const char* name, std::string& error) {
    if (!library) {
        // dlsym with no handle would search the whole process instead.
        error = SystemErrorText(ELIBACC);
        return nullptr;
    }
    dlerror();
    void* symbol = dlsym(library, name);
    if (!symbol) error = LastDlError();
    return symbol;
}

std::string DynamicLibraryPath(void* library) {
    link_map* map = nullptr;
    if (!library || dlinfo(library, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name || !*map->l_name)
        return ProgramPath();
    return cp1251::FromUtf8(map->l_name);
}

void UnloadDynamicLibrary(void* library) {
    if (library) dlclose(library);
}

}  // namespace levrano
