#pragma once
// Command line of kolmarasetting-cli: what it may say, how it is read, and
// the help texts. No I/O here, so every rule can be tested directly.
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kolmara::cli {

enum ExitCode : int {
  kExitOk = 0,
  kExitRefused = 1,     // a check of the page or a device answer other than success
  kExitUsage = 2,
  kExitConnection = 3,  // cannot connect, connection lost, or no answer in time
  kExitLoginRefused = 4,
};

enum class Command { kNone, kInfo, kTime, kNetworkShow, kViewIdList, kWolList, kAdminSet, kNtpSet };

inline constexpr char kProgramName[] = "kolmarasetting-cli";
inline constexpr std::chrono::milliseconds kDefaultTimeout{30000};
// An hour is already far beyond any answer; the bound keeps the conversion
// to milliseconds well inside its range.
inline constexpr double kMaxTimeoutSeconds = 3600.0;

// Environment lookup, injected so that tests never touch the real one.
using EnvLookup = std::function<std::optional<std::string>(const char* name)>;
EnvLookup ProcessEnvironment();

struct Options {
  Command command = Command::kNone;
  bool help = false;  // --help: print the help of `command` (or the general one)
  std::string host;   // as typed, "ADDR[:PORT]"
  std::string id;
  bool json = false;
  std::chrono::milliseconds timeout = kDefaultTimeout;
  std::optional<std::string> passwordFile;
  std::optional<std::string> newPasswordFile;
  std::optional<std::string> newId;
  std::string ntpServer;
};

struct ParseResult {
  bool ok = false;
  std::string error;  // a usage error, in English
  Options options;
};

// `args` are the words after the program name, UTF-8. Options may stand
// before or after the command words; "--" ends the options. --host and --id
// fall back to KOLMARA_HOST and KOLMARA_ID.
ParseResult ParseArguments(const std::vector<std::string>& args, const EnvLookup& env);

// The help of one command, or the general help for Command::kNone.
std::string HelpText(Command command);

}  // namespace kolmara::cli
