// What the library does when it is attached to a process and when it is detached from it. The
// shared library runs these from its constructor and destructor; nothing else calls them.
#pragma once

namespace levrano {

// Starts the database layer, then makes the host executable's folder the current directory. The
// owner window of the module's dialogs is looked up when a dialog needs it (HostWindow): at
// attach time the host may not have made its QApplication or main window yet.
void AttachLibrary() noexcept;

// Releases the operator host if the module still holds it, then shuts the database layer down.
void DetachLibrary() noexcept;

}  // namespace levrano
