// The reader: faults with their texts and positions, the accepted forms, and unescaping.
#include <gtest/gtest.h>

#include <sstream>

#include "common/cp1251.h"
#include "xml/xmldoc.h"
#include "xml_test_support.h"

namespace levrano {
namespace {

using xmltest::Describe;
using xmltest::ParseOk;

struct TFaultCase {
    const char* what;
    std::string input;
    std::int32_t code, line, column;
    std::string token;
    std::string message;
};

std::string Cp(std::string_view text) {
    return std::string(text);
}

TEST(XmlReaderFaults, ReportCodeTokenPositionAndText) {
    const TFaultCase cases[] = {
        {"bad byte in a tag name", "<ab$c/>", 1, 1, 4, "ab$",
         "(1:4): (1) - \"ab$\"" + Cp(" - недопустимый символ в идентификаторе"_cp)},
        {"Cyrillic in a tag name after its first byte", Cp("<aЯ/>"_cp), 1, 1, 3, Cp("aЯ"_cp),
         "(1:3): (1) - \"" + Cp("aЯ\" - недопустимый символ в идентификаторе"_cp)},
        {"Cyrillic in an attribute name", Cp("<a xЯ=\"1\"/>"_cp), 1, 1, 5, Cp("xЯ"_cp),
         "(1:5): (1) - \"" + Cp("xЯ\" - недопустимый символ в идентификаторе"_cp)},
        {"blank before the equals sign", "<a x =\"1\"/>", 1, 1, 5, "x ",
         "(1:5): (1) - \"x \"" + Cp(" - недопустимый символ в идентификаторе"_cp)},
        {"bad byte between attributes", "<a x=\"1\" $>", 1, 1, 10, "$",
         "(1:10): (1) - \"$\"" + Cp(" - недопустимый символ в идентификаторе"_cp)},
        {"text after a child is markup", "<a><b/>word<c/></a>", 1, 1, 12, "word<",
         "(1:12): (1) - \"word<\"" + Cp(" - недопустимый символ в идентификаторе"_cp)},
        {"a lone > ends a comment", "<a><!-- x > y --></a>", 1, 1, 15, "-",
         "(1:15): (1) - \"-\"" + Cp(" - недопустимый символ в идентификаторе"_cp)},
        {"entity in capitals in a text", "<a>x &LT; y</a>", 2, 1, 12, "x &LT; y",
         "(1:12): (2) - \"x &LT; y\"" + Cp(" - недопустимая ESC последовательность"_cp)},
        {"ampersand without semicolon in a value", "<a v=\"&amp\"/>", 2, 1, 11, "&amp",
         "(1:11): (2) - \"&amp\"" + Cp(" - недопустимая ESC последовательность"_cp)},
        {"stray closing tag after the root", "<a/></b>", 3, 1, 8, "b",
         "(1:8): (3) - " + Cp(" неожиданный тег закрытия \"b\""_cp)},
        {"stray closing tag on a later line", "<a>\r\n</a>\r\n</zz>", 3, 3, 5, "zz",
         "(3:5): (3) - " + Cp(" неожиданный тег закрытия \"zz\""_cp)},
        {"closing tag before any element", "</>", 3, 1, 3, "",
         "(1:3): (3) - " + Cp(" неожиданный тег закрытия \"\""_cp)},
        {"end inside two nested elements", "<r>\n  <inner>\n    text", 4, 3, 8, "inner",
         "(3:8): (4) - " + Cp(" нет закрытия тега \"inner\""_cp)},
        {"end right after a line feed", "<a>\n", 4, 2, 0, "a", "(2:0): (4) - " + Cp(" нет закрытия тега \"a\""_cp)},
        {"end inside an attribute value", "<a v=\"1", 4, 1, 7, "a", "(1:7): (4) - " + Cp(" нет закрытия тега \"a\""_cp)},
    };
    for (const TFaultCase& c : cases) {
        SCOPED_TRACE(c.what);
        auto doc = NewXmlDocument();
        EXPECT_FALSE(ParseXml(doc.get(), c.input));
        EXPECT_EQ(c.code, doc->ErrorCode);
        EXPECT_EQ(c.line, doc->Line);
        EXPECT_EQ(c.column, doc->Column);
        EXPECT_EQ(c.token, doc->Token);
        EXPECT_EQ(c.message, XmlErrorText(doc.get()));
    }
}

TEST(XmlErrorText, SuccessTextAndTheAttributeFault) {
    auto doc = NewXmlDocument();
    EXPECT_EQ(Cp("Разбор xml успешный"_cp), XmlErrorText(doc.get()));
    // An attribute only ever reaches an element, so the reader cannot raise this fault itself.
    doc->ErrorCode = 5;
    doc->Line = 2;
    doc->Column = -1;
    doc->Token = "x=";
    EXPECT_EQ("(2:-1): (5) - " + Cp(" не допускается указание атрибута \"x=\" в этом месте"_cp), XmlErrorText(doc.get()));
}

TEST(XmlReader, TheFirstFaultStopsTheParseAndKeepsWhatWasBuilt) {
    auto doc = NewXmlDocument();
    EXPECT_FALSE(ParseXml(doc.get(), "<R><a/><b x=\"1\"/></c></d></R>"));
    EXPECT_EQ(3, doc->ErrorCode) << "</d> closes nothing: </c> closed the root";
    EXPECT_EQ(Describe(ParseOk("<R><a/><b x=\"1\"/></R>").get()), Describe(doc.get()));
}

struct TAcceptedCase {
    const char* what;
    std::string input;
    std::string sameTreeAs;  // a plain spelling of the tree the input must give
};

TEST(XmlReader, AcceptedFormsGiveTheExpectedTree) {
    const TAcceptedCase cases[] = {
        {"empty input", "", ""},
        {"declaration only", "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n", ""},
        {"comments and declarations between tags", "<?xml v=\"1\"?><!-- c --><a><!-- <b> inside --><b/><!DOCTYPE x></a><!-- end -->",
         "<a><b/></a>"},
        {"another name closes the open element", "<a><b></c><d/></a>", "<a><b/><d/></a>"},
        {"a value ends at the first quote of either kind", "<a v=\"x'y=\"z\"/>", "<a v=\"x\" y=\"z\"/>"},
        {"apostrophes open values too", "<a v='1' w=\"2'/>", "<a v=\"1\" w=\"2\"/>"},
        {"text keeps trailing but loses leading blanks", "<a>  \r\n\tx y  </a>", "<a>x y  </a>"},
        {"any line ends", "<a\n x=\"1\"\r>\r\n<b\r\n/>\n</a>", "<a x=\"1\"><b/></a>"},
        {"blanks and junk after = are skipped", "<a x= junk \"1\"/>", "<a x=\"1\"/>"},
        {"a second top-level element continues the root", "<a x=\"1\"/><b y=\"2\"><c/></b>", "<b x=\"1\" y=\"2\"><c/></b>"},
        {"first byte of a tag name is not tested", Cp("<Яa/>"_cp), Cp("<Яa></Яa>"_cp)},
        {"Cyrillic in values and texts is read unchanged", Cp("<a v=\"Свойства\">Текст ёЁ</a>"_cp),
         Cp("<a v=\"Свойства\">Текст ёЁ</a>"_cp)},
    };
    for (const TAcceptedCase& c : cases) {
        SCOPED_TRACE(c.what);
        auto expected = NewXmlDocument();
        ParseXml(expected.get(), c.sameTreeAs);
        auto doc = ParseOk(c.input);
        EXPECT_EQ(Describe(expected.get()), Describe(doc.get()));
    }
}

TEST(XmlReader, EntitiesInTextsAndValues) {
    auto doc = ParseOk("<a v=\"&#65;&#x41;&quot;&apos;\">&lt;&gt;&amp;&#x09;</a>");
    EXPECT_EQ("AA\"'", ReadString(doc.get(), "", "v", ""));
    EXPECT_EQ("<>&\t", doc->Text);
}

TEST(XmlReader, ParsingAgainReplacesTheWholeFormerContent) {
    auto doc = ParseOk("<a x=\"1\">text<b/></a>");
    ASSERT_TRUE(ParseXml(doc.get(), "<c x=\"2\"/>"));
    EXPECT_EQ(Describe(ParseOk("<c x=\"2\"/>").get()), Describe(doc.get()));
    EXPECT_EQ(2, ReadInteger(doc.get(), "", "x", 0));
}

TEST(XmlReader, StreamInputGivesTheSameResultAsBytes) {
    std::string big = "<R>";
    for (int i = 0; i < 20000; ++i) big += "<item n=\"" + std::to_string(i) + "\"/>\r\n";  // several read blocks
    big += "</R>";
    std::istringstream stream(big);
    auto fromStream = NewXmlDocument();
    ASSERT_TRUE(ParseXml(fromStream.get(), stream));
    EXPECT_EQ(Describe(ParseOk(big).get()), Describe(fromStream.get()));

    std::istringstream broken("<R>\n<a>");
    EXPECT_FALSE(ParseXml(fromStream.get(), broken));
    EXPECT_EQ("(2:3): (4) - " + Cp(" нет закрытия тега \"a\""_cp), XmlErrorText(fromStream.get()));
}

TEST(XmlReader, DeepNestingNeitherOverflowsTheStackReadingNorFreeing) {
    constexpr int kDepth = 300000;
    std::string text;
    for (int i = 0; i < kDepth; ++i) text += "<a>";
    for (int i = 0; i < kDepth; ++i) text += "</a>";
    auto doc = ParseOk(text);
    const TXmlNode* innermost = doc.get();
    int depth = 0;
    while (Count(innermost) == 1) {
        innermost = Child(innermost, 0);
        ++depth;
    }
    EXPECT_EQ(kDepth - 1, depth);
    doc.reset();
}

struct TUnescapeCase {
    std::string text;
    std::string result;
    std::int32_t code;
};

TEST(XmlUnescape, SequencesAreDecidedByTheirFirstBytes) {
    const TUnescapeCase cases[] = {
        {"plain", "plain", 0},
        {"a&lt;b&gt;c", "a<b>c", 0},
        {"&amp;&apos;&quot;", "&'\"", 0},
        {"&lxx;&gyy;&qzz;", "<>\"", 0},
        {"&am;&ab;&a;", "&''", 0},
        {"&#65;&#x41;&#x61;&#X41;", std::string("AAa") + '\0', 0},
        {"&#x$41;&#x4g;&#x;", std::string("A\x04") + '\0', 0},
        {"&#321;&#-191;&#+65;", "AAA", 0},
        {"&#xC0;&#192;", "\xC0\xC0", 0},
        {"a;b&amp;", "a;b&", 0},
        {"&LT;", "", 2},
        {"x&y", "x", 2},
        {"&;", "", 2},
        {"ok&zz;&lt;", "ok", 2},
    };
    for (const TUnescapeCase& c : cases) {
        auto doc = NewXmlDocument();
        EXPECT_EQ(c.result, XmlUnescape(c.text, doc.get())) << c.text;
        EXPECT_EQ(c.code, doc->ErrorCode) << c.text;
    }
}

}  // namespace
}  // namespace levrano
