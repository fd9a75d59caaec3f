#include "scripted_port.h"

#include "serial/port_status.h"

namespace levrano::test {

using serial::PortStatus;

void ScriptedPort::Script(const std::string& request, std::vector<std::string> answers) {
    std::lock_guard<std::mutex> guard(mutex_);
    script_[request] = std::move(answers);
    answered_[request] = 0;
}

void ScriptedPort::AddInput(const std::string& bytes) {
    std::lock_guard<std::mutex> guard(mutex_);
    input_.insert(input_.end(), bytes.begin(), bytes.end());
}

void ScriptedPort::SetEmptyReadsOk(bool ok) {
    std::lock_guard<std::mutex> guard(mutex_);
    emptyReadsOk_ = ok;
}

std::vector<std::string> ScriptedPort::Writes() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return writes_;
}

std::vector<ScriptedPort::Clock::time_point> ScriptedPort::WriteTimes() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return writeTimes_;
}

int ScriptedPort::Purges() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return purges_;
}

int ScriptedPort::Reads() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return reads_;
}

int ScriptedPort::Locks() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return locks_;
}

int ScriptedPort::Unlocks() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return unlocks_;
}

int ScriptedPort::UnheldCalls() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return unheldCalls_;
}

void ScriptedPort::NoteHeld() {
    if (!held_) ++unheldCalls_;
}

void ScriptedPort::Lock() {
    std::lock_guard<std::mutex> guard(mutex_);
    ++locks_;
    held_ = true;
}

void ScriptedPort::Unlock() {
    std::lock_guard<std::mutex> guard(mutex_);
    NoteHeld();
    ++unlocks_;
    held_ = false;
}

void ScriptedPort::Purge() {
    std::lock_guard<std::mutex> guard(mutex_);
    NoteHeld();
    ++purges_;
    input_.clear();
}

IStatus* ScriptedPort::Read(std::int32_t wanted, void* buffer, std::int32_t size, std::int32_t* received) {
    std::lock_guard<std::mutex> guard(mutex_);
    NoteHeld();
    ++reads_;
    *received = 0;
    auto* out = static_cast<char*>(buffer);
    while (*received < wanted && *received < size && !input_.empty()) {
        out[(*received)++] = input_.front();
        input_.pop_front();
    }
    if (*received == wanted || emptyReadsOk_) return PortStatus::Ok();
    return PortStatus::Failed(1, "time-out");
}

IStatus* ScriptedPort::Write(const void* buffer, std::int32_t count) {
    std::lock_guard<std::mutex> guard(mutex_);
    NoteHeld();
    const std::string request(static_cast<const char*>(buffer), static_cast<std::size_t>(count));
    writes_.push_back(request);
    writeTimes_.push_back(Clock::now());
    const auto it = script_.find(request);
    if (it != script_.end() && !it->second.empty()) {
        std::size_t& n = answered_[request];
        const std::string& answer = it->second[std::min(n, it->second.size() - 1)];
        ++n;
        input_.insert(input_.end(), answer.begin(), answer.end());
    }
    return PortStatus::Ok();
}

}  // namespace levrano::test
