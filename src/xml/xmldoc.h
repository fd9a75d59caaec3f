// The configuration file's XML: an in-memory tree with case-insensitive path lookup and typed
// reads and writes, and the reader and writer of files in Windows-1251.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace levrano {

enum TXmlNodeKind : std::uint8_t {
    xnDocument = 0,    // the document, which is also the root element
    xnElement = 1,     // an element below the root
    xnAttributes = 2,  // an element's attribute container ("#attributes")
    xnAttribute = 3,   // one attribute, child of a container
    xnComment = 4,
};

class TXmlNode {
public:
    TXmlNode(TXmlNode* parent, TXmlNodeKind kind, std::string name, std::string text);
    virtual ~TXmlNode();
    TXmlNode(const TXmlNode&) = delete;
    TXmlNode& operator=(const TXmlNode&) = delete;

    // A document is made of many nodes of one size; they come from a pool, not one by one from
    // the general heap.
    static void* operator new(std::size_t size);
    static void operator delete(void* block, std::size_t size) noexcept;

    TXmlNode* Parent;  // not owning; none for the document
    TXmlNodeKind Kind;
    std::unique_ptr<std::vector<std::unique_ptr<TXmlNode>>> Children;  // created with the first child
    std::string Name;
    std::string Text;
    std::unique_ptr<TXmlNode> Attributes;  // created on first need
};

class TXmlDocument : public TXmlNode {
public:
    TXmlDocument();

    // Parser state: position of the last byte read, the token gathered and the fault (0 = none).
    std::int32_t Line = 0;
    std::int32_t Column = 0;
    std::string Token;
    std::int32_t ErrorCode = 0;
};

// Building and walking the tree.
std::unique_ptr<TXmlDocument> NewXmlDocument();
TXmlNode* AddChild(TXmlNode* node, TXmlNodeKind kind, std::string_view name, std::string_view text);
TXmlNode* AddElement(TXmlNode* node, std::string_view name, std::string_view text);
TXmlNode* AddAttribute(TXmlNode* node, std::string_view name, std::string_view value);  // none unless document or element
void SetText(TXmlNode* node, std::string_view text);
std::int32_t Count(const TXmlNode* node);
TXmlNode* Child(const TXmlNode* node, std::int32_t index);
void Clear(TXmlNode* node, bool withChildren, bool withAttributes);

// Lookup by a "/"-separated path of names, compared without regard to letter case.
TXmlNode* FindNode(TXmlNode* node, std::string_view path, bool create);

// Typed access: section is a path below node (empty: node itself), key an attribute name
// (empty: the element's own text).
std::string ReadString(TXmlNode* node, std::string_view section, std::string_view key, std::string_view defaultValue);
std::int32_t ReadInteger(TXmlNode* node, std::string_view section, std::string_view key, std::int32_t defaultValue);
bool ReadBool(TXmlNode* node, std::string_view section, std::string_view key, bool defaultValue);
void WriteString(TXmlNode* node, std::string_view section, std::string_view key, std::string_view text);
void WriteInteger(TXmlNode* node, std::string_view section, std::string_view key, std::int32_t value);
void WriteBool(TXmlNode* node, std::string_view section, std::string_view key, bool value);

// Optional sign, then leading decimal digits in wrapping 32-bit arithmetic; no digits give 0.
std::int32_t StrToInt32(std::string_view text);

// Reader and writer.
std::unique_ptr<TXmlDocument> LoadXmlDocument(const std::string& path);  // raises Exception, code 0
bool SaveXmlDocument(const TXmlDocument* document, const std::string& path);  // replaces the file atomically
bool ParseXml(TXmlDocument* document, std::istream& input);
bool ParseXml(TXmlDocument* document, std::string_view input);  // the same, from bytes in memory
void WriteXml(const TXmlDocument* document, std::ostream& output);
void WriteXml(const TXmlDocument* document, std::string& output);  // appends the file's bytes
std::string XmlErrorText(const TXmlDocument* document);
std::string XmlEscape(std::string_view text);
std::string XmlUnescape(std::string_view text, TXmlDocument* document);

}  // namespace levrano
