// The configuration file's XML: an in-memory tree with case-insensitive path lookup and typed
// reads and writes, and the reader and writer of files in Windows-1251.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <new>
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

class TXmlArena;
class TXmlNode;

// A node's children in order. The list and its slots live in the document's memory; it offers
// what walking a tree needs of a vector.
class TXmlNodeList {
public:
    using value_type = std::unique_ptr<TXmlNode>;

    ~TXmlNodeList();
    TXmlNodeList(const TXmlNodeList&) = delete;
    TXmlNodeList& operator=(const TXmlNodeList&) = delete;
    static void operator delete(TXmlNodeList* list, std::destroying_delete_t) noexcept;

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const value_type& operator[](std::size_t index) const { return items_[index]; }
    const value_type& front() const { return items_[0]; }
    const value_type* begin() const { return items_; }
    const value_type* end() const { return items_ + size_; }

private:
    friend class TXmlNode;

    TXmlNodeList(TXmlArena& arena, std::size_t capacity);
    static void* operator new(std::size_t size, TXmlArena& arena);
    static void operator delete(void* block, TXmlArena& arena) noexcept;  // when the constructor throws
    TXmlNode* Append(value_type node);

    TXmlArena& arena_;
    value_type* items_;
    std::uint32_t size_ = 0;
    std::uint32_t capacity_;
};

class TXmlNode {
public:
    ~TXmlNode();
    TXmlNode(const TXmlNode&) = delete;
    TXmlNode& operator=(const TXmlNode&) = delete;
    // A node gives its memory back to its document.
    static void operator delete(TXmlNode* node, std::destroying_delete_t) noexcept;

    TXmlNode* Parent;  // not owning; none for the document
    TXmlNodeKind Kind;
    std::unique_ptr<TXmlNodeList> Children;  // created with the first child
    std::string Name;
    std::string Text;
    std::unique_ptr<TXmlNode> Attributes;  // created on first need

private:
    friend class TXmlDocument;
    friend TXmlNode* AddChild(TXmlNode* node, TXmlNodeKind kind, std::string_view name, std::string_view text);
    friend TXmlNode* AddAttribute(TXmlNode* node, std::string_view name, std::string_view value);

    TXmlNode(TXmlNode* parent, TXmlNodeKind kind, std::string_view name, std::string_view text, TXmlArena& arena);
    static void* operator new(std::size_t size, TXmlArena& arena);
    static void operator delete(void* block, TXmlArena& arena) noexcept;  // when the constructor throws
    TXmlNode* AppendChild(TXmlNodeKind kind, std::string_view name, std::string_view text);
    TXmlNode* AttributeContainer();
    static void FreeOwned(TXmlNode& node, std::size_t depth, std::vector<std::unique_ptr<TXmlNode>>& deeper);

    TXmlArena* arena_;  // the document's; not owning
};

// Made before a document's nodes and freed after them, as a base that comes first.
class TXmlArenaOwner {
protected:
    TXmlArenaOwner();
    ~TXmlArenaOwner();
    std::unique_ptr<TXmlArena> ownArena_;
};

class TXmlDocument : private TXmlArenaOwner, public TXmlNode {
public:
    TXmlDocument();
    // The document itself comes from the general heap; its nodes come from its arena.
    static void* operator new(std::size_t size) { return ::operator new(size); }
    static void operator delete(void* block) noexcept { ::operator delete(block); }

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
