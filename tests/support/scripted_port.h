// An in-memory serial port for unit tests of the probe: each write of a scripted request puts
// its next answer into the input, reads take the input one call at a time and fail at once (as a
// time-out would) when nothing is left. It records what the probe did with the line.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "common/refcounted.h"
#include "host/cportIntf.h"

namespace levrano::test {

class ScriptedPort : public RefCounted<ICPort> {
public:
    using Clock = std::chrono::steady_clock;

    // The writes of `request` are answered by `answers` in turn; the last one answers every later
    // write. An empty answer is silence. Replaces an earlier script of the same request.
    void Script(const std::string& request, std::vector<std::string> answers);
    // Bytes already waiting in the input, as if they had arrived before the next Purge.
    void AddInput(const std::string& bytes);
    // With this set, a read that finds no input reports success with no byte received.
    void SetEmptyReadsOk(bool ok);

    std::vector<std::string> Writes() const;
    std::vector<Clock::time_point> WriteTimes() const;
    int Purges() const;
    int Reads() const;
    int Locks() const;
    int Unlocks() const;
    // Every operation other than Lock that came while the line was not held.
    int UnheldCalls() const;

    void PortReserved1() override {}
    void PortReserved2() override {}
    void PortReserved3() override {}
    void SetState(DCB) override {}
    void PortReserved5() override {}
    void SetOption(std::int32_t) override {}
    void PortReserved7() override {}
    void SetTimeout(std::int32_t) override {}
    void PortReserved9() override {}
    void SetInterval(std::int32_t) override {}
    void Lock() override;
    void Unlock() override;
    void Purge() override;
    IStatus* Read(std::int32_t wanted, void* buffer, std::int32_t size, std::int32_t* received) override;
    IStatus* Write(const void* buffer, std::int32_t count) override;

private:
    void NoteHeld();

    mutable std::mutex mutex_;
    std::map<std::string, std::vector<std::string>> script_;
    std::map<std::string, std::size_t> answered_;
    std::deque<char> input_;
    bool emptyReadsOk_ = false;
    std::vector<std::string> writes_;
    std::vector<Clock::time_point> writeTimes_;
    int purges_ = 0, reads_ = 0, locks_ = 0, unlocks_ = 0, unheldCalls_ = 0;
    bool held_ = false;
};

}  // namespace levrano::test
