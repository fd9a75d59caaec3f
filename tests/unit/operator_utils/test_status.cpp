// TStatus as a host sees it: called through its vtable by slot position, not by name.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/cp1251.h"
#include "common/intf_ptr.h"
#include "operator/status.h"
#include "support/test_host.h"

namespace levrano {
namespace {

using test::CallSlot;

// IStatus positions as hosts call them.
constexpr int kGetCode = 1, kGetText = 2, kIsOk = 3;

struct StatusCase {
    std::int32_t code;
    std::string text;
};

class StatusBySlot : public ::testing::TestWithParam<StatusCase> {};

TEST_P(StatusBySlot, AnswersCodeTextAndOkThroughTheirPositions) {
    const StatusCase& c = GetParam();
    const auto status = IntfPtr<IStatus>::Adopt(NewStatus(c.code, c.text));

    EXPECT_EQ(c.code, CallSlot<std::int32_t>(status.get(), kGetCode));
    EXPECT_EQ(c.code == 0, CallSlot<bool>(status.get(), kIsOk));

    char buffer[64];
    std::memset(buffer, 0x7F, sizeof buffer);
    EXPECT_EQ(buffer, CallSlot<char*>(status.get(), kGetText, static_cast<char*>(buffer)));
    EXPECT_EQ(c.text, std::string(buffer));
    EXPECT_EQ('\x7F', buffer[c.text.size() + 1]) << "wrote past the terminating zero";
}

INSTANTIATE_TEST_SUITE_P(
    Codes, StatusBySlot,
    ::testing::Values(StatusCase{0, ""}, StatusCase{-5, "x"}, StatusCase{20, std::string("Нет связи"_cp)},
                      StatusCase{30, std::string("Сбой по линии связи"_cp)},
                      StatusCase{1, std::string(34, '\xC0')}, StatusCase{-2147483647 - 1, "min"}));

TEST(Status, NoBufferGivesNoneInsteadOfACrash) {
    const auto status = IntfPtr<IStatus>::Adopt(NewStatus(10, std::string("Инициализация"_cp)));
    EXPECT_EQ(nullptr, status->GetText(nullptr));
}

}  // namespace
}  // namespace levrano
