// Any bytes through the XML reader: no crash and no leak (the sanitizers watch). A document that
// parses and has a root name (the only kind that is ever saved) is written, read back and must
// give the same tree, attributes and texts included; writing that again gives the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "xml/xmldoc.h"

namespace {

using levrano::TXmlNode;

void Require(bool condition) {
    if (!condition) std::abort();
}

std::size_t ChildCount(const TXmlNode* node) {
    return node && node->Children ? node->Children->size() : 0;
}

const TXmlNode* ChildAt(const TXmlNode* node, std::size_t index) {
    return (*node->Children)[index].get();
}

// Compares node by node with an explicit stack: a fuzzed document may nest deeply.
bool SameTree(const TXmlNode* first, const TXmlNode* second) {
    std::vector<std::pair<const TXmlNode*, const TXmlNode*>> pending{{first, second}};
    while (!pending.empty()) {
        const auto [a, b] = pending.back();
        pending.pop_back();
        if (a->Kind != b->Kind || a->Name != b->Name || a->Text != b->Text) return false;
        const TXmlNode* attributesA = a->Attributes.get();
        const TXmlNode* attributesB = b->Attributes.get();
        if (ChildCount(attributesA) != ChildCount(attributesB) || ChildCount(a) != ChildCount(b)) return false;
        for (std::size_t i = 0; i < ChildCount(attributesA); ++i)
            pending.emplace_back(ChildAt(attributesA, i), ChildAt(attributesB, i));
        for (std::size_t i = 0; i < ChildCount(a); ++i) pending.emplace_back(ChildAt(a, i), ChildAt(b, i));
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    auto document = levrano::NewXmlDocument();
    const bool parsed = levrano::ParseXml(document.get(), input);
    Require(parsed == (document->ErrorCode == 0));
    Require(!levrano::XmlErrorText(document.get()).empty());
    if (!parsed || document->Name.empty()) return 0;

    std::string written;
    levrano::WriteXml(document.get(), written);
    auto reread = levrano::NewXmlDocument();
    Require(levrano::ParseXml(reread.get(), written));
    Require(SameTree(document.get(), reread.get()));

    std::string rewritten;
    levrano::WriteXml(reread.get(), rewritten);
    Require(rewritten == written);
    return 0;
}
