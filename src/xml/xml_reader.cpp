// The reader: a byte-driven state machine over the whole input, unescaping, and fault texts.
#include <algorithm>
#include <bit>
#include <istream>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "common/cp1251.h"
#include "xml/xmldoc.h"

namespace levrano {

namespace {

enum TXmlFault : std::int32_t {
    xfNone = 0,
    xfBadNameChar = 1,
    xfBadEscape = 2,
    xfUnexpectedClose = 3,
    xfUnclosedTag = 4,
    xfMisplacedAttribute = 5,
};

enum TReaderState : std::uint8_t {
    rsBetweenTags = 0,
    rsAfterLess = 1,
    rsDeclaration = 2,  // inside "<!...>" or "<?...>"
    rsClosingTag = 3,
    rsTagName = 4,
    rsInStartTag = 5,
    rsAfterStartTag = 6,
    rsText = 7,
    rsAttributeName = 8,
    rsAfterEquals = 9,
    rsAttributeValue = 10,
};

constexpr bool IsBlank(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

constexpr bool IsNameChar(unsigned char c) {
    return c == '.' || c == '_' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Byte classes looked up per byte in the reader's tight loops.
template <bool (*Test)(unsigned char)>
struct TByteClass {
    bool member[256];
    constexpr TByteClass() : member() {
        for (int c = 0; c < 256; ++c) member[c] = Test(static_cast<unsigned char>(c));
    }
    bool operator()(char c) const { return member[static_cast<unsigned char>(c)]; }
};

constexpr TByteClass<IsBlank> kBlank;
constexpr TByteClass<IsNameChar> kNameChar;

constexpr bool IsQuote(unsigned char c) {
    return c == '"' || c == '\'';
}

#if defined(__SSE2__)
// Runs over 16 bytes at a time while none of them is a stop byte; returns where the block with
// a stop byte begins, or where fewer than 16 bytes are left. Blanks, attribute values and
// declarations are most of a file's bytes, and the byte-wise loops were most of its reading.
template <class TStops>
std::size_t SkipBlocks(std::string_view input, std::size_t from, TStops stops) {
    for (; from + 16 <= input.size(); from += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(input.data() + from));
        const auto mask = static_cast<unsigned>(_mm_movemask_epi8(stops(block)));
        if (mask != 0) return from + static_cast<std::size_t>(std::countr_zero(mask));
    }
    return from;
}

std::size_t SkipBlankBlocks(std::string_view input, std::size_t from) {
    return SkipBlocks(input, from, [](__m128i block) {
        const __m128i blank = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8(' ')), _mm_cmpeq_epi8(block, _mm_set1_epi8('\t'))),
                                           _mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8('\r')), _mm_cmpeq_epi8(block, _mm_set1_epi8('\n'))));
        return _mm_xor_si128(blank, _mm_set1_epi8(-1));
    });
}

std::size_t SkipBlocksUntilEither(std::string_view input, std::size_t from, char first, char second) {
    return SkipBlocks(input, from, [first, second](__m128i block) {
        return _mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8(first)), _mm_cmpeq_epi8(block, _mm_set1_epi8(second)));
    });
}

__m128i InRange(__m128i block, char low, char high) {
    return _mm_and_si128(_mm_cmpgt_epi8(block, _mm_set1_epi8(static_cast<char>(low - 1))), _mm_cmplt_epi8(block, _mm_set1_epi8(static_cast<char>(high + 1))));
}

std::size_t SkipNameBlocks(std::string_view input, std::size_t from) {
    return SkipBlocks(input, from, [](__m128i block) {
        const __m128i name = _mm_or_si128(
            _mm_or_si128(InRange(block, '0', '9'), _mm_or_si128(InRange(block, 'A', 'Z'), InRange(block, 'a', 'z'))),
            _mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8('.')), _mm_cmpeq_epi8(block, _mm_set1_epi8('_'))));
        return _mm_xor_si128(name, _mm_set1_epi8(-1));
    });
}

