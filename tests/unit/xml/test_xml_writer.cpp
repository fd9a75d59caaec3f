// The writer's exact layout, escaping, and trees that survive writing and reading back.
#include <gtest/gtest.h>

#include <sstream>

#include "common/cp1251.h"
#include "xml/xmldoc.h"
#include "xml_test_support.h"

namespace levrano {
namespace {

using xmltest::Describe;
using xmltest::DocumentNamed;
using xmltest::FileOf;
using xmltest::ParseOk;
using xmltest::Written;

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>";

// Writing must give exactly `expected`, and reading that back must give the same tree.
void ExpectWrittenAndReadBack(const TXmlDocument* doc, const std::string& expected) {
    const std::string written = Written(doc);
    EXPECT_EQ(expected, written);
    EXPECT_EQ(Describe(doc), Describe(ParseOk(written).get()));
}

TEST(XmlWriter, PortAndTanksExampleByteForByte) {
    auto doc = DocumentNamed("R");
    TXmlNode* port = AddElement(doc.get(), "port", "");
    AddAttribute(port, "number", "1");
    AddAttribute(port, "mode", "9600N8");
    TXmlNode* tanks = AddElement(doc.get(), "Tanks", "");
    AddAttribute(tanks, "default", "false");
    AddAttribute(AddElement(tanks, "item", ""), "tankid", "5");

    ExpectWrittenAndReadBack(doc.get(), FileOf({
                                            {0, kDeclaration},
                                            {0, "<R>"},
                                            {2, "<port"},
                                            {4, "number=\"1\""},
                                            {4, "mode=\"9600N8\""},
                                            {2, "/>"},
                                            {2, "<Tanks"},
                                            {4, "default=\"false\""},
                                            {2, ">"},
                                            {4, "<item"},
                                            {6, "tankid=\"5\""},
                                            {4, "/>"},
                                            {2, "</Tanks>"},
                                            {0, "</R>"},
                                        }));
    std::ostringstream stream;
    WriteXml(doc.get(), stream);
    EXPECT_EQ(Written(doc.get()), stream.str());
}

struct TTankRow {
    std::int32_t tankId, address;
    bool hasH, hasV, hasD, hasT, hasW;
};

// What the configuration dialog does on OK: port values, then the tank element rebuilt.
void WriteDialogSettings(TXmlDocument* doc) {
    WriteString(doc, "port", "number", "2");
    WriteString(doc, "port", "mode", "9600E7");
    WriteString(doc, "port", "timeout", "500");
    WriteString(doc, "port", "delay", "1000");
    TXmlNode* tanks = FindNode(doc, "Tanks", true);
    Clear(tanks, true, true);
    WriteBool(tanks, "", "default", false);
    const TTankRow rows[] = {{12, 1, true, true, false, true, true}, {15, 2, true, true, true, true, true}};
    for (const TTankRow& row : rows) {
        TXmlNode* item = AddElement(tanks, "item", "");
        WriteInteger(item, "", "tankid", row.tankId);
        WriteInteger(item, "", "address", row.address);
        WriteBool(item, "", "hasH", row.hasH);
        WriteBool(item, "", "hasV", row.hasV);
        WriteBool(item, "", "hasD", row.hasD);
        WriteBool(item, "", "hasT", row.hasT);
        WriteBool(item, "", "hasW", row.hasW);
    }
}

TEST(XmlWriter, ConfigurationFileExampleByteForByte) {
    const std::string expected = FileOf({
        {0, kDeclaration},       {0, "<R>"},
        {2, "<boot"},            {4, "name=\"Свойства\""_cp},
        {2, "/>"},               {2, "<port"},
        {4, "number=\"2\""},     {4, "mode=\"9600E7\""},
        {4, "timeout=\"500\""},  {4, "delay=\"1000\""},
        {2, "/>"},               {2, "<Tanks"},
        {4, "default=\"false\""}, {2, ">"},
        {4, "<item"},            {6, "tankid=\"12\""},
        {6, "address=\"1\""},    {6, "hasH=\"true\""},
        {6, "hasV=\"true\""},    {6, "hasD=\"false\""},
        {6, "hasT=\"true\""},    {6, "hasW=\"true\""},
        {4, "/>"},               {4, "<item"},
        {6, "tankid=\"15\""},    {6, "address=\"2\""},
        {6, "hasH=\"true\""},    {6, "hasV=\"true\""},
        {6, "hasD=\"true\""},    {6, "hasT=\"true\""},
        {6, "hasW=\"true\""},    {4, "/>"},
        {2, "</Tanks>"},         {0, "</R>"},
    });
    auto doc = ParseOk(std::string("<R><boot name=\"Свойства\"/></R>"_cp));
    WriteDialogSettings(doc.get());
    ExpectWrittenAndReadBack(doc.get(), expected);

    // The same settings written again into the file just read change nothing.
    auto again = ParseOk(expected);
    WriteDialogSettings(again.get());
    EXPECT_EQ(expected, Written(again.get()));
}

TEST(XmlWriter, TextElementsAndComments) {
    auto doc = DocumentNamed("R");
    AddElement(doc.get(), "a", "text & more");
    AddChild(AddElement(doc.get(), "b", ""), xnComment, "", " note <x> ");
    const std::string written = Written(doc.get());
    ASSERT_EQ(FileOf({{0, kDeclaration},
                      {0, "<R>"},
                      {2, "<a>text &amp; more</a>"},
                      {2, "<b>"},
                      {0, "<!-- note <x> -->"},
                      {2, "</b>"},
                      {0, "</R>"}}),
              written);
    Clear(FindNode(doc.get(), "b", false), true, false);  // the reader skips comments
    EXPECT_EQ(Describe(doc.get()), Describe(ParseOk(written).get()));
}

TEST(XmlWriter, AnElementWithTextKeepsItsAttributesAndChildren) {
    auto doc = DocumentNamed("R");
    TXmlNode* a = AddElement(doc.get(), "a", "hello");
    AddAttribute(a, "x", "1");
    AddElement(a, "b", "");
    AddElement(a, "c", "");
    ExpectWrittenAndReadBack(doc.get(), FileOf({{0, kDeclaration},
                                                {0, "<R>"},
                                                {2, "<a"},
                                                {4, "x=\"1\""},
                                                {2, ">hello<b/>"},
                                                {4, "<c/>"},
                                                {2, "</a>"},
                                                {0, "</R>"}}));
}

TEST(XmlWriter, IndentationGrowsPastItsFirstHundredSpaces) {
    auto doc = DocumentNamed("e0");
    TXmlNode* node = doc.get();
    for (int depth = 1; depth <= 60; ++depth) node = AddElement(node, "e" + std::to_string(depth), "");
    const std::string written = Written(doc.get());
    EXPECT_NE(std::string::npos, written.find("\r\n" + std::string(120, ' ') + "<e60/>\r\n"));
    EXPECT_NE(std::string::npos, written.find("\r\n" + std::string(102, ' ') + "</e51>\r\n"));
    EXPECT_EQ(Describe(doc.get()), Describe(ParseOk(written).get()));
}

TEST(XmlEscape, MarkupCharactersAndControlBytes) {
    struct Case {
        std::string text, escaped;
    };
    const Case cases[] = {
        {"a\"b", "a&quot;b"},
        {"&'<>", "&amp;&apos;&lt;&gt;"},
        {"\t", "&#x09;"},
        {std::string(1, '\0') + "\x01\x1F\r\n", "&#x00;&#x01;&#x1F;&#x0D;&#x0A;"},
        {" \x7F\x80\xFF", " \x7F\x80\xFF"},
        {std::string("Свойства ёЁ"_cp), std::string("Свойства ёЁ"_cp)},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(c.escaped, XmlEscape(c.text)) << c.text;
}

TEST(XmlWriter, ValuesAndTextsSurviveWritingAndReading) {
    const std::string values[] = {
        "tab\there",
        "both \" and ' quotes",
        "  leading and trailing  ",
        "   ",
        "\r\nline\r\n",
        "&amp; <not a tag> &#65;",
        std::string("Кириллица Ёё №"_cp),
        std::string("\x01\x7F\xFF"),
    };
    for (const std::string& value : values) {
        auto doc = DocumentNamed("R");
        AddAttribute(doc.get(), "v", value);
        AddElement(doc.get(), "t", value);
        auto back = ParseOk(Written(doc.get()));
        EXPECT_EQ(value, ReadString(back.get(), "", "v", "(missing)")) << value;
        EXPECT_EQ(value, ReadString(back.get(), "t", "", "(missing)")) << value;
    }
}

}  // namespace
}  // namespace levrano
