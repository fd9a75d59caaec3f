// Windows-1251 text at the Qt boundary: widgets and message boxes speak Unicode.
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "common/cp1251.h"

namespace levrano {

inline QString ToQString(std::string_view text) { return QString::fromStdString(cp1251::ToUtf8(text)); }
inline std::string FromQString(const QString& text) { return cp1251::FromUtf8(text.toStdString()); }

}  // namespace levrano
