#pragma once
// The client's command table. Each command is one CommandEntry: its words,
// its help, what it accepts, the checks that need no device and its run.
// The entries live one family per file in cli/commands/; parsing, the help and
// the dispatch in RunClient are all derived from them.
#include <QString>
#include <any>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/options.h"
#include "cli/secrets.h"

namespace kolmara::cli {

class Session;

// Everything outside the process that a run touches, injected so tests
// supply their own.
struct ClientIo {
  std::ostream& out;
  std::ostream& err;
  EnvLookup env;
  ITerminal& terminal;
};

// One run of a command: what was asked for, where it goes, and what its
// checks settled for the run once connected.
struct CommandCall {
  const Options& options;
  ClientIo& io;
  std::any input;  // set by the command's check, read by its run

  template <class T>
  T& Input() {
    return std::any_cast<T&>(input);
  }
  bool Json() const { return options.json; }
  // The page's message on stderr, as the window would show it: a refusal.
  int Refuse(const QString& message) const;
};

// Returns kExitOk to go on; anything else ends the client before it connects.
using CheckFn = int (*)(CommandCall& call);
// Runs once the login has been accepted; returns the exit status.
using RunFn = int (*)(Session& session, CommandCall& call);

struct CommandEntry {
  std::vector<std::string_view> words = {};  // {"viewid", "list"}
  std::string_view summary = {};        // one line of the general help
  std::string_view description = {};    // the command's help, lines ending in '\n'
  std::string_view example = {};        // lines without indentation, the last ending in '\n'
  std::vector<ArgSpec> arguments = {};
  std::vector<OptionDecl> options = {};
  CheckFn check = nullptr;  // nullptr: nothing to check before connecting
  RunFn run = nullptr;
};

// The client's commands, family by family.
CommandList ClientCommands();

// "kolmarasetting-cli: <error>" and the hint to --help; kExitUsage.
int UsageError(ClientIo& io, const std::string& error);

// Options that more than one family takes, so they read the same everywhere.
inline constexpr OptionDecl kNewPasswordFileOption{
    .name = "--new-password-file",
    .kind = OptionKind::kFile,
    .value = "FILE",
    .help = "read the new password from the first line of FILE\n"
            "(an optional second line is the confirmation)",
};

}  // namespace kolmara::cli
