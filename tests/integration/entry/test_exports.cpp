// The module exports LoadModule and nothing else of its own.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <string>

namespace {

// Defined dynamic symbols of a library, name to nm's type letter.
std::map<std::string, char> DefinedDynamicSymbols(const std::string& library) {
    std::map<std::string, char> symbols;
    const std::string command = "nm -D --defined-only '" + library + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return symbols;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        std::istringstream fields(line);
        std::string address, name;
        char type = 0;
        if (fields >> address >> type >> name) symbols[name] = type;
    }
    EXPECT_EQ(0, pclose(pipe)) << command;
    return symbols;
}

TEST(Exports, LoadModuleIsTheOnlySymbolOfTheModulesOwn) {
    std::map<std::string, char> symbols = DefinedDynamicSymbols(LEVRANO_MODULE_PATH);
    // Section boundaries that the linker itself defines in every shared library.
    for (const char* linkerMade : {"__bss_start", "_edata", "_end", "_init", "_fini"}) symbols.erase(linkerMade);
    EXPECT_EQ((std::map<std::string, char>{{"LoadModule", 'T'}}), symbols);
}

}  // namespace
