#pragma once
// The client's whole run, from the words of the command line to the exit
// status, with every outside thing injected: the streams, the environment
// and the terminal. main() only supplies the real ones.
#include <ostream>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/secrets.h"

namespace kolmara::cli {

struct ClientIo {
  std::ostream& out;
  std::ostream& err;
  EnvLookup env;
  ITerminal& terminal;
};

int RunClient(const std::vector<std::string>& args, ClientIo& io);

}  // namespace kolmara::cli
