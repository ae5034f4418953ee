// kolmarasetting-cli: the configuration tool's requests and checks, without
// the window, for scripts.
#include <iostream>

#include "cli/client.h"
#include "kolmara_version.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  // Answered before anything else, so it works without a device or settings.
  for (const std::string& a : args) {
    if (a == "--") break;
    if (a == "--version") {
      std::cout << "kolmarasetting-cli " << kolmara::kProjectVersion << '\n';
      return 0;
    }
  }
  kolmara::cli::ConsoleTerminal terminal;
  kolmara::cli::ClientIo io{std::cout, std::cerr, kolmara::cli::ProcessEnvironment(), terminal};
  const int rc = kolmara::cli::RunClient(args, io);
  std::cout.flush();
  return rc;
}
