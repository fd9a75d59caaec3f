// LoadModule through dlopen, as hosts call it: the observer protocol, the configuration file read
// before the host is examined, the refusal of a host of neither kind, and every reference
// handed over given back.
#include <gtest/gtest.h>

#include <cerrno>
#include <optional>
#include <string>
#include <tuple>

#include "common/cp1251.h"
#include "platform/system_error.h"
#include "support/test_host.h"

namespace levrano {
namespace {

using namespace levrano::test;

const std::string kRefusal(std::string("загружаемый модуль не предназначен для вызывающего приложения"_cp));
constexpr const char* kValidConfig =
    "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<boot name=\"x\">\r\n  <port number=\"1\"/>\r\n</boot>\r\n";

std::string OpenError(const std::string& path) {
    return std::string("Ошибка открытия файла "_cp) + "\"" + path + "\" :" + SystemErrorText(ENOENT);
}

std::string XmlError(const std::string& path, std::string_view detail) {
    return std::string("Ошибка XML в файле "_cp) + "\"" + path + "\"\r\n" + std::string(detail);
}

enum class HostKind { Neither, Operator, Configurator, Both };

const char* Name(HostKind kind) {
    switch (kind) {
        case HostKind::Neither: return "Neither";
        case HostKind::Operator: return "Operator";
        case HostKind::Configurator: return "Configurator";
        case HostKind::Both: return "Both";
    }
    return "?";
}

void PrintTo(HostKind kind, std::ostream* out) { *out << Name(kind); }

// A host application of one kind with its observer; the library is unloaded after them.
class LoadFixture {
public:
    explicit LoadFixture(HostKind kind)
        : host(kind == HostKind::Operator || kind == HostKind::Both ? &operatorApp : nullptr,
               kind == HostKind::Configurator || kind == HostKind::Both ? &configApp : nullptr) {}

    IntfPtr<IInterface> Load(const std::string& path) { return library.Load(path, host.AsInterface(), &observer); }

    // Everything the test host handed over has come back.
    void ExpectAllReferencesReleased() const {
        EXPECT_EQ(0, host.Refs());
        EXPECT_EQ(0, observer.Refs());
        EXPECT_EQ(0, operatorApp.HeldReferences());
        EXPECT_EQ(0, configApp.HeldReferences());
    }

    void ExpectNoUnexpectedCalls() const {
        EXPECT_TRUE(observer.UnexpectedCalls().empty());
        EXPECT_TRUE(operatorApp.AllUnexpectedCalls().empty());
        EXPECT_TRUE(configApp.UnexpectedCalls().empty());
    }

    LoadedModule library;
    TestOperatorApplication operatorApp;
    TestConfigApplication configApp{0x1234};
    TestHost host;
    TestLoadObserver observer;
};

// ---- A configuration file that cannot be read fails the load for every host, host unexamined ----

struct FileCase {
    const char* name;
    std::optional<std::string> content;  // none: the file does not exist
    bool emptyPath;
    std::string_view xmlDetail;  // for a malformed file: the reader's description of the fault
};

const FileCase kFileCases[] = {
    {"Missing", std::nullopt, false, {}},
    {"EmptyPath", std::nullopt, true, {}},
    {"Unclosed", "<root>", false, "(1:6): (4) -  нет закрытия тега \"root\""_cp},
    {"BadEscape", "<root><a>&bad;</a></root>", false, "(1:15): (2) - \"&bad;\" - недопустимая ESC последовательность"_cp},
};

void PrintTo(const FileCase& c, std::ostream* out) { *out << c.name; }

class UnreadableFile : public ::testing::TestWithParam<std::tuple<FileCase, HostKind>> {};

TEST_P(UnreadableFile, FailsWithTheReadersMessageBeforeTheHostIsAsked) {
    const auto& [file, kind] = GetParam();
    LoadFixture f(kind);
    TempConfigFile folder(file.content.value_or(""));
    const std::string path = file.emptyPath ? "" : file.content ? folder.Path() : folder.Folder() + "absent.xml";
    const std::string expected = file.content ? XmlError(path, file.xmlDetail) : OpenError(path);

    EXPECT_FALSE(f.Load(path));

    EXPECT_EQ(f.observer.Calls(), (std::vector<ObserverCall>{{"BeginLoad", {}}, {"LoadFailed", expected}}));
    EXPECT_TRUE(f.host.Queries().empty()) << "the host was examined before the file was read";
    f.ExpectAllReferencesReleased();
    f.ExpectNoUnexpectedCalls();
}

INSTANTIATE_TEST_SUITE_P(
    EveryHostKind, UnreadableFile,
    ::testing::Combine(::testing::ValuesIn(kFileCases),
                       ::testing::Values(HostKind::Neither, HostKind::Operator, HostKind::Configurator, HostKind::Both)),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).name) + "_" + Name(std::get<1>(info.param));
    });

