// TStatus: the module's immutable status, a code (0 = success) with its Windows-1251 text.
#pragma once

#include <cstdint>
#include <string>

#include "common/refcounted.h"
#include "host/OperatorIntf.h"

namespace levrano {

class TStatus : public RefCounted<IStatus> {
public:
    TStatus(std::int32_t code, std::string text);

    std::int32_t GetCode() override;
    // The caller's buffer must hold the text and its terminating zero; no size is passed.
    char* GetText(char* buffer) override;
    bool IsOk() override;

private:
    const std::int32_t Code;
    const std::string Text;
};

// A new status with one reference for the caller.
IStatus* NewStatus(std::int32_t code, std::string text);

}  // namespace levrano
