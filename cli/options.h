#pragma once
// Command line of kolmarasetting-cli: what it may say, how it is read, and
// the help texts. Both come from the command table (cli/command.h); no I/O
// here, so every rule can be tested directly.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kolmara::cli {

enum ExitCode : int {
  kExitOk = 0,
  kExitRefused = 1,     // a check of the page or a device answer other than success
  kExitUsage = 2,
  kExitConnection = 3,  // cannot connect, connection lost, or no answer in time
  kExitLoginRefused = 4,
};

inline constexpr char kProgramName[] = "kolmarasetting-cli";
inline constexpr std::chrono::milliseconds kDefaultTimeout{30000};
// An hour is already far beyond any answer; the bound keeps the conversion
// to milliseconds well inside its range.
inline constexpr double kMaxTimeoutSeconds = 3600.0;

// Environment lookup, injected so that tests never touch the real one.
using EnvLookup = std::function<std::optional<std::string>(const char* name)>;
EnvLookup ProcessEnvironment();

// What an option's value must be; the parser refuses anything else as a
// usage error before the command sees it.
enum class OptionKind {
  kFlag,     // no value
  kText,     // any text, an empty one included
  kFile,     // a path
  kNumber,   // a whole number within min..max
  kChoice,   // one of `choices`
  kSeconds,  // seconds above 0 and at most kMaxTimeoutSeconds, fractions allowed
};

struct OptionDecl {
  std::string_view name = {};  // "--new-id"
  OptionKind kind = OptionKind::kFlag;
  std::string_view value = {};  // the value's name in the help ("ID"); choices are shown as "on|off"
  std::string_view help = {};   // plain English; '\n' starts a continuation line
  bool required = false;   // the command refuses to run without it
  std::span<const std::string_view> choices = {};
  std::int64_t min = 0, max = 0;  // kNumber only
  std::string_view alias = {};    // a short spelling ("-h")
};

// A word after the command's own words.
struct ArgSpec {
  std::string_view name = {};  // "SERVER"
  std::string_view what = {};  // completes "<command> needs ...": "the server name (\"\" clears it)"
  bool optional = false;
};

// Choices that several options share.
inline constexpr std::string_view kOnOff[] = {"on", "off"};
inline constexpr std::string_view kAllowDeny[] = {"allow", "deny"};

struct CommandEntry;
// The commands the parser and the help know, in the order the help lists them.
using CommandList = std::span<const CommandEntry* const>;

struct Options {
  const CommandEntry* command = nullptr;  // none: no command, or the general help
  bool help = false;        // --help: print the help of `command` (or `helpWord`, or the general one)
  std::string helpWord;     // "viewid --help" where several commands start with that word
  std::string host;         // as typed, "ADDR[:PORT]"
  std::string id;
  bool json = false;
  std::chrono::milliseconds timeout = kDefaultTimeout;
  std::optional<std::string> passwordFile;
  std::optional<std::string> newPasswordFile;
  // Every option given, by name ("--new-id"), already checked against its
  // kind; a flag's value is empty. The last one given wins.
  std::map<std::string, std::string, std::less<>> values;
  std::vector<std::string> arguments;  // the words after the command's own

  bool Has(std::string_view name) const { return values.find(name) != values.end(); }
  std::optional<std::string> Value(std::string_view name) const;
  // A kNumber option's value.
  std::optional<std::int64_t> Number(std::string_view name) const;
};

struct ParseResult {
  bool ok = false;
  std::string error;  // a usage error, in English
  Options options;
};

// `args` are the words after the program name, UTF-8. Options may stand
// before or after the command words; "--" ends the options. --host and --id
// fall back to KOLMARA_HOST and KOLMARA_ID. The first form reads the
// client's own command table.
ParseResult ParseArguments(const std::vector<std::string>& args, const EnvLookup& env);
ParseResult ParseArguments(const std::vector<std::string>& args, const EnvLookup& env, CommandList commands);

// UTF-8 without overlong forms, surrogates or code points above U+10FFFF.
// Anything else is refused: converted, it would become "?" and different
// inputs would collapse into one.
bool IsValidUtf8(std::string_view text);

// The options every command takes, in the order the help lists them.
std::span<const OptionDecl> GlobalOptions();

// "admin set"
std::string CommandTitle(const CommandEntry& command);

// The help of one command, or the general help for nullptr.
std::string HelpText(const CommandEntry* command);
std::string HelpText(const CommandEntry* command, CommandList commands);
// The commands that start with `word`, for "viewid --help".
std::string WordHelpText(std::string_view word, CommandList commands);

}  // namespace kolmara::cli
