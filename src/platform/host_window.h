// The owner of the module's dialogs: the host's main window.
#pragma once

namespace levrano {

// The first top-level window of the calling thread, in creation order, that is a plain main
// window (not a dialog, tool window, popup or the like), as a QWidget*; none when no
// QApplication runs on the calling thread. Looked up at each call rather than once at load:
// the library may be loaded before the host has made its QApplication or shown its window.
void* HostWindow();

}  // namespace levrano
