#pragma once
// The command families, one file each in cli/commands/. A new command is an
// entry in its family's list; a new family adds its function here and to
// the list in cli/command_table.cpp.
#include <span>

#include "cli/command.h"

namespace kolmara::cli {

std::span<const CommandSpec> InfoCommands();     // info.cpp: info, time
std::span<const CommandSpec> NetworkCommands();  // network.cpp: network show, ntp set
std::span<const CommandSpec> ViewIdCommands();   // viewid.cpp
std::span<const CommandSpec> WolCommands();      // wol.cpp
std::span<const CommandSpec> AdminCommands();    // admin.cpp: admin set

}  // namespace kolmara::cli
