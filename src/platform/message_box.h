// Modal error messages: a message box when a QApplication runs on the calling thread, otherwise
// the text on standard error.
#pragma once

#include <string_view>

namespace levrano {

// Shows `text` (Windows-1251) with `caption` (Windows-1251), the error icon and one OK button;
// returns when the user has closed it. `owner` is a QWidget* or none.
void ShowMessageBox(std::string_view caption, std::string_view text, void* owner = nullptr);

}  // namespace levrano
