// What a host relies on from every module object: counted references, queries and identity.
#include <gtest/gtest.h>

#include "common/cp1251.h"
#include "common/intf_ptr.h"
#include "common/refcounted.h"
#include "host/OperatorIntf.h"

namespace levrano {
namespace {

constexpr GUID kSample = MakeGuid("{0AD4B1CF-CC54-424C-90DE-427E918278BB}");
static_assert(kSample.Data1 == 0x0AD4B1CF && kSample.Data2 == 0xCC54 && kSample.Data3 == 0x424C);
static_assert(kSample.Data4[0] == 0x90 && kSample.Data4[1] == 0xDE && kSample.Data4[7] == 0xBB);

TEST(Guid, TextFormGivesWindowsByteLayout) {
    const unsigned char expected[16] = {0xCF, 0xB1, 0xD4, 0x0A, 0x54, 0xCC, 0x4C, 0x42,
                                        0x90, 0xDE, 0x42, 0x7E, 0x91, 0x82, 0x78, 0xBB};
    EXPECT_EQ(0, std::memcmp(&kSample, expected, 16));
}

int g_alive = 0;

class Probe : public RefCounted<IStatus> {
public:
    Probe() { ++g_alive; }
    ~Probe() override { --g_alive; }
    std::int32_t GetCode() override { return 7; }
    char* GetText(char* buffer) override { return buffer; }
    bool IsOk() override { return false; }
};

TEST(RefCounted, ResultCarriesOneReferenceAndDiesAtLastRelease) {
    IStatus* s = NewCounted<Probe>();
    ASSERT_EQ(1, g_alive);
    EXPECT_EQ(2, s->AddRef());
    EXPECT_EQ(1, s->Release());
    EXPECT_EQ(1, g_alive);
    EXPECT_EQ(0, s->Release());
    EXPECT_EQ(0, g_alive);
}

TEST(RefCounted, QueryAnswersListedInterfacesAndIInterfaceWithOneReference) {
    auto s = IntfPtr<IStatus>::Adopt(NewCounted<Probe>());
    void* out = reinterpret_cast<void*>(1);
    ASSERT_EQ(kOk, s->QueryInterface(IID_IStatus, &out));
    EXPECT_EQ(static_cast<void*>(s.get()), out);
    EXPECT_EQ(1, s->Release());  // only the query's own reference goes

    ASSERT_EQ(kOk, s->QueryInterface(IID_IInterface, &out));
    EXPECT_EQ(static_cast<void*>(static_cast<IInterface*>(s.get())), out);
    static_cast<IInterface*>(out)->Release();
}

TEST(RefCounted, FailedQueryReturnsNoInterfaceAndNullsOut) {
    auto s = IntfPtr<IStatus>::Adopt(NewCounted<Probe>());
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(kNoInterface, s->QueryInterface(IID_ITankState, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(2, s->AddRef());  // the failed query took no reference
    s->Release();
}

TEST(IntfPtr, CastRaisesInterfaceNotSupported) {
    auto s = IntfPtr<IStatus>::Adopt(NewCounted<Probe>());
    EXPECT_FALSE(s.Query<ITankState>());
    try {
        s.Cast<ITankState>();
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ("Interface not supported", e.Message());
    }
    {
        IntfPtr<IStatus> copy = s;
        EXPECT_EQ(1, g_alive);
    }
    s.Reset();
    EXPECT_EQ(0, g_alive);
}

TEST(Cp1251, LiteralsAreWindows1251Bytes) {
    EXPECT_EQ(std::string_view("\xCD\xE5\xF2 \xF1\xE2\xFF\xE7\xE8"), "Нет связи"_cp);
    EXPECT_EQ(std::string_view("\xA8\xB8\xB9"), "Ёё№"_cp);
    EXPECT_EQ('\0', "Ошибка"_cp.data()["Ошибка"_cp.size()]);
}

TEST(Cp1251, RoundTripsThroughUtf8AndFoldsCase) {
    for (int c = 0; c < 256; ++c) {
        if (c == 0x98) continue;  // no character there
        const std::string one(1, static_cast<char>(c));
        EXPECT_EQ(one, cp1251::FromUtf8(cp1251::ToUtf8(one))) << c;
    }
    EXPECT_TRUE(cp1251::EqualNoCase("Tanks"_cp, "tANKS"_cp));
    EXPECT_TRUE(cp1251::EqualNoCase("РЕЗЕРВУАР Ё"_cp, "резервуар ё"_cp));
    EXPECT_FALSE(cp1251::EqualNoCase("tank_", "tank-"));
}

}  // namespace
}  // namespace levrano
