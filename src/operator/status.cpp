#include "operator/status.h"

#include <cstring>
#include <utility>

namespace levrano {

TStatus::TStatus(std::int32_t code, std::string text) : Code(code), Text(std::move(text)) {}

std::int32_t TStatus::GetCode() { return Code; }

char* TStatus::GetText(char* buffer) {
    // A host passing no buffer gets none back instead of a crash.
    if (!buffer) return nullptr;
    std::memcpy(buffer, Text.c_str(), Text.size() + 1);
    return buffer;
}

bool TStatus::IsOk() { return Code == 0; }

IStatus* NewStatus(std::int32_t code, std::string text) { return NewCounted<TStatus>(code, std::move(text)); }

}  // namespace levrano
