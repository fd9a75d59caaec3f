#include "gauge-sim/simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <iomanip>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace levrano::gauge_sim {

namespace {

[[noreturn]] void ThrowErrno(const std::string& what) { throw std::system_error(errno, std::generic_category(), what); }

void CheckAddress(int address) {
    if (address < 1 || address > 99)
        throw std::invalid_argument("probe address " + std::to_string(address) + " is not between 1 and 99");
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

std::string Hex(const std::string& bytes) {
    std::ostringstream out;
    out << std::hex << std::uppercase << std::setfill('0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        out << (i ? " " : "") << std::setw(2) << static_cast<int>(static_cast<std::uint8_t>(bytes[i]));
    return out.str();
}

}  // namespace

Simulator::Simulator(SimulatorOptions options) : format_(options.format), trace_(options.trace) {
    for (const ProbeSettings& p : options.probes) {
        CheckAddress(p.address);
        if (probes_.count(p.address))
            throw std::invalid_argument("probe address " + std::to_string(p.address) + " is given twice");
        probes_[p.address] = Probe{p, started_, started_, {}};
    }
    stop_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stop_ < 0) ThrowErrno("creating the stop event");
}

Simulator::~Simulator() {
    Stop();
    for (int fd : {line_, slave_, stop_})
        if (fd >= 0) close(fd);
}

std::string Simulator::OpenPseudoTerminal() {
    if (line_ >= 0) throw std::logic_error("the simulator already has a line");
    char name[256] = {};
    if (openpty(&line_, &slave_, name, nullptr, nullptr) != 0) ThrowErrno("opening a pseudo-terminal");
    // Raw from the start: no echo of requests back to us, no line editing, before any port
    // connects and sets the line itself.
    termios t{};
    tcgetattr(slave_, &t);
    cfmakeraw(&t);
    tcsetattr(slave_, TCSANOW, &t);
    fcntl(line_, F_SETFD, FD_CLOEXEC);
    fcntl(slave_, F_SETFD, FD_CLOEXEC);
    fcntl(line_, F_SETFL, fcntl(line_, F_GETFL) | O_NONBLOCK);
    pseudoTerminal_ = true;
    return name;
}

void Simulator::OpenDevice(const std::string& path) {
    if (line_ >= 0) throw std::logic_error("the simulator already has a line");
    line_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (line_ < 0) ThrowErrno("opening " + path);
    serial::LineSettings settings;
    settings.baudRate = format_.baudRate;
    settings.dataBits = format_.dataBits;
    settings.parity = format_.parity;
    settings.rts = serial::RtsControl::On;
    settings.dtr = true;
    serial::ApplyLineSettings(line_, settings);
}

void Simulator::Start() {
    if (line_ < 0) throw std::logic_error("the simulator has no line: open one first");
    if (thread_.joinable()) return;
    thread_ = std::thread(&Simulator::Serve, this);
}

void Simulator::Stop() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(stop_, &one, sizeof one);  // cannot fail for a few stops
    if (thread_.joinable()) thread_.join();
}

void Simulator::SetProbe(const ProbeSettings& probe) {
    CheckAddress(probe.address);
    std::lock_guard<std::mutex> guard(mutex_);
    const auto now = Clock::now();
    Probe& p = probes_[probe.address];
    p.settings = probe;
    p.valuesSince = p.faultsSince = now;
}

void Simulator::SetValues(int address, const ValueSource& values) {
    std::lock_guard<std::mutex> guard(mutex_);
    Probe& p = Find(address);
    p.settings.values = values;
    p.valuesSince = Clock::now();
}

void Simulator::SetFaults(int address, const Faults& faults) {
    std::lock_guard<std::mutex> guard(mutex_);
    Probe& p = Find(address);
    p.settings.faults = faults;
    p.faultsSince = Clock::now();
}

ProbeCounters Simulator::Counters(int address) const {
    std::lock_guard<std::mutex> guard(mutex_);
    const auto it = probes_.find(address);
    return it == probes_.end() ? ProbeCounters{} : it->second.counters;
}

LineCounters Simulator::Line() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return lineCounters_;
}

std::vector<int> Simulator::Addresses() const {
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<int> addresses;
    for (const auto& entry : probes_) addresses.push_back(entry.first);
    return addresses;
}

