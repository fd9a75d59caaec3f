// A pseudo-terminal made in-process: the slave stands for the station's end of a serial cable,
// the master for the device at the other end. The slave stays open (raw) for the pair's life, so
// the line stays up while ports open and close it.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace levrano::test {

class PtyPair {
public:
    // Throws std::system_error when no pseudo-terminal can be made.
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& SlavePath() const { return slavePath_; }
    int Master() const { return master_; }

    // Sends bytes from the device's end: the slave's reader gets them.
    void Send(std::string_view bytes);
    // What was written to the slave: up to `count` bytes, waiting at most `timeout` in all.
    std::string Receive(std::size_t count, std::chrono::milliseconds timeout);

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

}  // namespace levrano::test
