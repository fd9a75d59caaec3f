#include "operator/show_error.h"

#include "common/cp1251.h"
#include "platform/message_box.h"

namespace levrano {

void ShowError(const Exception& error) { ShowMessageBox("Ошибка"_cp, error.Message()); }

}  // namespace levrano
