#pragma once
// The command families, one file each in cli/commands/. A new command is an
// entry in its family's list; a new family adds its function here and to
// the list in cli/command_table.cpp.
#include <span>

#include "cli/command.h"

namespace kolmara::cli {

std::span<const CommandEntry> InfoCommands();     // info.cpp: info, time
std::span<const CommandEntry> NetworkCommands();  // network.cpp: network show, ntp set
std::span<const CommandEntry> ViewIdCommands();   // viewid.cpp
std::span<const CommandEntry> WolCommands();      // wol.cpp
std::span<const CommandEntry> AdminCommands();    // admin.cpp: admin set

}  // namespace kolmara::cli
