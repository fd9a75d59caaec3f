// Interrupted configuration saves: whichever step fails and wherever a saving process is killed,
// the file on disk holds the old document or the new one, never anything else, and a save that
// failed leaves no temporary file behind.
#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "platform/file_io.h"
#include "xml/xmldoc.h"

namespace levrano {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kFileName = "levrano.xml";

// A configuration document of `tanks` tank entries; `generation` makes each version distinct.
std::unique_ptr<TXmlDocument> Configuration(int generation, int tanks) {
    auto document = NewXmlDocument();
    document->Name = "levrano";
    WriteString(document.get(), "boot", "name", "generation " + std::to_string(generation));
    WriteInteger(document.get(), "port", "number", generation);
    TXmlNode* list = FindNode(document.get(), "Tanks", true);
    for (int i = 0; i < tanks; ++i) {
        TXmlNode* item = AddElement(list, "item", "");
        WriteInteger(item, "", "tankid", i + 1);
        WriteInteger(item, "", "address", 1 + (i + generation) % 99);
    }
    return document;
}

std::string Written(const TXmlDocument* document) {
    std::string bytes;
    WriteXml(document, bytes);
    return bytes;
}

std::set<std::string> Entries(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

// The step that fails while a FailingStep lives.
std::atomic<int> g_failingStep{-1};

bool FailChosenStep(TReplaceStep step) { return static_cast<int>(step) == g_failingStep.load(); }

class FailingStep {
public:
    explicit FailingStep(TReplaceStep step) {
        g_failingStep = static_cast<int>(step);
        SetReplaceFaultHook(&FailChosenStep);
    }
    ~FailingStep() {
        SetReplaceFaultHook(nullptr);
        g_failingStep = -1;
    }
    FailingStep(const FailingStep&) = delete;
    FailingStep& operator=(const FailingStep&) = delete;
};

class InterruptedSave : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "levrano-save-XXXXXX").string();
        ASSERT_NE(nullptr, ::mkdtemp(pattern.data()));
        folder = pattern;
        path = (folder / kFileName).string();
    }
    void TearDown() override { fs::remove_all(folder); }

    // The file's bytes, or none when there is no file.
    std::optional<std::string> OnDisk() const {
        std::string content;
        int error = 0;
        if (!ReadWholeFile(path, content, error)) return std::nullopt;
        return content;
    }

    fs::path folder;
    std::string path;
};

TEST_F(InterruptedSave, AFailedStepLeavesTheOldFileOrNoneAndNoTemporaryFile) {
    const auto oldDocument = Configuration(1, 20);
    const auto newDocument = Configuration(2, 20);
    const struct {
        TReplaceStep step;
        const char* name;
    } steps[] = {{TReplaceStep::Create, "create"}, {TReplaceStep::Write, "write"}, {TReplaceStep::Sync, "fsync"}, {TReplaceStep::Rename, "rename"}};
    for (const auto& s : steps) {
        for (const bool fileExisted : {true, false}) {
            SCOPED_TRACE(std::string("failing ") + s.name + (fileExisted ? ", over an existing file" : ", no file before"));
            fs::remove(path);
            if (fileExisted) {
                ASSERT_TRUE(SaveXmlDocument(oldDocument.get(), path));
            }
            const std::optional<std::string> before = OnDisk();
            {
                FailingStep failing(s.step);
                EXPECT_FALSE(SaveXmlDocument(newDocument.get(), path));
            }
            EXPECT_EQ(before, OnDisk());
            EXPECT_EQ(fileExisted ? std::set<std::string>{kFileName} : std::set<std::string>{}, Entries(folder));

            // The same save goes through once nothing fails.
            ASSERT_TRUE(SaveXmlDocument(newDocument.get(), path));
            EXPECT_EQ(Written(newDocument.get()), OnDisk());
            EXPECT_EQ(std::set<std::string>{kFileName}, Entries(folder));
        }
    }
}

// A child process saves two documents in turn, without end, and is killed at a random moment;
// after each kill the file must hold one of the two documents exactly. A killed process cannot
// clean up, so its temporary file may stay: those are counted and removed between rounds.
TEST_F(InterruptedSave, AProcessKilledWhileSavingLeavesOneWholeDocument) {
    constexpr int kRounds = 40;
    constexpr int kTanks = 3000;  // large enough for a save to take a while
    const auto first = Configuration(1, kTanks);
    const auto second = Configuration(2, kTanks);
    const std::string firstBytes = Written(first.get());
    const std::string secondBytes = Written(second.get());
    ASSERT_TRUE(SaveXmlDocument(first.get(), path));

    // Kill moments spread over a few saves' time (measured, not asserted).
    const auto started = Clock::now();
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(SaveXmlDocument(i % 2 ? first.get() : second.get(), path));
    const auto saveTime = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started) / 4;

    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("random seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<long> killAfter(0, 3 * saveTime.count() + 1000);
    int interrupted = 0;
    for (int round = 0; round < kRounds; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i) {
                if (!SaveXmlDocument(i % 2 ? first.get() : second.get(), path)) ::_exit(2);
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(killAfter(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(child, ::waitpid(child, &status, 0));
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the saving child ended by itself, status " << status;

        const std::optional<std::string> content = OnDisk();
        ASSERT_TRUE(content) << "round " << round << ": no file";
        ASSERT_TRUE(*content == firstBytes || *content == secondBytes)
            << "round " << round << ": " << content->size() << " bytes that are neither document";
        for (const std::string& name : Entries(folder)) {
            if (name == kFileName) continue;
            ++interrupted;
            fs::remove(folder / name);
        }
    }
    std::cout << "[          ] " << interrupted << " of " << kRounds << " kills interrupted a save after its temporary file was made\n";
    EXPECT_GT(interrupted, 0) << "no kill landed inside a save: the test did not interrupt anything";
}

}  // namespace
}  // namespace levrano
