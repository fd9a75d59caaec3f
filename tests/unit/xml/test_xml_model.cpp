// The document tree: its rules, path lookup without regard to case, and typed reads and writes.
#include <gtest/gtest.h>

#include <climits>

#include "common/cp1251.h"
#include "xml/xmldoc.h"
#include "xml_test_support.h"

namespace levrano {
namespace {

using xmltest::Describe;
using xmltest::ParseOk;

// A small configuration-like tree: R with "port" (two attributes), "Tanks" and a second "tanks".
class XmlTree : public ::testing::Test {
protected:
    void SetUp() override {
        port = AddElement(doc.get(), "port", "");
        AddAttribute(port, "number", "1");
        AddAttribute(port, "mode", "9600N8");
        tanks = AddElement(doc.get(), "Tanks", "first");
        AddElement(tanks, "item", "");
        secondTanks = AddElement(doc.get(), "tanks", "second");
    }

    std::unique_ptr<TXmlDocument> doc = xmltest::DocumentNamed("R");
    TXmlNode* port = nullptr;
    TXmlNode* tanks = nullptr;
    TXmlNode* secondTanks = nullptr;
};

TEST_F(XmlTree, ChildrenKnowTheirParentAndOrder) {
    ASSERT_EQ(3, Count(doc.get()));
    EXPECT_EQ(port, Child(doc.get(), 0));
    EXPECT_EQ(secondTanks, Child(doc.get(), 2));
    EXPECT_EQ(doc.get(), port->Parent);
    EXPECT_EQ(port, port->Attributes->Parent);
    EXPECT_EQ(xnAttributes, port->Attributes->Kind);
    EXPECT_EQ("#attributes", port->Attributes->Name);
    EXPECT_EQ(0, Count(port)) << "the attribute container is not a child";
}

TEST_F(XmlTree, ChildOutsideTheListIsNone) {
    for (std::int32_t index : {-1, 3, INT_MAX}) EXPECT_EQ(nullptr, Child(doc.get(), index)) << index;
    EXPECT_EQ(nullptr, Child(port, 0)) << "a node without a list";
}

TEST_F(XmlTree, PathsWithExtraSlashesReachTheSameNode) {
    TXmlNode* item = Child(tanks, 0);
    for (std::string_view path : {"tanks/item", "/tanks/item", "tanks/item/", "tanks//item", "//TANKS///Item//"})
        EXPECT_EQ(item, FindNode(doc.get(), path, false)) << path;
    for (std::string_view path : {"", "/", "///"}) EXPECT_EQ(doc.get(), FindNode(doc.get(), path, false)) << path;
}

TEST_F(XmlTree, LookupIgnoresCaseAndTakesTheFirstOfEqualNames) {
    EXPECT_EQ(tanks, FindNode(doc.get(), "tanks", false));
    EXPECT_EQ(tanks, FindNode(doc.get(), "TANKS", false));
    EXPECT_EQ("first", ReadString(doc.get(), "tanks", "", "default"));
    EXPECT_EQ(nullptr, FindNode(doc.get(), "tanks/missing", false));
    EXPECT_EQ(3, Count(doc.get())) << "a lookup without create adds nothing";
}

TEST_F(XmlTree, LookupRunsOverAnAttributeContainerToo) {
    EXPECT_EQ(Child(port->Attributes.get(), 1), FindNode(port->Attributes.get(), "MODE", false));
}

TEST(XmlNames, CapitalsEqualSmallLettersInLatinAndCyrillicOnly) {
    struct Case {
        std::string_view written, sought;
        bool found;
    };
    const Case cases[] = {
        {"Tanks", "tANKS", true},
        {"ДАТЧИК"_cp, "датчик"_cp, true},
        {"Ёж"_cp, "ёЖ"_cp, true},
        {"ЎІЇЄЈЅҐ"_cp, "ўіїєјѕґ"_cp, true},
        {"a_b", "a.b", false},
        {"tank1", "tank2", false},
        {"Р"_cp, "P", false},  // Cyrillic Er and Latin P look alike but differ
        {"tank", "tanks", false},
    };
    for (const Case& c : cases) {
        auto doc = NewXmlDocument();
        TXmlNode* element = AddElement(doc.get(), c.written, "");
        EXPECT_EQ(c.found ? element : nullptr, FindNode(doc.get(), c.sought, false)) << cp1251::ToUtf8(c.sought);
    }
}

TEST(XmlFind, CreateAppendsEveryMissingElementOfThePath) {
    auto doc = NewXmlDocument();
    TXmlNode* found = FindNode(doc.get(), "port/line", true);
    ASSERT_EQ(1, Count(doc.get()));
    TXmlNode* port = Child(doc.get(), 0);
    EXPECT_EQ("port", port->Name);
    EXPECT_EQ(xnElement, port->Kind);
    ASSERT_EQ(1, Count(port));
    EXPECT_EQ(found, Child(port, 0));
    EXPECT_EQ("line", found->Name);
    EXPECT_EQ("", found->Text);
    EXPECT_EQ(found, FindNode(doc.get(), "PORT/line", true)) << "an existing path is not created twice";
    EXPECT_EQ(1, Count(doc.get()));
}

TEST(XmlAttributes, OnlyDocumentsAndElementsTakeThem) {
    auto doc = NewXmlDocument();
    TXmlNode* element = AddElement(doc.get(), "e", "");
    TXmlNode* attribute = AddAttribute(element, "a", "1");
    ASSERT_NE(nullptr, attribute);
    TXmlNode* comment = AddChild(doc.get(), xnComment, "", "note");
    EXPECT_NE(nullptr, AddAttribute(doc.get(), "d", "2"));
    for (TXmlNode* refusing : {attribute, element->Attributes.get(), comment}) {
        const std::string before = Describe(doc.get());
        EXPECT_EQ(nullptr, AddAttribute(refusing, "x", "y")) << int(refusing->Kind);
        EXPECT_EQ(before, Describe(doc.get()));
        EXPECT_EQ(nullptr, refusing->Attributes);
    }
}

TEST(XmlAttributes, DuplicatesAreKeptAndReadsTakeTheFirst) {
    auto doc = NewXmlDocument();
    AddAttribute(doc.get(), "Mode", "first");
    AddAttribute(doc.get(), "mode", "second");
    EXPECT_EQ(2, Count(doc->Attributes.get()));
    EXPECT_EQ("first", ReadString(doc.get(), "", "MODE", ""));
}

TEST(XmlText, SetTextChangesEveryKindButTheContainer) {
    auto doc = NewXmlDocument();
    TXmlNode* element = AddElement(doc.get(), "e", "");
    TXmlNode* attribute = AddAttribute(element, "a", "");
    TXmlNode* comment = AddChild(doc.get(), xnComment, "", "");
    for (TXmlNode* node : {static_cast<TXmlNode*>(doc.get()), element, attribute, comment}) {
        SetText(node, "new");
        EXPECT_EQ("new", node->Text) << int(node->Kind);
    }
    SetText(element->Attributes.get(), "new");
    EXPECT_EQ("", element->Attributes->Text);
}

TEST_F(XmlTree, ClearDropsWhatItIsToldAndKeepsNameAndText) {
    Clear(tanks, false, true);
    EXPECT_EQ(1, Count(tanks)) << "children stay without the first flag";
    Clear(port, false, true);
    EXPECT_EQ(nullptr, port->Attributes);
    Clear(doc.get(), true, false);
    EXPECT_EQ(0, Count(doc.get()));
    EXPECT_EQ(nullptr, doc->Children);

    auto other = ParseOk("<R a=\"1\">text</R>");
    Clear(other.get(), true, true);
    EXPECT_EQ("R", other->Name);
    EXPECT_EQ("text", other->Text);
    EXPECT_EQ(nullptr, other->Attributes);
    EXPECT_EQ(0, Count(other.get()));
}

TEST(StrToInt32, SignThenLeadingDigitsWrappingIn32Bits) {
    struct Case {
        std::string_view text;
        std::int32_t value;
    };
    const Case cases[] = {
        {"12abc", 12},      {"-5", -5},           {"+5", 5},
        {" 7", 0},          {"", 0},              {"abc", 0},
        {"-", 0},           {"--5", 0},           {"+-5", 0},
        {"007", 7},         {"1 2", 1},           {"2147483647", INT_MAX},
        {"2147483648", INT_MIN}, {"-2147483648", INT_MIN}, {"4294967297", 1},
        {"12.9", 12},
    };
    for (const Case& c : cases) EXPECT_EQ(c.value, StrToInt32(c.text)) << c.text;
}

// A "port" element whose attributes are "present" (the value given) or missing.
struct TReadCase {
    const char* value;  // nullptr: the attribute is missing
    bool boolDefault;
    bool boolResult;
};

TEST(XmlRead, BoolIsTrueExactlyForTheWordTrueInAnyCase) {
    const TReadCase cases[] = {
        {"true", false, true}, {"TRUE", false, true}, {"tRuE", false, true},  {"1", true, false},
        {"yes", true, false},  {"", true, false},     {"true ", true, false}, {nullptr, true, true},
        {nullptr, false, false},
    };
    for (const TReadCase& c : cases) {
        auto doc = NewXmlDocument();
        TXmlNode* port = AddElement(doc.get(), "port", "");
        if (c.value) AddAttribute(port, "flag", c.value);
        EXPECT_EQ(c.boolResult, ReadBool(doc.get(), "port", "flag", c.boolDefault)) << (c.value ? c.value : "(missing)");
    }
}

TEST(XmlRead, IntegerTakesTheDefaultOnlyWhenTheValueIsMissing) {
    auto doc = ParseOk("<R><port empty=\"\" text=\"abc\" number=\"12abc\"/></R>");
    EXPECT_EQ(0, ReadInteger(doc.get(), "port", "empty", 99));
    EXPECT_EQ(0, ReadInteger(doc.get(), "port", "text", 99));
    EXPECT_EQ(12, ReadInteger(doc.get(), "port", "number", 99));
    EXPECT_EQ(99, ReadInteger(doc.get(), "port", "missing", 99));
    EXPECT_EQ(INT_MIN, ReadInteger(doc.get(), "port", "missing", INT_MIN));
    EXPECT_EQ(-7, ReadInteger(doc.get(), "nowhere", "number", -7));
}

TEST(XmlRead, StringReadsAttributesOrTheElementsOwnText) {
    auto doc = ParseOk("<R><a><b key=\"v\">inner</b></a><c/></R>");
    EXPECT_EQ("v", ReadString(doc.get(), "a/b", "key", "d"));
    EXPECT_EQ("inner", ReadString(doc.get(), "A/B", "", "d"));
    EXPECT_EQ("", ReadString(doc.get(), "c", "", "d")) << "an empty text is a value";
    EXPECT_EQ("d", ReadString(doc.get(), "c", "key", "d")) << "an element without attributes";
    EXPECT_EQ("d", ReadString(doc.get(), "x", "", "d"));
    EXPECT_EQ("R", doc->Name);
    EXPECT_EQ("v", ReadString(FindNode(doc.get(), "a/b", false), "", "KEY", "d")) << "an empty section is the node itself";
}

TEST_F(XmlTree, WriteStringKeepsAnExistingAttributeInPlaceAndAppendsAMissingOne) {
    WriteString(doc.get(), "PORT", "Number", "2");
    WriteString(doc.get(), "port", "timeout", "500");
    EXPECT_EQ(Describe(ParseOk("<R><port number=\"2\" mode=\"9600N8\" timeout=\"500\"/>"
                               "<Tanks>first<item/></Tanks><tanks>second</tanks></R>")
                           .get()),
              Describe(doc.get()));
}

TEST(XmlWrite, MissingElementsOfTheSectionAreCreated) {
    auto doc = NewXmlDocument();
    WriteString(doc.get(), "a/b", "key", "v");
    WriteString(doc.get(), "a/c", "", "text");
    WriteString(doc.get(), "", "root", "r");
    const TXmlNode* key = Child(Child(doc.get(), 0), 0)->Attributes->Children->front().get();
    EXPECT_EQ(xnAttribute, key->Kind);
    EXPECT_EQ("v", key->Text);
    EXPECT_EQ("text", ReadString(doc.get(), "a/c", "", ""));
    EXPECT_EQ("r", ReadString(doc.get(), "", "root", ""));
}

TEST(XmlWrite, IntegersInDecimalAndBooleansAsWords) {
    struct Case {
        std::int32_t value;
        std::string_view text;
    };
    const Case cases[] = {{0, "0"}, {-5, "-5"}, {1000, "1000"}, {INT_MAX, "2147483647"}, {INT_MIN, "-2147483648"}};
    auto doc = NewXmlDocument();
    for (const Case& c : cases) {
        WriteInteger(doc.get(), "port", "value", c.value);
        EXPECT_EQ(c.text, ReadString(doc.get(), "port", "value", "")) << c.value;
        EXPECT_EQ(c.value, ReadInteger(doc.get(), "port", "value", 42));
    }
    WriteBool(doc.get(), "port", "flag", true);
    EXPECT_EQ("true", ReadString(doc.get(), "port", "flag", ""));
    WriteBool(doc.get(), "port", "flag", false);
    EXPECT_EQ("false", ReadString(doc.get(), "port", "flag", ""));
    EXPECT_EQ(2, Count(FindNode(doc.get(), "port", false)->Attributes.get()));
}

}  // namespace
}  // namespace levrano
