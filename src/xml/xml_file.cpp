// Loading and saving whole configuration files.
#include "common/cp1251.h"
#include "common/exception.h"
#include "platform/file_io.h"
#include "platform/system_error.h"
#include "xml/xmldoc.h"

namespace levrano {

namespace {

std::string InQuotes(const std::string& path) {
    return "\"" + path + "\"";
}

}  // namespace

std::unique_ptr<TXmlDocument> LoadXmlDocument(const std::string& path) {
    std::string content;
    int error = 0;
    if (!ReadWholeFile(path, content, error))
        throw Exception(std::string("Ошибка открытия файла "_cp) + InQuotes(path) + " :" + SystemErrorText(error), 0);
    std::unique_ptr<TXmlDocument> document = NewXmlDocument();
    if (!ParseXml(document.get(), content))
        throw Exception(std::string("Ошибка XML в файле "_cp) + InQuotes(path) + "\r\n" + XmlErrorText(document.get()), 0);
    return document;
}

bool SaveXmlDocument(const TXmlDocument* document, const std::string& path) {
    // Without a root name the file would start with "<>" and could never be loaded again.
    if (!document || document->Name.empty()) return false;
    std::string text;
    WriteXml(document, text);
    return ReplaceFile(path, text);
}

}  // namespace levrano
