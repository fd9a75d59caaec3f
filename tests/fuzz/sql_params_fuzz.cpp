// Any text through the parameter scan of TIscQuery::SetSQL: no crash; the processed text holds
// exactly one "?" per parameter name, the names hold only name characters, and putting each name
// back after its "?" gives the original text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "db/isc_query.h"

namespace {

bool IsNameChar(char c) {
    return c == '$' || c == '_' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

void Require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    levrano::TIscQuery query(nullptr);
    query.SetSQL(text);

    const std::string& processed = query.ProcessedSQL();
    const auto& names = query.ParamNames();
    std::size_t marks = 0;
    std::string rebuilt;
    for (char c : processed) {
        rebuilt += c;
        if (c != '?') continue;
        Require(marks < names.size());
        for (char n : names[marks]) Require(IsNameChar(n));
        rebuilt += names[marks++];
    }
    Require(marks == names.size());
    Require(rebuilt == text);
    return 0;
}
