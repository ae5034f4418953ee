#include <vector>

#include "cli/commands/families.h"

namespace kolmara::cli {

CommandList ClientCommands() {
  // Families in the order the general help lists them.
  static const std::vector<const CommandEntry*> table = [] {
    std::vector<const CommandEntry*> all;
    for (const std::span<const CommandEntry> family :
         {InfoCommands(), NetworkCommands(), ViewIdCommands(), WolCommands(), AdminCommands()})
      for (const CommandEntry& command : family) all.push_back(&command);
    return all;
  }();
  return table;
}

int CommandCall::Refuse(const QString& message) const {
  io.err << message.toStdString() << "\n";
  return kExitRefused;
}

int UsageError(ClientIo& io, const std::string& error) {
  io.err << kProgramName << ": " << error << "\nTry '" << kProgramName << " --help'.\n";
  return kExitUsage;
}

}  // namespace kolmara::cli
