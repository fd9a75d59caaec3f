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

// Runs in a fresh process (the death-test child), so that the library is attached for the first
// time there: exit code 0 when the attach made the executable's folder current and dlclose
// really unloaded the library (a library that stays resident never runs its detach).
[[noreturn]] void AttachInFreshProcess() {
    namespace fs = std::filesystem;
    fs::current_path("/");
    void* library = dlopen(LEVRANO_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::fprintf(stderr, "dlopen: %s\n", dlerror());
        std::_Exit(2);
    }
    const fs::path current = fs::current_path();
    const fs::path expected = fs::canonical("/proc/self/exe").parent_path();
    if (current != expected) {
        std::fprintf(stderr, "current folder %s, expected %s\n", current.c_str(), expected.c_str());
        std::_Exit(3);
    }
    dlclose(library);
    if (dlopen(LEVRANO_MODULE_PATH, RTLD_NOW | RTLD_NOLOAD)) {
        std::fprintf(stderr, "still loaded after dlclose\n");
        std::_Exit(4);
    }
    std::_Exit(0);
}

TEST(LoadSetup, AttachMakesTheExecutablesFolderCurrentAndTheLibraryUnloads) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(AttachInFreshProcess(), ::testing::ExitedWithCode(0), "");
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
