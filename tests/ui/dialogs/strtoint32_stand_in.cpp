// Stand-in until the XML library is on main: the same conversion, so that this program links.
#include "xml/xmldoc.h"

namespace levrano {

std::int32_t StrToInt32(std::string_view text) {
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) i = 1;
    std::uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10 + (text[i] - '0');
    return static_cast<std::int32_t>(negative ? 0u - value : value);
}

}  // namespace levrano
