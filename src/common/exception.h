// The one exception type that module code raises: a Windows-1251 message and a 32-bit code.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <utility>

namespace levrano {

class Exception : public std::exception {
public:
    explicit Exception(std::string message, std::int32_t code = 0) : message_(std::move(message)), code_(code) {}

    const std::string& Message() const noexcept { return message_; }
    std::int32_t Code() const noexcept { return code_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
    std::int32_t code_;
};

}  // namespace levrano
