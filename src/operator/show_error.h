// Shows an error to the user: a modal message box over the active window, captioned "Ошибка".
#pragma once

#include "common/exception.h"

namespace levrano {

// Returns when the user has closed the box.
void ShowError(const Exception& error);

}  // namespace levrano
