// Binary contract shared by the module and its hosts: GUIDs, the base interface and the
// fixed-size types. Everything here is plain data or abstract structs so that a host built
// by another compiler calls the same slots.
#pragma once

#include <cstdint>
#include <cstring>

namespace levrano {

using HResult = std::int32_t;
inline constexpr HResult kOk = 0;
inline constexpr HResult kNoInterface = static_cast<HResult>(0x80004002u);

// 16 bytes in the Windows layout.
struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];

    friend constexpr bool operator==(const GUID& a, const GUID& b) {
        if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
        for (int i = 0; i < 8; ++i)
            if (a.Data4[i] != b.Data4[i]) return false;
        return true;
    }
};
static_assert(sizeof(GUID) == 16);

namespace detail {
consteval std::uint32_t HexDigit(char c) {
    if (c >= '0' && c <= '9') return static_cast<std::uint32_t>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<std::uint32_t>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<std::uint32_t>(c - 'A' + 10);
    throw "GUID text holds a character that is not a hexadecimal digit";
}
consteval std::uint32_t HexValue(const char* s, int digits) {
    std::uint32_t v = 0;
    for (int i = 0; i < digits; ++i) v = v * 16 + HexDigit(s[i]);
    return v;
}
}  // namespace detail

// Builds a GUID at compile time from "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
template <std::size_t N>
consteval GUID MakeGuid(const char (&text)[N]) {
    static_assert(N == 39, "GUID text must have the form {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}");
    if (text[0] != '{' || text[9] != '-' || text[14] != '-' || text[19] != '-' || text[24] != '-' ||
        text[37] != '}')
        throw "malformed GUID text";
    GUID g{};
    g.Data1 = detail::HexValue(text + 1, 8);
    g.Data2 = static_cast<std::uint16_t>(detail::HexValue(text + 10, 4));
    g.Data3 = static_cast<std::uint16_t>(detail::HexValue(text + 15, 4));
    g.Data4[0] = static_cast<std::uint8_t>(detail::HexValue(text + 20, 2));
    g.Data4[1] = static_cast<std::uint8_t>(detail::HexValue(text + 22, 2));
    for (int i = 0; i < 6; ++i)
        g.Data4[2 + i] = static_cast<std::uint8_t>(detail::HexValue(text + 25 + 2 * i, 2));
    return g;
}

// The base of every interface: implemented by whoever implements the derived interface.
struct IInterface {
    virtual HResult QueryInterface(const GUID& iid, void** obj) = 0;
    virtual std::int32_t AddRef() = 0;
    virtual std::int32_t Release() = 0;
};

inline constexpr GUID IID_IInterface = MakeGuid("{00000000-0000-0000-C000-000000000046}");

// Each interface names its identifier through this trait so that typed queries need no argument.
template <typename T>
struct InterfaceId;

template <>
struct InterfaceId<IInterface> {
    static constexpr GUID value = IID_IInterface;
};

#define LEVRANO_INTERFACE_ID(Type, text)              \
    inline constexpr GUID IID_##Type = MakeGuid(text); \
    template <>                                        \
    struct InterfaceId<Type> {                         \
        static constexpr GUID value = IID_##Type;      \
    }

}  // namespace levrano
