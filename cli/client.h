#pragma once
// The client's whole run, from the words of the command line to the exit
// status, with every outside thing injected: the streams, the environment
// and the terminal. main() only supplies the real ones.
#include <string>
#include <vector>

#include "cli/command.h"

namespace kolmara::cli {

int RunClient(const std::vector<std::string>& args, ClientIo& io);

}  // namespace kolmara::cli
