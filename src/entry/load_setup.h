// What the library does when it is attached to a process and when it is detached from it. The
// shared library runs these; nothing else calls them.
#pragma once

namespace levrano {

// Pins the library in the process, starts the database layer, then makes the host executable's
// folder the current directory. The owner window of the module's dialogs is looked up when a
// dialog needs it (HostWindow): at attach time the host may not have made its QApplication or
// main window yet.
//
// The library stays loaded until the process exits: the detach then runs from an exit handler,
// before the static objects that the attach made are destroyed. Unloading it earlier could not
// be done safely: the detach unloads the database client, and a library that a thread-local
// destructor keeps resident past dlclose would be unmapped under the detach's own feet.
void AttachLibrary() noexcept;

// Releases the operator host if the module still holds it, then shuts the database layer down.
void DetachLibrary() noexcept;

}  // namespace levrano
