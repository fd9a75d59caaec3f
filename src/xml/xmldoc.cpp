// The document tree: building, walking, path lookup and typed access.
#include "xml/xmldoc.h"

#include <algorithm>
#include <utility>

#include "common/cp1251.h"
#include "xml/xml_arena.h"

namespace levrano {

namespace {

constexpr std::string_view kAttributesName = "#attributes";
constexpr std::size_t kFirstChildCapacity = 4;
constexpr std::size_t kFirstAttributeCapacity = 8;
constexpr std::size_t kRecursionLimit = 256;

bool TakesAttributes(const TXmlNode* node) {
    return node && (node->Kind == xnDocument || node->Kind == xnElement);
}

TXmlNode* FindChild(const TXmlNode* node, std::string_view name) {
    if (!node->Children) return nullptr;
    for (const auto& child : *node->Children)
        if (cp1251::EqualNoCase(child->Name, name)) return child.get();
    return nullptr;
}

TXmlNode* FindAttribute(const TXmlNode* node, std::string_view key) {
    return node->Attributes ? FindNode(node->Attributes.get(), key, false) : nullptr;
}

}  // namespace

TXmlNodeList::TXmlNodeList(TXmlArena& arena, std::size_t capacity)
    : arena_(arena),
      items_(static_cast<value_type*>(arena.Allocate(capacity * sizeof(value_type)))),
      capacity_(static_cast<std::uint32_t>(capacity)) {}

// Last made first, as in FreeOwned.
TXmlNodeList::~TXmlNodeList() {
    for (std::size_t i = size_; i-- > 0;) items_[i].reset();
    std::destroy_n(items_, size_);
    arena_.Release(items_, capacity_ * sizeof(value_type));
}

void* TXmlNodeList::operator new(std::size_t size, TXmlArena& arena) {
    return arena.Allocate(size);
}

void TXmlNodeList::operator delete(void* block, TXmlArena& arena) noexcept {
    arena.Release(block, sizeof(TXmlNodeList));
}

void TXmlNodeList::operator delete(TXmlNodeList* list, std::destroying_delete_t) noexcept {
    TXmlArena& arena = list->arena_;
    list->~TXmlNodeList();
    arena.Release(list, sizeof(TXmlNodeList));
}

TXmlNode* TXmlNodeList::Append(value_type node) {
    if (size_ == capacity_) {
        const std::size_t capacity = 2 * static_cast<std::size_t>(capacity_);
        auto* items = static_cast<value_type*>(arena_.Allocate(capacity * sizeof(value_type)));
        std::uninitialized_move_n(items_, size_, items);
        std::destroy_n(items_, size_);
        arena_.Release(items_, capacity_ * sizeof(value_type));
        items_ = items;
        capacity_ = static_cast<std::uint32_t>(capacity);
    }
    return (::new (items_ + size_++) value_type(std::move(node)))->get();
}

TXmlNode::TXmlNode(TXmlNode* parent, TXmlNodeKind kind, std::string_view name, std::string_view text, TXmlArena& arena)
    : Parent(parent), Kind(kind), Name(name), Text(text), arena_(&arena) {}

// Frees everything the node owns, last made first: the arena then hands the blocks out again in
// the order in which they were first filled, which keeps a document's nodes in memory order.
// Nesting depth comes from the file: below kRecursionLimit levels the subtree is freed by
// recursion, deeper subtrees are handed to `deeper` and freed by the caller's loop.
void TXmlNode::FreeOwned(TXmlNode& node, std::size_t depth, std::vector<std::unique_ptr<TXmlNode>>& deeper) {
    if (node.Children) {
        TXmlNodeList& children = *node.Children;
        for (std::size_t i = children.size_; i-- > 0;) {
            std::unique_ptr<TXmlNode>& child = children.items_[i];
            if (depth < kRecursionLimit) {
                FreeOwned(*child, depth + 1, deeper);
                child.reset();  // a leaf now, so its destructor does not recurse
            } else {
                deeper.push_back(std::move(child));
            }
        }
        node.Children.reset();
    }
    if (node.Attributes) {
        FreeOwned(*node.Attributes, depth + 1, deeper);
        node.Attributes.reset();
    }
}

TXmlNode::~TXmlNode() {
    if (!Children && !Attributes) return;
    std::vector<std::unique_ptr<TXmlNode>> deeper;
    FreeOwned(*this, 0, deeper);
    while (!deeper.empty()) {
        std::unique_ptr<TXmlNode> node = std::move(deeper.back());
        deeper.pop_back();
        FreeOwned(*node, 0, deeper);
    }
}

void* TXmlNode::operator new(std::size_t size, TXmlArena& arena) {
    return arena.Allocate(size);
}

void TXmlNode::operator delete(void* block, TXmlArena& arena) noexcept {
    arena.Release(block, sizeof(TXmlNode));
}

void TXmlNode::operator delete(TXmlNode* node, std::destroying_delete_t) noexcept {
    TXmlArena& arena = *node->arena_;
    node->~TXmlNode();
    arena.Release(node, sizeof(TXmlNode));
}

TXmlNode* TXmlNode::AppendChild(TXmlNodeKind kind, std::string_view name, std::string_view text) {
    if (!Children) Children.reset(new (*arena_) TXmlNodeList(*arena_, Kind == xnAttributes ? kFirstAttributeCapacity : kFirstChildCapacity));
    return Children->Append(std::unique_ptr<TXmlNode>(new (*arena_) TXmlNode(this, kind, name, text, *arena_)));
}

TXmlNode* TXmlNode::AttributeContainer() {
    if (!Attributes) Attributes.reset(new (*arena_) TXmlNode(this, xnAttributes, kAttributesName, {}, *arena_));
    return Attributes.get();
}

TXmlArenaOwner::TXmlArenaOwner() : ownArena_(std::make_unique<TXmlArena>()) {}

TXmlArenaOwner::~TXmlArenaOwner() = default;

TXmlDocument::TXmlDocument() : TXmlNode(nullptr, xnDocument, {}, {}, *ownArena_) {}

std::unique_ptr<TXmlDocument> NewXmlDocument() {
    return std::make_unique<TXmlDocument>();
}

TXmlNode* AddChild(TXmlNode* node, TXmlNodeKind kind, std::string_view name, std::string_view text) {
    return node ? node->AppendChild(kind, name, text) : nullptr;
}

TXmlNode* AddElement(TXmlNode* node, std::string_view name, std::string_view text) {
    return AddChild(node, xnElement, name, text);
}

TXmlNode* AddAttribute(TXmlNode* node, std::string_view name, std::string_view value) {
    if (!TakesAttributes(node)) return nullptr;
    return node->AttributeContainer()->AppendChild(xnAttribute, name, value);
}

void SetText(TXmlNode* node, std::string_view text) {
    if (node && node->Kind != xnAttributes) node->Text.assign(text);
}

std::int32_t Count(const TXmlNode* node) {
    return node && node->Children ? static_cast<std::int32_t>(node->Children->size()) : 0;
}

TXmlNode* Child(const TXmlNode* node, std::int32_t index) {
    // An index outside the list gives none rather than reading past it.
    if (index < 0 || index >= Count(node)) return nullptr;
    return (*node->Children)[static_cast<std::size_t>(index)].get();
}

void Clear(TXmlNode* node, bool withChildren, bool withAttributes) {
    if (!node) return;
    if (withChildren) node->Children.reset();
    if (withAttributes) node->Attributes.reset();
}

TXmlNode* FindNode(TXmlNode* node, std::string_view path, bool create) {
    TXmlNode* current = node;
    std::size_t start = 0;
    while (current && start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        const std::string_view segment = path.substr(start, end - start);
        start = end + 1;
        if (segment.empty()) continue;
        TXmlNode* found = FindChild(current, segment);
        if (!found && create) found = AddElement(current, segment, {});
        current = found;
    }
    return current;
}

std::string ReadString(TXmlNode* node, std::string_view section, std::string_view key, std::string_view defaultValue) {
    TXmlNode* n = section.empty() ? node : FindNode(node, section, false);
    if (n && !key.empty()) n = FindAttribute(n, key);
    return std::string(n ? std::string_view(n->Text) : defaultValue);
}

std::int32_t ReadInteger(TXmlNode* node, std::string_view section, std::string_view key, std::int32_t defaultValue) {
    return StrToInt32(ReadString(node, section, key, std::to_string(defaultValue)));
}

bool ReadBool(TXmlNode* node, std::string_view section, std::string_view key, bool defaultValue) {
    return cp1251::EqualNoCase(ReadString(node, section, key, defaultValue ? "true" : "false"), "true");
}

void WriteString(TXmlNode* node, std::string_view section, std::string_view key, std::string_view text) {
    TXmlNode* n = section.empty() ? node : FindNode(node, section, true);
    if (n && !key.empty()) {
        TXmlNode* attribute = FindAttribute(n, key);
        n = attribute ? attribute : AddAttribute(n, key, {});
    }
    SetText(n, text);
}

void WriteInteger(TXmlNode* node, std::string_view section, std::string_view key, std::int32_t value) {
    WriteString(node, section, key, std::to_string(value));
}

void WriteBool(TXmlNode* node, std::string_view section, std::string_view key, bool value) {
    WriteString(node, section, key, value ? "true" : "false");
}

std::int32_t StrToInt32(std::string_view text) {
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) ++i;
    // Unsigned arithmetic wraps the way the stored values expect, without overflow faults.
    std::uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10u + static_cast<std::uint32_t>(text[i] - '0');
    if (negative) value = 0u - value;
    return static_cast<std::int32_t>(value);
}

}  // namespace levrano
