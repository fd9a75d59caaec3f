// The Firebird client library bound at run time: the registry of library files, the lock that
// serialises the calls made through each, and the common base of the database, transaction and
// query objects, which turns a failed call into an Exception with readable text.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace levrano {

using TIscStatus = std::intptr_t;         // one element of the client's status vector
using TIscHandle = std::uint32_t;         // the client's handle of an attachment, transaction or statement
inline constexpr int kIscStatusLength = 20;
inline constexpr int kIscFunctionCount = 17;

// One client library file, shared by every object that names it; lives until module unload.
struct TIscLibrary {
    explicit TIscLibrary(std::string fileName) : FileName(std::move(fileName)) {}

    const std::string FileName;  // exactly as the callers gave it
    void* Module = nullptr;      // none until loaded
    std::recursive_mutex Lock;   // re-entrant: a query's error report may run another query
    std::array<std::atomic<void*>, kIscFunctionCount> Entries{};  // each filled on its first call
};

// The registered library of that exact (case-sensitive) name, registered anew when there is
// none. Loads nothing.
TIscLibrary* FindLibrary(const std::string& fileName);

// Loads the library unless it is loaded or unnamed. A failure is shown to the user (message box
// or standard error) and raises nothing: the first call through the library then fails.
void LoadClientLibrary(TIscLibrary* library);

// Unloads every loaded library and empties the registry (at module unload, after every
// database object is gone).
void UnloadClientLibraries();

using TIscMessageLines = std::vector<std::string>;

// The process-wide error procedure; its initial value, RaiseIscError, raises an Exception with
// the code and the lines, each followed by "\r\n".
using TIscErrorProc = void (*)(std::int32_t code, const TIscMessageLines& lines);
extern TIscErrorProc IscErrorProc;
[[noreturn]] void RaiseIscError(std::int32_t code, const TIscMessageLines& lines);

// Text split into lines at carriage returns (a line feed right after one belongs to the break).
TIscMessageLines SplitMessageLines(std::string_view text);

// Called with (code, message lines, raise flag): clearing the flag stops the report.
using TIscErrorHandler = std::function<void(std::int32_t code, TIscMessageLines& lines, bool& raise)>;

class TIscObject {
public:
    TIscObject(const TIscObject&) = delete;
    TIscObject& operator=(const TIscObject&) = delete;
    virtual ~TIscObject() = default;

    // Reports the error held in the status vector, if any (right after an API call).
    virtual void CheckStatus();
    // Notifications from the object this one depends on.
    virtual void LibraryChanged(TIscObject* sender);
    virtual void DatabaseClosing(TIscObject* sender);
    // The object this one depends on is being freed and must be forgotten.
    virtual void OwnerFreed(TIscObject* sender);

    // Reports an error that did not come from the API (code -1 usage, -2 conversion).
    void RaiseError(std::int32_t code, std::string_view message);

    TIscLibrary* Library() const { return library_; }
    const std::vector<TIscObject*>& Dependents() const { return dependents_; }
    void AddDependent(TIscObject* object) { dependents_.push_back(object); }
    void RemoveDependent(TIscObject* object);

    TIscErrorHandler OnError;
    std::array<TIscStatus, kIscStatusLength> Status{};  // element 1 holds the error code of a failed call
    std::int32_t LastSqlCode = 0;
    TIscStatus LastResult = 0;  // what the last API call returned; 100 from a fetch = no more rows

protected:
    TIscObject() = default;
    void SetLibrary(TIscLibrary* library) { library_ = library; }
    // OnError, then the error procedure unless the handler cleared the raise flag.
    void Report(std::int32_t code, TIscMessageLines& lines);

private:
    std::string InterpretStatus();

    TIscLibrary* library_ = nullptr;     // not owned
    std::vector<TIscObject*> dependents_;  // not owned
};

}  // namespace levrano
