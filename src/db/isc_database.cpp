#include "db/isc_database.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "common/exception.h"
#include "db/isc_api.h"

namespace levrano {

namespace {

// Re-entrant: losing a connection ends transactions whose own reports may find the loss again.
struct DatabaseRegistry {
    std::recursive_mutex lock;
    std::vector<TIscDatabase*> databases;
};

DatabaseRegistry& Databases() {
    static DatabaseRegistry registry;
    return registry;
}

bool IsRegistered(const DatabaseRegistry& registry, const TIscDatabase* database) {
    return std::find(registry.databases.begin(), registry.databases.end(), database) != registry.databases.end();
}

// The client's network, connection, read and write failures.
bool IsNetworkError(TIscStatus code) { return code >= 335544721 && code <= 335544727; }

void LoseConnections(TIscLibrary* library) {
    DatabaseRegistry& registry = Databases();
    std::lock_guard<std::recursive_mutex> guard(registry.lock);
    // A handler may free databases while the walk goes on.
    const std::vector<TIscDatabase*> snapshot = registry.databases;
    for (TIscDatabase* database : snapshot)
        if (IsRegistered(registry, database) && database->Library() == library) database->ConnectionLost();
}

std::unique_ptr<TIscDatabase>& SharedDatabase() {
    static std::unique_ptr<TIscDatabase> database;
    return database;
}

}  // namespace

void CheckStatusWithNetworkLoss(TIscObject& object) {
    object.TIscObject::CheckStatus();
    if (object.Status[1] != 0 && IsNetworkError(object.LastResult)) LoseConnections(object.Library());
}

TIscDatabase::TIscDatabase(const std::string& libraryName) {
    SetLibraryName(libraryName);
    {
        DatabaseRegistry& registry = Databases();
        std::lock_guard<std::recursive_mutex> guard(registry.lock);
        registry.databases.push_back(this);
    }
    LoadClientLibrary(Library());
}

TIscDatabase::~TIscDatabase() {
    try {
        Disconnect();
    } catch (const Exception&) {
        // A destructor cannot report; the handle is forgotten either way.
    }
    for (TIscObject* dependent : std::vector<TIscObject*>(Dependents())) dependent->OwnerFreed(this);
    DatabaseRegistry& registry = Databases();
    std::lock_guard<std::recursive_mutex> guard(registry.lock);
    registry.databases.erase(std::remove(registry.databases.begin(), registry.databases.end(), this),
                             registry.databases.end());
}

void TIscDatabase::SetLibraryName(const std::string& name) {
    libraryName_ = name;
    TIscLibrary* library = FindLibrary(name);
    if (library == Library()) return;
    SetLibrary(library);
    for (TIscObject* dependent : Dependents()) dependent->LibraryChanged(this);
}

void TIscDatabase::SetHandle(TIscHandle handle) {
    Disconnect();
    handle_ = handle;
    external_ = handle != 0;
    if (external_ && OnConnect) OnConnect(this);
}

void TIscDatabase::Disconnect() {
    if (handle_ == 0) return;
    if (BeforeDisconnect) BeforeDisconnect(this);
    const std::vector<TIscObject*> dependents = Dependents();
    for (auto it = dependents.rbegin(); it != dependents.rend(); ++it) (*it)->DatabaseClosing(this);
    if (!external_) {
        LastResult = bound::isc_detach_database(*Library(), Status.data(), &handle_);
        CheckStatus();
    }
    handle_ = 0;
    external_ = false;
    if (AfterDisconnect) AfterDisconnect(this);
}

void TIscDatabase::ConnectionLost() {
    if (OnConnectionLost) OnConnectionLost(this);
    Disconnect();
}

void TIscDatabase::CheckStatus() { CheckStatusWithNetworkLoss(*this); }

void IscStartUp() { SharedDatabase() = std::make_unique<TIscDatabase>("gds32.dll"); }

void IscShutDown() {
    SharedDatabase().reset();
    UnloadClientLibraries();
}

}  // namespace levrano
