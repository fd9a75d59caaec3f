// The writer: a fixed layout with two spaces per level and one attribute a line, built in memory.
#include <ostream>

#include "xml/xmldoc.h"

namespace levrano {

namespace {

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>";
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kEscapedSpace = "&#x20;";

constexpr bool NeedsEscape(unsigned char c) {
    return c < 0x20 || c == '"' || c == '&' || c == '\'' || c == '<' || c == '>';
}

void AppendEntity(std::string& out, unsigned char c) {
    switch (c) {
        case '"': out.append("&quot;"); return;
        case '&': out.append("&amp;"); return;
        case '\'': out.append("&apos;"); return;
        case '<': out.append("&lt;"); return;
        case '>': out.append("&gt;"); return;
        default: {
            constexpr char kHex[] = "0123456789ABCDEF";
            const char code[] = {'&', '#', 'x', kHex[c >> 4], kHex[c & 0x0F], ';'};
            out.append(code, sizeof code);
        }
    }
}

void AppendEscaped(std::string& out, std::string_view text) {
    std::size_t plainFrom = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (!NeedsEscape(c)) continue;
        out.append(text.substr(plainFrom, i - plainFrom));
        AppendEntity(out, c);
        plainFrom = i + 1;
    }
    out.append(text.substr(plainFrom));
}

// The reader drops blanks at the start of an element's text; escaped spaces survive it.
void AppendElementText(std::string& out, std::string_view text) {
    std::size_t spaces = 0;
    while (spaces < text.size() && text[spaces] == ' ') ++spaces;
    for (std::size_t i = 0; i < spaces; ++i) out.append(kEscapedSpace);
    AppendEscaped(out, text.substr(spaces));
}

bool HasChildren(const TXmlNode* node) {
    return node->Children && !node->Children->empty();
}

bool IsWrittenAsElement(const TXmlNode* node) {
    return node->Kind == xnDocument || node->Kind == xnElement;
}

class TXmlWriter {
public:
    explicit TXmlWriter(std::string& out) : out_(out) {}

    // Elements still open are kept on an explicit stack: nesting depth comes from the file and
    // must not be bounded by the call stack.
    void Write(const TXmlDocument* document) {
        out_.append(kDeclaration).append(kLineEnd);
        Open(document, 0, false);
        while (!open_.empty()) {
            TOpenElement& top = open_.back();
            if (top.next < top.node->Children->size()) {
                const bool followsText = top.next == 0 && !top.node->Text.empty();
                const TXmlNode* child = (*top.node->Children)[top.next++].get();
                WriteChild(child, top.depth + 1, followsText);
            } else {
                Indent(top.depth);
                out_.append("</").append(top.node->Name).append(">").append(kLineEnd);
                open_.pop_back();
            }
        }
    }

private:
    struct TOpenElement {
        const TXmlNode* node;
        std::size_t next;  // index of the next child to write
        std::size_t depth;
    };

    void WriteChild(const TXmlNode* child, std::size_t depth, bool followsText) {
        if (child->Kind == xnComment) {
            out_.append("<!--").append(child->Text).append("-->").append(kLineEnd);
        } else if (IsWrittenAsElement(child)) {
            Open(child, depth, followsText);
        }
    }

    // Writes the start of an element; one with children stays open for them.
    void Open(const TXmlNode* node, std::size_t depth, bool followsText) {
        // Right after the parent's text any blank would join that text when read back.
        if (!followsText) Indent(depth);
        out_.append("<").append(node->Name);
        if (node->Attributes && HasChildren(node->Attributes.get())) WriteAttributes(node->Attributes.get(), depth);
        if (!node->Text.empty()) {
            out_.append(">");
            AppendElementText(out_, node->Text);
            if (!HasChildren(node)) {
                out_.append("</").append(node->Name).append(">").append(kLineEnd);
                return;
            }
        } else if (HasChildren(node)) {
            out_.append(">").append(kLineEnd);
        } else {
            out_.append("/>").append(kLineEnd);
            return;
        }
        open_.push_back({node, 0, depth});
    }

    void WriteAttributes(const TXmlNode* container, std::size_t depth) {
        out_.append(kLineEnd);
        for (const auto& attribute : *container->Children) {
            if (attribute->Kind != xnAttribute) continue;
            Indent(depth + 1);
            out_.append(attribute->Name).append("=\"");
            AppendEscaped(out_, attribute->Text);
            out_.append("\"").append(kLineEnd);
        }
        Indent(depth);
    }

    void Indent(std::size_t depth) {
        const std::size_t width = 2 * depth;
        while (spaces_.size() < width) spaces_.append(spaces_);
        out_.append(spaces_, 0, width);
    }

    std::string& out_;
    std::string spaces_ = std::string(100, ' ');
    std::vector<TOpenElement> open_;
};

}  // namespace

std::string XmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendEscaped(out, text);
    return out;
}

void WriteXml(const TXmlDocument* document, std::string& output) {
    TXmlWriter(output).Write(document);
}

void WriteXml(const TXmlDocument* document, std::ostream& output) {
    std::string text;
    WriteXml(document, text);
    output.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace levrano
