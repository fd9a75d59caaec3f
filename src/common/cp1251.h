// Windows-1251 texts. Russian literals are written in UTF-8 in the source and become
// Windows-1251 bytes at compile time ("Нет связи"_cp), so tests compare exact bytes. Conversion
// to Unicode happens only where a display needs it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>

namespace levrano::cp1251 {

// Unicode code points of the bytes 0x80 to 0xBF; 0xC0 to 0xFF are U+0410 to U+044F.
inline constexpr char16_t kHighHalf[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

constexpr char32_t ToUnicode(unsigned char c) {
    if (c < 0x80) return c;
    if (c >= 0xC0) return 0x0410 + (c - 0xC0);
    return kHighHalf[c - 0x80];
}

// The byte for a code point; false when Windows-1251 has no such character.
constexpr bool FromUnicode(char32_t cp, unsigned char& out) {
    if (cp < 0x80) {
        out = static_cast<unsigned char>(cp);
        return true;
    }
    if (cp >= 0x0410 && cp <= 0x044F) {
        out = static_cast<unsigned char>(0xC0 + (cp - 0x0410));
        return true;
    }
    for (int i = 0; i < 64; ++i)
        if (kHighHalf[i] == cp) {
            out = static_cast<unsigned char>(0x80 + i);
            return true;
        }
    return false;
}

// Small letter of a Latin or Cyrillic capital; every other byte is returned unchanged.
constexpr unsigned char ToLower(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
    if (c >= 0xC0 && c <= 0xDF) return static_cast<unsigned char>(c + 32);
    switch (c) {
        case 0x80: return 0x90;  // Ђ
        case 0x81: return 0x83;  // Ѓ
        case 0x8A: return 0x9A;  // Љ
        case 0x8C: return 0x9C;  // Њ
        case 0x8D: return 0x9D;  // Ќ
        case 0x8E: return 0x9E;  // Ћ
        case 0x8F: return 0x9F;  // Џ
        case 0xA1: return 0xA2;  // Ў
        case 0xA3: return 0xBC;  // Ј
        case 0xA5: return 0xB4;  // Ґ
        case 0xA8: return 0xB8;  // Ё
        case 0xAA: return 0xBA;  // Є
        case 0xAF: return 0xBF;  // Ї
        case 0xB2: return 0xB3;  // І
        case 0xBD: return 0xBE;  // Ѕ
        default: return c;
    }
}

constexpr bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (ToLower(static_cast<unsigned char>(a[i])) != ToLower(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

// Decodes one UTF-8 sequence starting at s[i]; advances i. Malformed input yields U+FFFD.
constexpr char32_t NextUtf8(std::string_view s, std::size_t& i) {
    const unsigned char c = static_cast<unsigned char>(s[i++]);
    if (c < 0x80) return c;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
    if (extra < 0) return 0xFFFD;
    char32_t cp = c & (0x3F >> extra);
    for (int k = 0; k < extra; ++k) {
        if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 0xFFFD;
        cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    }
    return cp;
}

// UTF-8 to Windows-1251; characters without a byte become '?'.
inline std::string FromUtf8(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        unsigned char b = '?';
        FromUnicode(NextUtf8(utf8, i), b);
        out.push_back(static_cast<char>(b));
    }
    return out;
}

// Windows-1251 to UTF-8 (for terminals and logs).
inline std::string ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (unsigned char c : text) {
        const char32_t cp = ToUnicode(c);
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

template <std::size_t N>
struct Encoded {
    char bytes[N]{};  // zero-terminated
    std::size_t size = 0;
};

// The Windows-1251 bytes of UTF-8 text; N is the text's length plus one.
template <std::size_t N>
consteval Encoded<N> Encode(std::string_view utf8) {
    Encoded<N> e;
    for (std::size_t i = 0; i < utf8.size();) {
        unsigned char b = 0;
        if (!FromUnicode(NextUtf8(utf8, i), b)) throw "character has no Windows-1251 byte";
        e.bytes[e.size++] = static_cast<char>(b);
    }
    return e;
}

// The literal's UTF-8 bytes come as a character pack: clang 14 crashes on literals passed as a
// class-type template argument once a constant evaluation that involves one reports a note.
template <char... Utf8>
inline constexpr char kUtf8[] = {Utf8..., '\0'};

template <char... Utf8>
inline constexpr auto kEncoded = Encode<sizeof...(Utf8) + 1>(std::string_view(kUtf8<Utf8...>, sizeof...(Utf8)));

}  // namespace levrano::cp1251

namespace levrano {

// "текст"_cp: the Windows-1251 bytes of a UTF-8 literal, zero-terminated, made at compile time
// (kEncoded is a constant; the operator only points at it). The character-pack form of a literal
// operator template is an extension of GCC and clang; clang 14 does not always evaluate a
// consteval one at compile time, so this one is constexpr.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wgnu-string-literal-operator-template"
#endif
template <typename Char, Char... Utf8>
constexpr std::string_view operator""_cp() {
    static_assert(std::is_same_v<Char, char>, "_cp takes narrow (UTF-8) literals");
    return std::string_view(cp1251::kEncoded<Utf8...>.bytes, cp1251::kEncoded<Utf8...>.size);
}
#if defined(__clang__)
#pragma clang diagnostic pop
#endif

}  // namespace levrano
