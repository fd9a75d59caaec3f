// Message texts split into the lines that error handlers receive.
#include <gtest/gtest.h>

#include "common/exception.h"
#include "db/isc_client.h"

namespace levrano {
namespace {

TEST(MessageLines, SplitAtCarriageReturns) {
    const struct {
        const char* text;
        TIscMessageLines lines;
    } cases[] = {
        {"", {}},
        {"one", {"one"}},
        {"one\r\ntwo", {"one", "two"}},
        {"one\r\ntwo\r\n", {"one", "two"}},
        {"one\rtwo", {"one", "two"}},
        {"one\ntwo", {"one\ntwo"}},  // a line feed alone breaks nothing
        {"one\r\n\r\nthree", {"one", "", "three"}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitMessageLines(c.text), c.lines) << ::testing::PrintToString(c.text);
}

TEST(MessageLines, InitialErrorProcedureEndsEveryLine) {
    try {
        RaiseIscError(-2, {"a", "b"});
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Code(), -2);
        EXPECT_EQ(e.Message(), "a\r\nb\r\n");
    }
}

}  // namespace
}  // namespace levrano
