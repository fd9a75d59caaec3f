#include "xml_test_support.h"

#include <gtest/gtest.h>

namespace levrano::xmltest {

namespace {

void DescribeInto(std::string& out, const TXmlNode* node, int depth) {
    out.append(static_cast<std::size_t>(2 * depth), ' ');
    out += std::to_string(node->Kind) + " [" + node->Name + "] [" + node->Text + "]\n";
    if (node->Attributes) {
        for (std::int32_t i = 0; i < Count(node->Attributes.get()); ++i) {
            const TXmlNode* attribute = Child(node->Attributes.get(), i);
            out.append(static_cast<std::size_t>(2 * depth + 2), ' ');
            out += "@" + std::to_string(attribute->Kind) + " [" + attribute->Name + "] = [" + attribute->Text + "]\n";
        }
    }
    for (std::int32_t i = 0; i < Count(node); ++i) DescribeInto(out, Child(node, i), depth + 1);
}

}  // namespace

std::string FileOf(std::initializer_list<TLine> lines) {
    std::string out;
    for (const TLine& line : lines) {
        out.append(static_cast<std::size_t>(line.spaces), ' ');
        out.append(line.text);
        out.append("\r\n");
    }
    return out;
}

std::string Describe(const TXmlNode* node) {
    std::string out;
    DescribeInto(out, node, 0);
    return out;
}

std::unique_ptr<TXmlDocument> DocumentNamed(std::string_view name) {
    std::unique_ptr<TXmlDocument> document = NewXmlDocument();
    document->Name = name;
    return document;
}

std::unique_ptr<TXmlDocument> ParseOk(std::string_view text) {
    std::unique_ptr<TXmlDocument> document = NewXmlDocument();
    EXPECT_TRUE(ParseXml(document.get(), text)) << XmlErrorText(document.get());
    return document;
}

std::string Written(const TXmlDocument* document) {
    std::string out;
    WriteXml(document, out);
    return out;
}

}  // namespace levrano::xmltest
