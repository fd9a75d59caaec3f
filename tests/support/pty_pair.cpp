#include "pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace levrano::test {

PtyPair::PtyPair() {
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&master_, &slave_, name, &raw, nullptr) != 0)
        throw std::system_error(errno, std::generic_category(), "openpty");
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slave_, F_SETFD, FD_CLOEXEC);
    slavePath_ = name;
}

PtyPair::~PtyPair() {
    close(master_);
    close(slave_);
}

void PtyPair::Send(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = write(master_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw std::system_error(errno, std::generic_category(), "writing to the pseudo-terminal");
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

std::string PtyPair::Receive(std::size_t count, std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    std::string received;
    while (received.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{master_, POLLIN, 0};
        if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) break;
        char buffer[256];
        const ssize_t n = read(master_, buffer, std::min(sizeof buffer, count - received.size()));
        if (n <= 0) break;
        received.append(buffer, static_cast<std::size_t>(n));
    }
    return received;
}

}  // namespace levrano::test
