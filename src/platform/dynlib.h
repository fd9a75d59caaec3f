// Shared libraries loaded at run time, and the look-up of their functions by name.
#pragma once

#include <string>

namespace levrano {

// Loads a library by file name and returns its handle, or none with `error` set to the
// system's text. The name "gds32.dll", which the database layer passes for the Firebird client,
// stands for Debian's libfbclient.so.2; any other name goes to the system unchanged.
void* LoadDynamicLibrary(const std::string& fileName, std::string& error);

// The address of the function `name` exported by `library`, or none with `error` set. A library
// that never loaded (none) exports nothing.
void* FindDynamicSymbol(void* library, const char* name, std::string& error);

// The file that the system loaded for `library`; for none, the running program's own file.
std::string DynamicLibraryPath(void* library);

void UnloadDynamicLibrary(void* library);

}  // namespace levrano