Simulator::Probe& Simulator::Find(int address) {
    const auto it = probes_.find(address);
    if (it == probes_.end()) throw std::invalid_argument("no probe at address " + std::to_string(address));
    return it->second;
}

void Simulator::Serve() {
    RequestReader reader;
    for (;;) {
        pollfd fds[2] = {{line_, POLLIN, 0}, {stop_, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR) return;
        if (fds[1].revents) return;
        char bytes[256];
        const ssize_t n = read(line_, bytes, sizeof bytes);
        if (n <= 0) {
            // A device error or hang-up: try again later rather than spin.
            if (n == 0 || (errno != EAGAIN && errno != EINTR))
                if (!WaitUntil(Clock::now() + std::chrono::milliseconds(100))) return;
            continue;
        }
        const auto receivedAt = Clock::now();
        for (ssize_t i = 0; i < n; ++i) bytes[i] = static_cast<char>(format_.Data(static_cast<std::uint8_t>(bytes[i])));
        reader.Feed(std::string_view(bytes, static_cast<std::size_t>(n)));
        while (const auto request = reader.Next()) Answer(*request, receivedAt);
        std::lock_guard<std::mutex> guard(mutex_);
        lineCounters_.discardedBytes = reader.Discarded();
    }
}

Response Simulator::Respond(const Request& request) {
    std::lock_guard<std::mutex> guard(mutex_);
    const auto it = probes_.find(request.address);
    if (it == probes_.end()) {
        ++lineCounters_.unknownAddress;
        return {};
    }
    Probe& p = it->second;
    const auto now = Clock::now();
    Response r = gauge_sim::Respond(p.settings, request.command, Seconds(now - p.valuesSince), Seconds(now - p.faultsSince));
    ++p.counters.requests;
    if (!r.bytes.empty()) ++p.counters.answers;
    if (!r.faults.empty()) ++p.counters.faults;
    return r;
}

void Simulator::Answer(const Request& request, Clock::time_point receivedAt) {
    Trace('<', request, RequestFrame(request.command, request.address), "");
    const Response r = Respond(request);
    if (r.bytes.empty()) {
        if (!r.faults.empty()) Trace('-', request, "", r.faults);
        return;
    }
    // The request itself took its line time to arrive; a real probe answers only after it.
    const auto start = receivedAt + format_.CharTime() * kRequestLength + r.delay;
    if (!WaitUntil(start)) return;
    Transmit(r.bytes, start);
    Trace('>', request, r.bytes, r.faults);
}

void Simulator::Transmit(const std::string& bytes, Clock::time_point start) {
    // Each byte is handed over when its last bit would have arrived; the schedule is absolute so
    // that sleeping late once does not slow the rest of the frame.
    auto due = start;
    for (char c : bytes) {
        due += format_.CharTime();
        if (!WaitUntil(due)) return;
        const std::uint8_t onLine = pseudoTerminal_ ? format_.OnLine(static_cast<std::uint8_t>(c)) : static_cast<std::uint8_t>(c);
        // A byte nobody takes (the receiver's buffer is full) is lost, as on a real line.
        [[maybe_unused]] const ssize_t sent = write(line_, &onLine, 1);
    }
}

bool Simulator::WaitUntil(Clock::time_point deadline) const {
    for (;;) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) return true;
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec timeout{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
        pollfd stop{stop_, POLLIN, 0};
        const int r = ppoll(&stop, 1, &timeout, nullptr);
        if (r > 0) return false;
        if (r < 0 && errno != EINTR) return true;
    }
}

void Simulator::Trace(char direction, const Request& request, const std::string& bytes, const std::string& faults) {
    if (!trace_) return;
    char head[48];
    std::snprintf(head, sizeof head, "%10.3f %c%c %02d %c ", Seconds(Clock::now() - started_), direction, direction,
                  request.address, request.command);
    std::lock_guard<std::mutex> guard(traceMutex_);
    *trace_ << head << (bytes.empty() ? "(no answer)" : Hex(bytes));
    if (!faults.empty()) *trace_ << "  [" << faults << "]";
    *trace_ << '\n' << std::flush;
}

}  // namespace levrano::gauge_sim
