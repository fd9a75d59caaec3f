#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace levrano {

namespace {

constexpr std::size_t kReadBlock = 64 * 1024;
constexpr int kTemporaryNameAttempts = 100;

std::atomic<TReplaceFaultHook> g_faultHook{nullptr};

// Whether a test wants this step to fail; the failure then looks like an I/O error.
bool FaultInjected(TReplaceStep step) {
    const TReplaceFaultHook hook = g_faultHook.load();
    if (!hook || !hook(step)) return false;
    errno = EIO;
    return true;
}

class TFileDescriptor {
public:
    explicit TFileDescriptor(int fd = -1) : fd_(fd) {}
    ~TFileDescriptor() { Close(); }
    TFileDescriptor(const TFileDescriptor&) = delete;
    TFileDescriptor& operator=(const TFileDescriptor&) = delete;

    int Get() const { return fd_; }
    void Reset(int fd) {
        Close();
        fd_ = fd;
    }
    // Closing reports write-back errors that some file systems only detect here.
    bool Close() {
        if (fd_ < 0) return true;
        const bool closed = ::close(fd_) == 0;
        fd_ = -1;
        return closed;
    }

private:
    int fd_;
};

// A symbolic link is followed, so that the link itself survives the replacement.
std::string ResolveTarget(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) return path;
    std::string target(resolved);
    std::free(resolved);
    return target;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string TemporaryName(const std::string& folder) {
    static std::atomic<unsigned> counter{0};
    return folder + "/.levrano-save-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

// Step 1: a new file beside the target, with the target's permissions when it exists.
bool CreateTemporaryFile(const std::string& target, TFileDescriptor& file, std::string& name) {
    const std::string folder = FolderOf(target);
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        name = TemporaryName(folder);
        if (FaultInjected(TReplaceStep::Create)) return false;
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) return false;
        file.Reset(fd);
        struct stat old {};
        if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode) && ::fchmod(fd, old.st_mode & 07777) != 0) {
            file.Close();
            ::unlink(name.c_str());
            return false;
        }
        return true;
    }
    return false;
}

// Step 2: every byte of the content.
bool WriteAll(const TFileDescriptor& file, std::string_view content) {
    while (!content.empty()) {
        const ssize_t written = FaultInjected(TReplaceStep::Write) ? -1 : ::write(file.Get(), content.data(), content.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        content.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Step 3: the content is on disk before the name points at it.
bool SyncAndClose(TFileDescriptor& file) {
    const bool synced = !FaultInjected(TReplaceStep::Sync) && ::fsync(file.Get()) == 0;
    return file.Close() && synced;
}

// Step 4: the switch from the old content to the new one, atomic for every reader.
bool RenameOver(const std::string& temporary, const std::string& target) {
    return !FaultInjected(TReplaceStep::Rename) && ::rename(temporary.c_str(), target.c_str()) == 0;
}

// Step 5: makes the rename itself durable. The new content is already in place, so a folder
// that cannot be synced (some file systems refuse) does not turn the save into a failure.
void SyncFolder(const std::string& folder) {
    TFileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0) ::fsync(dir.Get());
}

bool ReadAll(const TFileDescriptor& file, std::size_t sizeHint, std::string& content, int& error) {
    std::size_t block = sizeHint + 1;  // one read for a file of the announced size, one to see its end
    for (;;) {
        const std::size_t used = content.size();
        content.resize(used + block);
        const ssize_t got = ::read(file.Get(), content.data() + used, block);
        content.resize(used + static_cast<std::size_t>(got > 0 ? got : 0));
        if (got == 0) return true;
        if (got < 0 && errno != EINTR) {
            error = errno;
            return false;
        }
        block = kReadBlock;
    }
}

}  // namespace

void SetReplaceFaultHook(TReplaceFaultHook hook) { g_faultHook.store(hook); }

bool ReadWholeFile(const std::string& path, std::string& content, int& error) {
    content.clear();
    TFileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.Get() < 0) {
        error = errno;
        return false;
    }
    struct stat info {};
    const std::size_t sizeHint = ::fstat(file.Get(), &info) == 0 && info.st_size > 0 ? static_cast<std::size_t>(info.st_size) : 0;
    return ReadAll(file, sizeHint, content, error);
}

bool ReplaceFile(const std::string& path, std::string_view content) {
    const std::string target = ResolveTarget(path);
    TFileDescriptor file;
    std::string temporary;
    if (!CreateTemporaryFile(target, file, temporary)) return false;
    if (!WriteAll(file, content) || !SyncAndClose(file) || !RenameOver(temporary, target)) {
        file.Close();
        ::unlink(temporary.c_str());
        return false;
    }
    SyncFolder(FolderOf(target));
    return true;
}

}  // namespace levrano
