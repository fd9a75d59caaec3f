// Helpers shared by the XML tests: expected files written as tables of lines, and trees
// described as text so that a mismatch shows where it is.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "xml/xmldoc.h"

namespace levrano::xmltest {

struct TLine {
    int spaces;
    std::string_view text;
};

// The bytes of a file made of these lines, each ended by CR LF.
std::string FileOf(std::initializer_list<TLine> lines);

// One line per node: kind, name and text, indented by depth; attributes follow their element.
std::string Describe(const TXmlNode* node);

// A new document whose root element has this name.
std::unique_ptr<TXmlDocument> DocumentNamed(std::string_view name);

// Parses text that must be free of faults.
std::unique_ptr<TXmlDocument> ParseOk(std::string_view text);

std::string Written(const TXmlDocument* document);

}  // namespace levrano::xmltest
