#include "db/isc_client.h"

#include <algorithm>
#include <memory>

#include "common/cp1251.h"
#include "common/exception.h"
#include "db/isc_api.h"
#include "platform/dynlib.h"
#include "platform/message_box.h"

namespace levrano {

namespace {

struct LibraryRegistry {
    std::mutex lock;
    std::vector<std::unique_ptr<TIscLibrary>> libraries;
};

LibraryRegistry& Libraries() {
    static LibraryRegistry registry;
    return registry;
}

// isc_interprete is not told the buffer's size and may write up to twice the platform's path
// limit (2 x 4096 bytes on Linux) into it.
constexpr std::size_t kInterpretBufferSize = 8192;

}  // namespace

TIscLibrary* FindLibrary(const std::string& fileName) {
    LibraryRegistry& registry = Libraries();
    std::lock_guard<std::mutex> guard(registry.lock);
    for (const auto& library : registry.libraries)
        if (library->FileName == fileName) return library.get();
    registry.libraries.push_back(std::make_unique<TIscLibrary>(fileName));
    return registry.libraries.back().get();
}

void LoadClientLibrary(TIscLibrary* library) {
    if (!library || library->FileName.empty() || library->Module) return;
    std::string error;
    library->Module = LoadDynamicLibrary(library->FileName, error);
    if (!library->Module) ShowMessageBox("Ошибка"_cp, library->FileName + ":" + error);
}

void UnloadClientLibraries() {
    LibraryRegistry& registry = Libraries();
    std::lock_guard<std::mutex> guard(registry.lock);
    for (const auto& library : registry.libraries) UnloadDynamicLibrary(library->Module);
    registry.libraries.clear();
}

void RaiseIscError(std::int32_t code, const TIscMessageLines& lines) {
    std::string message;
    for (const std::string& line : lines) message += line + "\r\n";
    throw Exception(std::move(message), code);
}

TIscErrorProc IscErrorProc = RaiseIscError;

TIscMessageLines SplitMessageLines(std::string_view text) {
    TIscMessageLines lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t cr = text.find('\r', start);
        if (cr == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, cr - start));
        start = cr + 1;
        if (start < text.size() && text[start] == '\n') ++start;
    }
    return lines;
}

void TIscObject::CheckStatus() {
    if (Status[1] == 0) return;
    LastSqlCode = bound::isc_sqlcode(*library_, Status.data());
    TIscMessageLines lines = SplitMessageLines(InterpretStatus());
    Report(static_cast<std::int32_t>(LastResult), lines);
}

// The status vector's messages, one per line; a line equal to the one just before is dropped.
std::string TIscObject::InterpretStatus() {
    std::string text;
    std::string previous;
    std::vector<ISC_SCHAR> buffer(kInterpretBufferSize);
    ISC_STATUS* cursor = Status.data();
    for (;;) {
        const ISC_LONG length = bound::isc_interprete(*library_, buffer.data(), &cursor);
        if (length <= 0) break;
        std::string line(buffer.data(), std::min<std::size_t>(static_cast<std::size_t>(length), buffer.size()));
        if (line == previous) continue;
        if (!text.empty()) text += "\r\n";
        text += line;
        previous = std::move(line);
    }
    return text;
}

void TIscObject::LibraryChanged(TIscObject*) {}
void TIscObject::DatabaseClosing(TIscObject*) {}
void TIscObject::OwnerFreed(TIscObject*) {}

void TIscObject::RaiseError(std::int32_t code, std::string_view message) {
    TIscMessageLines lines = SplitMessageLines(message);
    Report(code, lines);
}

void TIscObject::RemoveDependent(TIscObject* object) {
    dependents_.erase(std::remove(dependents_.begin(), dependents_.end(), object), dependents_.end());
}

void TIscObject::Report(std::int32_t code, TIscMessageLines& lines) {
    bool raise = true;
    if (OnError) OnError(code, lines, raise);
    if (raise) IscErrorProc(code, lines);
}

}  // namespace levrano
