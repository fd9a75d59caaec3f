// What the library does when a process attaches and detaches it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "entry/load_setup.h"
#include "operator/operator_module.h"
#include "support/test_host.h"

namespace levrano {
namespace {

constexpr const char* kValidConfig = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<boot/>\r\n";

[[noreturn]] void Fail(int code, const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::_Exit(code);
}

// Runs in a fresh process (the death-test child), so that the library is attached there for the
// first time, and ends it the way a host ends: a load, dlclose, then a normal exit, during which
// the detach runs. Exit code 0 when all went well; a crash at exit shows as a signal.
[[noreturn]] void HostLifeInFreshProcess() {
    namespace fs = std::filesystem;
    fs::current_path("/");
    void* library = dlopen(LEVRANO_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!library) Fail(2, dlerror());
    if (fs::current_path() != fs::canonical("/proc/self/exe").parent_path()) Fail(3, "current folder unchanged");

    const auto entry = reinterpret_cast<LoadModuleFn>(dlsym(library, "LoadModule"));
    test::TempConfigFile config(kValidConfig);
    test::TestHost host;
    test::TestLoadObserver observer;
    IInterface* module = nullptr;
    entry(&module, config.Path().c_str(), host.AsInterface(), &observer);
    if (module || observer.Calls().size() != 2) Fail(4, "unexpected load outcome");

    dlclose(library);
    if (!dlopen(LEVRANO_MODULE_PATH, RTLD_NOW | RTLD_NOLOAD)) Fail(5, "unloaded before the process ends");
    std::exit(0);
}

TEST(LoadSetup, AttachMakesTheExecutablesFolderCurrentAndTheProcessEndsCleanly) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(HostLifeInFreshProcess(), ::testing::ExitedWithCode(0), "");
}

TEST(LoadSetup, DetachReleasesTheOperatorHostStillHeld) {
    test::TestOperatorApplication app;
    OperatorApplication() = IntfPtr<IOperatorApplication>::Borrow(&app);
    ASSERT_EQ(1, app.Refs());
    DetachLibrary();
    EXPECT_EQ(0, app.Refs());
    EXPECT_FALSE(OperatorApplication());
    DetachLibrary();  // nothing held any more: nothing released twice
    EXPECT_EQ(0, app.Refs());
}

}  // namespace
}  // namespace levrano