// ---- A host of neither kind is refused --------------------------------------------------------------

TEST(Refusal, HostOfNeitherKindGetsTheRefusalAndNoModule) {
    LoadFixture f(HostKind::Neither);
    TempConfigFile config(kValidConfig);

    EXPECT_FALSE(f.Load(config.Path()));

    EXPECT_EQ(f.observer.Calls(), (std::vector<ObserverCall>{{"BeginLoad", {}}, {"LoadFailed", kRefusal}}));
    EXPECT_EQ(f.host.Queries(), (std::vector<GUID>{IID_IOperatorApplication, IID_IConfigApplication}));
    f.ExpectAllReferencesReleased();
    f.ExpectNoUnexpectedCalls();
}

// ---- Which module a host gets: operator side first, configurator side only when not -------------

struct KindCase {
    HostKind kind;
    std::vector<GUID> queries;  // what the host is asked for, in order
};

void PrintTo(const KindCase& c, std::ostream* out) { *out << Name(c.kind); }

class HostKinds : public ::testing::TestWithParam<KindCase> {};

TEST_P(HostKinds, AskedInOrderAndOnlyAsFarAsNeededWithOneOutcomeReported) {
    const KindCase& c = GetParam();
    LoadFixture f(c.kind);
    TempConfigFile config(kValidConfig);

    IntfPtr<IInterface> module = f.Load(config.Path());

    EXPECT_EQ(c.queries, f.host.Queries());
    EXPECT_EQ(c.kind == HostKind::Configurator, f.configApp.WasAskedFor(IID_IConfigApplication));
    EXPECT_EQ(c.kind != HostKind::Configurator, f.operatorApp.WasAskedFor(IID_IOperatorApplication));
    // BeginLoad, then EndLoad with a module or LoadFailed without one; never both.
    const auto& calls = f.observer.Calls();
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ("BeginLoad", calls[0].Operation);
    if (calls[1].Operation == "EndLoad") {
        EXPECT_TRUE(module);
    } else {
        EXPECT_EQ("LoadFailed", calls[1].Operation);
        EXPECT_NE(kRefusal, calls[1].Text);
        EXPECT_FALSE(module);
        f.ExpectAllReferencesReleased();
    }
    EXPECT_EQ(0, f.observer.Refs());
    EXPECT_EQ(0, f.host.Refs());
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, HostKinds,
    ::testing::Values(KindCase{HostKind::Operator, {IID_IOperatorApplication}},
                      KindCase{HostKind::Configurator, {IID_IOperatorApplication, IID_IConfigApplication}},
                      KindCase{HostKind::Both, {IID_IOperatorApplication}}),
    [](const auto& info) { return std::string(Name(info.param.kind)); });

// ---- Arguments a careless host may pass -------------------------------------------------------------

TEST(CarelessHost, NoneForModuleObserverOrPathNeitherCrashesNorKeepsReferences) {
    LoadFixture f(HostKind::Neither);
    ASSERT_TRUE(f.library.IsLoaded());
    f.library.Entry()(nullptr, nullptr, f.host.AsInterface(), nullptr);
    EXPECT_EQ(0, f.host.Refs());

    IInterface* module = f.host.AsInterface();  // anything but none
    f.library.Entry()(&module, nullptr, nullptr, &f.observer);
    EXPECT_EQ(nullptr, module);
    EXPECT_EQ(f.observer.Calls(), (std::vector<ObserverCall>{{"BeginLoad", {}}, {"LoadFailed", OpenError("")}}));
    EXPECT_EQ(0, f.observer.Refs());
}

}  // namespace
}  // namespace levrano