std::size_t CountFeeds(std::string_view text) {
    std::size_t feeds = 0;
    std::size_t i = 0;
    for (; i + 16 <= text.size(); i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
        // Lines are short: a block holds one feed or none, so bits are cleared one by one.
        for (auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8('\n')))); mask != 0; mask &= mask - 1) ++feeds;
    }
    return feeds + static_cast<std::size_t>(std::count(text.begin() + static_cast<std::ptrdiff_t>(i), text.end(), '\n'));
}
#else
std::size_t SkipBlankBlocks(std::string_view, std::size_t from) {
    return from;
}

std::size_t SkipNameBlocks(std::string_view, std::size_t from) {
    return from;
}

std::size_t CountFeeds(std::string_view text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

std::size_t SkipBlocksUntilEither(std::string_view, std::size_t from, char, char) {
    return from;
}
#endif

// States whose bytes accumulate in the token while the state holds.
constexpr bool GathersToken(TReaderState state) {
    switch (state) {
        case rsClosingTag:
        case rsTagName:
        case rsAfterStartTag:
        case rsText:
        case rsAttributeName:
        case rsAttributeValue:
            return true;
        default:
            return false;
    }
}

std::string ReadWholeStream(std::istream& input) {
    constexpr std::size_t kBlock = 64 * 1024;
    std::string data;
    std::streambuf* buffer = input.rdbuf();
    if (!buffer) return data;
    for (;;) {
        const std::size_t used = data.size();
        data.resize(used + kBlock);
        const std::streamsize got = buffer->sgetn(data.data() + used, static_cast<std::streamsize>(kBlock));
        data.resize(used + static_cast<std::size_t>(got > 0 ? got : 0));
        if (got < static_cast<std::streamsize>(kBlock)) break;
    }
    return data;
}

int HexDigit(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::uint32_t HexValue(std::string_view digits) {
    if (!digits.empty() && digits[0] == '$') digits.remove_prefix(1);
    std::uint32_t value = 0;
    for (unsigned char c : digits) {
        const int digit = HexDigit(c);
        if (digit < 0) break;
        value = value * 16u + static_cast<std::uint32_t>(digit);
    }
    return value;
}

// Decodes the text between "&" and ";"; false when it names no known sequence.
bool AppendEntity(std::string& out, std::string_view body) {
    if (body.empty()) return false;
    const char second = body.size() > 1 ? body[1] : '\0';
    switch (body[0]) {
        case '#': {
            const std::uint32_t code = second == 'x' ? HexValue(body.substr(2)) : static_cast<std::uint32_t>(StrToInt32(body.substr(1)));
            out.push_back(static_cast<char>(code & 0xFFu));
            return true;
        }
        case 'a': out.push_back(second == 'm' ? '&' : '\''); return true;
        case 'g': out.push_back('>'); return true;
        case 'l': out.push_back('<'); return true;
        case 'q': out.push_back('"'); return true;
        default: return false;
    }
}

// Appends the decoded text; a bad sequence sets errorCode and ends the decoding.
void AppendUnescaped(std::string& out, std::string_view text, std::int32_t& errorCode) {
    std::size_t i = 0;
    while (i < text.size() && errorCode == xfNone) {
        const std::size_t amp = static_cast<std::size_t>(std::find(text.begin() + i, text.end(), '&') - text.begin());
        if (amp == text.size()) {
            out.append(text.substr(i));
            return;
        }
        out.append(text.substr(i, amp - i));
        const std::size_t semicolon = text.find(';', amp + 1);
        if (semicolon == std::string_view::npos || !AppendEntity(out, text.substr(amp + 1, semicolon - amp - 1))) {
            errorCode = xfBadEscape;
            return;
        }
        i = semicolon + 1;
    }
}

class TXmlReader {
public:
    TXmlReader(TXmlDocument* document, std::string_view input) : document_(document), input_(input) {}

    bool Run() {
        ResetDocument();
        std::size_t read = 0;
        while (read < input_.size()) {
            read = SkipInertBytes(read);
            if (read == input_.size()) break;
            if (state_ == rsInStartTag && kNameChar(input_[read]) && ReadPlainAttribute(read)) {
                if (document_->ErrorCode != xfNone) break;
                continue;
            }
            position_ = read++;
            const TReaderState next = Step(static_cast<unsigned char>(input_[position_]));
            if (document_->ErrorCode != xfNone) break;
            TakeToken(next);
            state_ = next;
        }
        FinishToken();
        SetPosition(input_.substr(0, read));
        return document_->ErrorCode == xfNone;
    }

private:
    void ResetDocument() {
        // A document parsed again must not keep anything of its former content.
        Clear(document_, true, true);
        document_->Name.clear();
        document_->Text.clear();
        document_->Line = 1;
        document_->Column = 0;
        document_->ErrorCode = xfNone;
    }

    std::string_view Token() const { return input_.substr(tokenBegin_, tokenEnd_ - tokenBegin_); }

    // The token is always a run of input bytes ending at the latest byte, so a range describes it.
    void ExtendToken() { tokenEnd_ = position_ + 1; }
    void StartToken() {
        tokenBegin_ = position_;
        tokenEnd_ = position_ + 1;
    }
    void EmptyToken() { tokenBegin_ = tokenEnd_ = position_ + 1; }

    void TakeToken(TReaderState next) {
        if (next == state_) {
            if (GathersToken(next)) ExtendToken();
        } else if (next == rsClosingTag || next == rsAttributeValue) {
            EmptyToken();
        } else {
            StartToken();
        }
    }

    void FinishToken() {
        if (document_->ErrorCode == xfNone && current_) {
            document_->ErrorCode = xfUnclosedTag;
            document_->Token = current_->Name;
        } else {
            document_->Token.assign(Token());
        }
    }

    void SetPosition(std::string_view consumed) {
        const std::size_t lastFeed = consumed.rfind('\n');
        const std::size_t lineStart = lastFeed == std::string_view::npos ? 0 : lastFeed + 1;
        document_->Line = static_cast<std::int32_t>(1 + CountFeeds(consumed));
        document_->Column = static_cast<std::int32_t>(consumed.size() - lineStart);
    }

    TReaderState Fault(TXmlFault code) {
        document_->ErrorCode = code;
        return state_;
    }

    // Skips the bytes from `from` on that keep the state and call for no action; in a state that
    // gathers its token they join it. Returns the position of the next byte that matters.
    std::size_t SkipInertBytes(std::size_t from) {
        const std::size_t end = InertEnd(from);
        if (end > from && GathersToken(state_)) tokenEnd_ = end;
        return end;
    }

    std::size_t InertEnd(std::size_t from) const {
        switch (state_) {
            case rsBetweenTags:
            case rsInStartTag:
            case rsAfterStartTag: return SkipWhile(SkipBlankBlocks(input_, from), kBlank);
            case rsTagName:
            case rsAttributeName: return SkipWhile(SkipNameBlocks(input_, from), kNameChar);
            case rsDeclaration: return SkipUntilEither(from, '<', '>');
            case rsClosingTag: return SkipUntil(from, '>');
            case rsText: return SkipUntil(from, '<');
            case rsAfterEquals:
            case rsAttributeValue: return SkipUntilEither(from, '"', '\'');
            case rsAfterLess: return from;
        }
        return from;
    }

    template <class TClass>
    std::size_t SkipWhile(std::size_t from, const TClass& inClass) const {
        while (from < input_.size() && inClass(input_[from])) ++from;
        return from;
    }

    std::size_t SkipUntil(std::size_t from, char stop) const {
        const std::size_t found = input_.find(stop, from);
        return found == std::string_view::npos ? input_.size() : found;
    }

    std::size_t SkipUntilEither(std::size_t from, char first, char second) const {
        from = SkipBlocksUntilEither(input_, from, first, second);
        while (from < input_.size() && input_[from] != first && input_[from] != second) ++from;
        return from;
    }

    // The usual form of an attribute, name="value", read in one go with the same result as byte
    // by byte. False, with nothing read, for any other form: the byte machine then takes it.
    bool ReadPlainAttribute(std::size_t& read) {
        const std::size_t nameEnd = SkipWhile(SkipNameBlocks(input_, read), kNameChar);
        if (nameEnd + 1 >= input_.size() || input_[nameEnd] != '=' || !IsQuote(static_cast<unsigned char>(input_[nameEnd + 1]))) return false;
        const std::size_t valueBegin = nameEnd + 2;
        const std::size_t valueEnd = SkipUntilEither(valueBegin, '"', '\'');
        if (valueEnd == input_.size()) return false;
        const std::string_view value = input_.substr(valueBegin, valueEnd - valueBegin);
        const bool plain = std::find(value.begin(), value.end(), '&') == value.end();
        attribute_ = AddAttribute(current_, input_.substr(read, nameEnd - read), plain ? value : std::string_view());
        if (!attribute_) return false;
        position_ = valueEnd;
        read = valueEnd + 1;
        if (!plain) {
            tokenBegin_ = valueBegin;
            tokenEnd_ = valueEnd;
            UnescapeInto(attribute_->Text);
            if (document_->ErrorCode != xfNone) return true;
        }
        StartToken();
        return true;
    }

    TReaderState Step(unsigned char c) {
        switch (state_) {
            case rsBetweenTags: return BetweenTags(c);
            case rsAfterLess: return AfterLess(c);
            case rsDeclaration: return Declaration(c);
            case rsClosingTag: return ClosingTag(c);
            case rsTagName: return TagName(c);
            case rsInStartTag: return InStartTag(c);
            case rsAfterStartTag: return AfterStartTag(c);
            case rsText: return Text(c);
            case rsAttributeName: return AttributeName(c);
            case rsAfterEquals: return IsQuote(c) ? rsAttributeValue : rsAfterEquals;
            case rsAttributeValue: return AttributeValue(c);
        }
        return state_;
    }

    TReaderState BetweenTags(unsigned char c) {
        if (IsBlank(c)) return rsBetweenTags;
        if (c == '<') return rsAfterLess;
        if (c == '/') return rsClosingTag;
        return TagNameStart(c);
    }

    TReaderState AfterLess(unsigned char c) {
        if (c == '!' || c == '?') {
            nesting_ = 0;
            return rsDeclaration;
        }
        if (c == '/') return rsClosingTag;
        return TagNameStart(c);
    }

    // A tag name's first byte is taken without the name test, except the bytes that could never
    // be read back as that name once written: ">" would end the closing tag that repeats it, and
    // "!" or "?" after the "<" the writer puts first would open a declaration.
    TReaderState TagNameStart(unsigned char c) {
        if (c != '>' && c != '!' && c != '?') return rsTagName;
        StartToken();
        return Fault(xfBadNameChar);
    }

    TReaderState Declaration(unsigned char c) {
        if (c == '<') ++nesting_;
        if (c == '>' && --nesting_ < 0) return rsBetweenTags;
        return rsDeclaration;
    }

    TReaderState ClosingTag(unsigned char c) {
        if (c != '>') return rsClosingTag;
        if (!current_) return Fault(xfUnexpectedClose);
        current_ = current_->Parent;
        return rsBetweenTags;
    }

    TReaderState TagName(unsigned char c) {
        if (c == '>' || c == '/' || IsBlank(c)) {
            MakeElement();
            return c == '>' ? rsAfterStartTag : c == '/' ? rsClosingTag : rsInStartTag;
        }
        if (IsNameChar(c)) return rsTagName;
        ExtendToken();
        return Fault(xfBadNameChar);
    }

    TReaderState InStartTag(unsigned char c) {
        if (IsBlank(c)) return rsInStartTag;
        if (c == '>') return rsAfterStartTag;
        if (c == '/') return rsClosingTag;
        if (IsNameChar(c)) return rsAttributeName;
        StartToken();
        return Fault(xfBadNameChar);
    }

    TReaderState AfterStartTag(unsigned char c) {
        if (IsBlank(c)) return rsAfterStartTag;
        return c == '<' ? rsAfterLess : rsText;
    }

    TReaderState Text(unsigned char c) {
        if (c != '<') return rsText;
        UnescapeInto(current_->Text);
        return rsAfterLess;
    }

    TReaderState AttributeName(unsigned char c) {
        if (IsNameChar(c)) return rsAttributeName;
        ExtendToken();
        if (c != '=') return Fault(xfBadNameChar);
        attribute_ = AddAttribute(current_, Token().substr(0, Token().size() - 1), {});
        return attribute_ ? rsAfterEquals : Fault(xfMisplacedAttribute);
    }

    TReaderState AttributeValue(unsigned char c) {
        if (!IsQuote(c)) return rsAttributeValue;
        UnescapeInto(attribute_->Text);
        return rsInStartTag;
    }

    void MakeElement() {
        if (current_) {
            current_ = AddElement(current_, Token(), {});
        } else {
            current_ = document_;
            current_->Name.assign(Token());
        }
    }

    void UnescapeInto(std::string& text) {
        text.clear();
        AppendUnescaped(text, Token(), document_->ErrorCode);
    }

    TXmlDocument* document_;
    std::string_view input_;
    std::size_t position_ = 0;  // of the byte being handled
    std::size_t tokenBegin_ = 0;
    std::size_t tokenEnd_ = 0;
    TReaderState state_ = rsBetweenTags;
    std::int32_t nesting_ = 0;
    TXmlNode* current_ = nullptr;    // innermost open element
    TXmlNode* attribute_ = nullptr;  // the attribute whose value is being read
};

std::string Quoted(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out.push_back('"');
    out.append(text);
    out.push_back('"');
    return out;
}

std::string FaultText(const TXmlDocument* document) {
    const std::string token = Quoted(document->Token);
    switch (document->ErrorCode) {
        case xfBadNameChar: return token + std::string(" - недопустимый символ в идентификаторе"_cp);
        case xfBadEscape: return token + std::string(" - недопустимая ESC последовательность"_cp);
        case xfUnexpectedClose: return std::string(" неожиданный тег закрытия "_cp) + token;
        case xfUnclosedTag: return std::string(" нет закрытия тега "_cp) + token;
        case xfMisplacedAttribute: return std::string(" не допускается указание атрибута "_cp) + token + std::string(" в этом месте"_cp);
        default: return {};
    }
}

}  // namespace

bool ParseXml(TXmlDocument* document, std::string_view input) {
    return TXmlReader(document, input).Run();
}

bool ParseXml(TXmlDocument* document, std::istream& input) {
    return ParseXml(document, std::string_view(ReadWholeStream(input)));
}

std::string XmlUnescape(std::string_view text, TXmlDocument* document) {
    std::int32_t ownCode = xfNone;
    std::string out;
    out.reserve(text.size());
    AppendUnescaped(out, text, document ? document->ErrorCode : ownCode);
    return out;
}

std::string XmlErrorText(const TXmlDocument* document) {
    if (document->ErrorCode == xfNone) return std::string("Разбор xml успешный"_cp);
    // Appended piece by piece: GCC's -O3 misreads the first "(" + std::string as an overlapping copy.
    std::string text = "(";
    text += std::to_string(document->Line);
    text += ":";
    text += std::to_string(document->Column);
    text += "): (";
    text += std::to_string(document->ErrorCode);
    text += ") - ";
    text += FaultText(document);
    return text;
}

}  // namespace levrano
