// Names of the configuration file's elements and attributes, and what the configuration dialog
// shows for a value the file lacks.
#pragma once

#include <string_view>

#include "common/cp1251.h"

namespace levrano::config {

// The dialog's caption.
inline constexpr std::string_view kBoot = "boot";
inline constexpr std::string_view kBootName = "name";

// The serial line.
inline constexpr std::string_view kPort = "port";
inline constexpr std::string_view kPortNumber = "number";
inline constexpr std::string_view kPortMode = "mode";
inline constexpr std::string_view kPortTimeout = "timeout";
inline constexpr std::string_view kPortDelay = "delay";

// The tank-to-probe table: the element's own switch, then one child per served tank. The dialog
// reads and writes the element under this spelling; lookups ignore letter case.
inline constexpr std::string_view kTanks = "Tanks";
inline constexpr std::string_view kTanksDefault = "default";
inline constexpr std::string_view kTankItem = "item";
inline constexpr std::string_view kTankId = "tankid";
inline constexpr std::string_view kTankAddress = "address";
inline constexpr std::string_view kHasH = "hasH";
inline constexpr std::string_view kHasV = "hasV";
inline constexpr std::string_view kHasD = "hasD";
inline constexpr std::string_view kHasT = "hasT";
inline constexpr std::string_view kHasW = "hasW";

// Shown by the dialog when the file has no such value.
inline constexpr std::string_view kDialogCaption = "Свойства"_cp;
inline constexpr std::string_view kDialogPortNumber = "1";
inline constexpr std::string_view kDialogMode = "9600N8";
inline constexpr std::string_view kDialogTimeout = "500";
inline constexpr std::string_view kDialogDelay = "500";
inline constexpr bool kDialogDefaultTanks = true;

}  // namespace levrano::config
