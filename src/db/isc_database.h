// One attachment to the station's database. The module never attaches by itself: it adopts a
// handle that the host attached and never detaches it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "db/isc_client.h"

namespace levrano {

class TIscDatabase : public TIscObject {
public:
    using TNotify = std::function<void(TIscDatabase* sender)>;

    explicit TIscDatabase(const std::string& libraryName);
    ~TIscDatabase() override;

    // Switches to the library of that file name; the dependents follow.
    void SetLibraryName(const std::string& name);
    const std::string& LibraryName() const { return libraryName_; }

    // Disconnects, then adopts `handle` (0: stays disconnected); an adopted handle is never detached.
    void SetHandle(TIscHandle handle);
    void Disconnect();
    bool Connected() const { return handle_ != 0; }
    TIscHandle* Handle() { return &handle_; }
    std::uint16_t Dialect() const { return dialect_; }

    // The client reported a lost connection: OnConnectionLost, then Disconnect.
    void ConnectionLost();
    void CheckStatus() override;

    TNotify OnConnect;
    TNotify BeforeDisconnect;
    TNotify AfterDisconnect;
    TNotify OnConnectionLost;

private:
    TIscHandle handle_ = 0;
    std::uint16_t dialect_ = 3;
    std::string libraryName_;
    bool external_ = false;  // the handle was handed in by SetHandle
};

// Reports the status like TIscObject::CheckStatus; when that returns with a network error still
// in the status, every database on the same library loses its connection.
void CheckStatusWithNetworkLoss(TIscObject& object);

// Module load and unload: the shared database object on "gds32.dll", which loads the client
// library (or tells the user that it is missing), and its release with every library unloaded.
void IscStartUp();
void IscShutDown();

}  // namespace levrano
