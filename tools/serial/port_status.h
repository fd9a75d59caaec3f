// The result a host-side port hands back from Read and Write: a code (0 = success) and a short
// text. Header-only so that scripted ports in tests answer with the same objects.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "common/refcounted.h"
#include "host/OperatorIntf.h"

namespace levrano::serial {

class PortStatus : public RefCounted<IStatus> {
public:
    // Callers copy the text into a buffer of this size (terminating zero included).
    static constexpr std::size_t kTextRoom = 35;

    PortStatus(std::int32_t code, std::string text) : code_(code), text_(std::move(text)) {}

    static IStatus* Ok() { return NewCounted<PortStatus>(0, std::string()); }
    static IStatus* Failed(std::int32_t code, std::string text) {
        return NewCounted<PortStatus>(code, std::move(text));
    }

    std::int32_t GetCode() override { return code_; }
    char* GetText(char* buffer) override {
        const std::size_t n = std::min(text_.size(), kTextRoom - 1);
        std::memcpy(buffer, text_.data(), n);
        buffer[n] = '\0';
        return buffer;
    }
    bool IsOk() override { return code_ == 0; }

private:
    std::int32_t code_;
    std::string text_;
};

}  // namespace levrano::serial
