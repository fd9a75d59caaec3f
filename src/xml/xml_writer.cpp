// The writer: a fixed layout with two spaces per level and one attribute a line, written in blocks.
#include <cstring>
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

// Collects output in a local block and hands it on in large pieces, to a string or a stream: a
// file is made of many short pieces, and a library call for each would dominate the writing.
class TOutput {
public:
    explicit TOutput(std::string& out) : string_(&out) {}
    explicit TOutput(std::ostream& out) : stream_(&out) {}
    ~TOutput() { Flush(); }
    TOutput(const TOutput&) = delete;
    TOutput& operator=(const TOutput&) = delete;

    TOutput& operator<<(std::string_view piece) {
        if (piece.size() > kBlock - used_) {
            Flush();
            if (piece.size() > kBlock) {
                Emit(piece);
                return *this;
            }
        }
        std::memcpy(block_ + used_, piece.data(), piece.size());
        used_ += piece.size();
        return *this;
    }

private:
    static constexpr std::size_t kBlock = 16 * 1024;

    void Flush() {
        Emit(std::string_view(block_, used_));
        used_ = 0;
    }

    void Emit(std::string_view piece) {
        if (string_) {
            string_->append(piece);
        } else {
            stream_->write(piece.data(), static_cast<std::streamsize>(piece.size()));
        }
    }

    std::string* string_ = nullptr;
    std::ostream* stream_ = nullptr;
    std::size_t used_ = 0;
    char block_[kBlock];
};

std::string_view Entity(unsigned char c, char (&code)[6]) {
    switch (c) {
        case '"': return "&quot;";
        case '&': return "&amp;";
        case '\'': return "&apos;";
        case '<': return "&lt;";
        case '>': return "&gt;";
        default: {
            constexpr char kHex[] = "0123456789ABCDEF";
            code[3] = kHex[c >> 4];
            code[4] = kHex[c & 0x0F];
            return std::string_view(code, 6);
        }
    }
}

void WriteEscaped(TOutput& out, std::string_view text) {
    char code[6] = {'&', '#', 'x', '0', '0', ';'};
    std::size_t plainFrom = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (!NeedsEscape(c)) continue;
        out << text.substr(plainFrom, i - plainFrom) << Entity(c, code);
        plainFrom = i + 1;
    }
    out << text.substr(plainFrom);
}

// The reader drops blanks at the start of an element's text; escaped spaces survive it.
void WriteElementText(TOutput& out, std::string_view text) {
    std::size_t spaces = 0;
    while (spaces < text.size() && text[spaces] == ' ') ++spaces;
    for (std::size_t i = 0; i < spaces; ++i) out << kEscapedSpace;
    WriteEscaped(out, text.substr(spaces));
}

bool HasChildren(const TXmlNode* node) {
    return node->Children && !node->Children->empty();
}

bool IsWrittenAsElement(const TXmlNode* node) {
    return node->Kind == xnDocument || node->Kind == xnElement;
}

class TXmlWriter {
public:
    template <class TSink>
    explicit TXmlWriter(TSink& out) : out_(out) {}

    // Elements still open are kept on an explicit stack: nesting depth comes from the file and
    // must not be bounded by the call stack.
    void Write(const TXmlDocument* document) {
        out_ << kDeclaration << kLineEnd;
        Open(document, 0, false);
        while (!open_.empty()) {
            TOpenElement& top = open_.back();
            if (top.next < top.node->Children->size()) {
                const bool followsText = top.next == 0 && !top.node->Text.empty();
                const TXmlNode* child = (*top.node->Children)[top.next++].get();
                WriteChild(child, top.depth + 1, followsText);
            } else {
                Indent(top.depth);
                out_ << "</" << top.node->Name << ">" << kLineEnd;
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
            out_ << "<!--" << child->Text << "-->" << kLineEnd;
        } else if (IsWrittenAsElement(child)) {
            Open(child, depth, followsText);
        }
    }

    // Writes the start of an element; one with children stays open for them.
    void Open(const TXmlNode* node, std::size_t depth, bool followsText) {
        // Right after the parent's text any blank would join that text when read back.
        if (!followsText) Indent(depth);
        out_ << "<" << node->Name;
        if (node->Attributes && HasChildren(node->Attributes.get())) WriteAttributes(node->Attributes.get(), depth);
        if (!node->Text.empty()) {
            out_ << ">";
            WriteElementText(out_, node->Text);
            if (!HasChildren(node)) {
                out_ << "</" << node->Name << ">" << kLineEnd;
                return;
            }
        } else if (HasChildren(node)) {
            out_ << ">" << kLineEnd;
        } else {
            out_ << "/>" << kLineEnd;
            return;
        }
        open_.push_back({node, 0, depth});
    }

    void WriteAttributes(const TXmlNode* container, std::size_t depth) {
        out_ << kLineEnd;
        for (const auto& attribute : *container->Children) {
            if (attribute->Kind != xnAttribute) continue;
            Indent(depth + 1);
            out_ << attribute->Name << "=\"";
            WriteEscaped(out_, attribute->Text);
            out_ << "\"" << kLineEnd;
        }
        Indent(depth);
    }

    void Indent(std::size_t depth) {
        const std::size_t width = 2 * depth;
        while (spaces_.size() < width) spaces_.append(spaces_);
        out_ << std::string_view(spaces_).substr(0, width);
    }

    TOutput out_;
    std::string spaces_ = std::string(100, ' ');
    std::vector<TOpenElement> open_;
};

}  // namespace

std::string XmlEscape(std::string_view text) {
    std::string escaped;
    {
        TOutput out(escaped);
        WriteEscaped(out, text);
    }
    return escaped;
}

void WriteXml(const TXmlDocument* document, std::string& output) {
    TXmlWriter(output).Write(document);
}

void WriteXml(const TXmlDocument* document, std::ostream& output) {
    TXmlWriter(output).Write(document);
}

}  // namespace levrano
