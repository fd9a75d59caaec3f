// Loading and saving real files: the two load errors, and saves that replace a file whole or
// leave it untouched.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "common/cp1251.h"
#include "common/exception.h"
#include "platform/system_error.h"
#include "xml/xmldoc.h"
#include "xml_test_support.h"

namespace levrano {
namespace {

namespace fs = std::filesystem;
using xmltest::Describe;
using xmltest::ParseOk;
using xmltest::Written;

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::set<std::string> Entries(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

std::string LoadError(const std::string& path) {
    try {
        LoadXmlDocument(path);
    } catch (const Exception& e) {
        EXPECT_EQ(0, e.Code());
        return e.Message();
    }
    ADD_FAILURE() << "loaded " << path;
    return {};
}

const std::string kOldContent = "<?xml version=\"1.0\"?>\r\n<old keep=\"this\"/>\r\n";

class XmlFile : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "levrano-xml-XXXXXX").string();
        ASSERT_NE(nullptr, ::mkdtemp(pattern.data()));
        folder = pattern;
    }
    void TearDown() override { fs::remove_all(folder); }

    std::unique_ptr<TXmlDocument> Settings() const {
        return ParseOk(std::string("<R><boot name=\"Свойства\"/><port number=\"2\" mode=\"9600E7\"/><Tanks default=\"true\"/></R>"_cp));
    }

    fs::path folder;
};

TEST_F(XmlFile, MissingFileOrFolderCannotBeOpened) {
    const std::string missing = (folder / "none.xml").string();
    EXPECT_EQ(std::string("Ошибка открытия файла \""_cp) + missing + "\" :" + SystemErrorText(ENOENT), LoadError(missing));
    EXPECT_EQ(std::string("Ошибка открытия файла \""_cp) + folder.string() + "\" :" + SystemErrorText(EISDIR),
              LoadError(folder.string()));
}

TEST_F(XmlFile, MalformedFileNamesTheFaultAfterALineBreak) {
    const fs::path path = folder / "bad.xml";
    WriteBytes(path, "<a/>\r\n</b>");
    EXPECT_EQ(std::string("Ошибка XML в файле \""_cp) + path.string() + "\"\r\n(2:4): (3) - " +
                  std::string(" неожиданный тег закрытия \"b\""_cp),
              LoadError(path.string()));
}

TEST_F(XmlFile, SavedFileLoadsIntoTheSameTree) {
    const fs::path path = folder / "levrano.xml";
    auto doc = Settings();
    ASSERT_TRUE(SaveXmlDocument(doc.get(), path.string()));
    EXPECT_EQ(Written(doc.get()), ReadBytes(path));
    EXPECT_EQ(Describe(doc.get()), Describe(LoadXmlDocument(path.string()).get()));
    EXPECT_EQ(std::set<std::string>{"levrano.xml"}, Entries(folder));
}

TEST_F(XmlFile, SaveReplacesTheWholeFileAndKeepsItsPermissions) {
    const fs::path path = folder / "levrano.xml";
    WriteBytes(path, kOldContent + std::string(10000, ' '));
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    auto doc = Settings();
    ASSERT_TRUE(SaveXmlDocument(doc.get(), path.string()));
    EXPECT_EQ(Written(doc.get()), ReadBytes(path));
    EXPECT_EQ(fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read, fs::status(path).permissions());
    EXPECT_EQ(std::set<std::string>{"levrano.xml"}, Entries(folder));
}

TEST_F(XmlFile, SaveThroughASymbolicLinkKeepsTheLink) {
    fs::create_directory(folder / "real");
    const fs::path target = folder / "real" / "levrano.xml";
    WriteBytes(target, kOldContent);
    const fs::path link = folder / "link.xml";
    fs::create_symlink(target, link);
    auto doc = Settings();
    ASSERT_TRUE(SaveXmlDocument(doc.get(), link.string()));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Written(doc.get()), ReadBytes(target));
    EXPECT_EQ(std::set<std::string>{"levrano.xml"}, Entries(folder / "real"));
}

struct TFailedSave {
    const char* what;
    std::string path;
    std::string oldBytes;  // what the path held before; empty when it was no regular file
};

TEST_F(XmlFile, SaveThatCannotCompleteChangesNothing) {
    const fs::path directory = folder / "taken.xml";
    fs::create_directory(directory);
    WriteBytes(directory / "keep", "keep");
    const TFailedSave cases[] = {
        {"a folder that does not exist", (folder / "missing" / "levrano.xml").string(), ""},
        {"a path that is a directory", directory.string(), ""},
        {"a file in a folder where nothing can be created", "/proc/version", ReadBytes("/proc/version")},
    };
    auto doc = Settings();
    for (const TFailedSave& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(SaveXmlDocument(doc.get(), c.path));
        if (!c.oldBytes.empty()) {
            EXPECT_EQ(c.oldBytes, ReadBytes(c.path));
        }
    }
    EXPECT_TRUE(fs::is_directory(directory));
    EXPECT_EQ(std::set<std::string>{"keep"}, Entries(directory));
    EXPECT_EQ(std::set<std::string>{"taken.xml"}, Entries(folder)) << "no temporary file is left";
}

TEST_F(XmlFile, DocumentWithoutRootNameIsNotSaved) {
    const fs::path path = folder / "levrano.xml";
    WriteBytes(path, kOldContent);
    auto doc = ParseOk("");  // an empty file reads as a document without a name
    WriteString(doc.get(), "port", "number", "1");
    EXPECT_FALSE(SaveXmlDocument(doc.get(), path.string()));
    EXPECT_EQ(kOldContent, ReadBytes(path));
    EXPECT_EQ(std::set<std::string>{"levrano.xml"}, Entries(folder));
}

// Lowers the largest file size this process may write, so that writing the new content fails
// even for root.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = ::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = saved_;
        lowered.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~TFileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        ::signal(SIGXFSZ, previous_);
    }

private:
    rlimit saved_{};
    sighandler_t previous_{};
};

TEST_F(XmlFile, FailedWriteLeavesTheOldFileAndNoTemporary) {
    const fs::path path = folder / "levrano.xml";
    WriteBytes(path, kOldContent);
    auto doc = Settings();
    ASSERT_GT(Written(doc.get()).size(), 64u);
    {
        TFileSizeLimit limit(64);
        EXPECT_FALSE(SaveXmlDocument(doc.get(), path.string()));
    }
    EXPECT_EQ(kOldContent, ReadBytes(path));
    EXPECT_EQ(std::set<std::string>{"levrano.xml"}, Entries(folder));
}

}  // namespace
}  // namespace levrano
