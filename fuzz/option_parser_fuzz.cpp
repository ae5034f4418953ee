// Feeds arbitrary command lines to the client's option parser. The input is
// the words, NUL-separated; the first byte says which of KOLMARA_HOST and
// KOLMARA_ID are set. Checks what a parse promises: a verdict and its
// reason agree, an accepted line names one command with what it requires and
// only options it takes, every value fits its kind and is valid UTF-8, and a
// refusal never repeats bytes that are no UTF-8 nor a password given on the
// command line.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/options.h"

namespace {

using namespace kolmara::cli;

// Far beyond any real command line, small enough to keep runs fast.
constexpr std::size_t kMaxWords = 24;

#define CHECK(condition) \
  do {                   \
    if (!(condition)) __builtin_trap(); \
  } while (0)

const OptionDecl* FindIn(std::span<const OptionDecl> options, std::string_view name) {
  for (const OptionDecl& o : options)
    if (o.name == name) return &o;
  return nullptr;
}

void CheckValue(const OptionDecl& decl, const Options& o) {
  const std::string value = *o.Value(decl.name);
  CHECK(IsValidUtf8(value));
  switch (decl.kind) {
    case OptionKind::kFlag:
      CHECK(value.empty());
      break;
    case OptionKind::kNumber: {
      const auto n = o.Number(decl.name);
      CHECK(n && *n >= decl.min && *n <= decl.max);
      break;
    }
    case OptionKind::kChoice:
      CHECK(std::find(decl.choices.begin(), decl.choices.end(), value) != decl.choices.end());
      break;
    default:
      break;
  }
}

void CheckAccepted(const Options& o, const std::vector<std::string>& args) {
  if (o.help) {
    // The help of whatever was named must be printable.
    const std::string text = o.helpWord.empty() ? HelpText(o.command) : WordHelpText(o.helpWord, ClientCommands());
    CHECK(!text.empty());
    return;
  }
  CHECK(o.command != nullptr);
  const CommandEntry& c = *o.command;
  CHECK(o.arguments.size() <= c.arguments.size());
  for (std::size_t i = o.arguments.size(); i < c.arguments.size(); ++i) CHECK(c.arguments[i].optional);
  for (const std::string& a : o.arguments) CHECK(IsValidUtf8(a));
  for (const auto& [name, value] : o.values) {
    const OptionDecl* decl = FindIn(GlobalOptions(), name);
    if (!decl) decl = FindIn(c.options, name);
    CHECK(decl != nullptr);  // only options the command takes
    CheckValue(*decl, o);
  }
  for (const OptionDecl& decl : c.options)
    if (decl.required) CHECK(o.Has(decl.name));
  CHECK(o.timeout.count() > 0 && o.timeout.count() <= static_cast<long long>(kMaxTimeoutSeconds * 1000));
  CHECK(IsValidUtf8(o.host) && IsValidUtf8(o.id));
  // A password never comes from the command line.
  for (const std::string& a : args) CHECK(a.rfind("--password=", 0) != 0 && a.rfind("--new-password=", 0) != 0);
}

void CheckRefused(const ParseResult& r, const std::vector<std::string>& args, const EnvLookup& env) {
  CHECK(!r.error.empty());
  CHECK(IsValidUtf8(r.error));
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    for (const char* never : {"--password=", "--new-password="}) {
      const std::string prefix(never);
      if (a.rfind(prefix, 0) != 0 || a.size() < prefix.size() + 6) continue;
      const std::string secret = a.substr(prefix.size());
      if (r.error.find(secret) == std::string::npos) continue;
      // The message may hold the same text for its own reasons (a "secret"
      // such as "--new-password-file" is also an option the message names):
      // it is a leak only if the message loses it once the secret is another.
      std::vector<std::string> other = args;
      other[i] = prefix + std::string(secret.size(), '\x07');
      const ParseResult without = ParseArguments(other, env);
      CHECK(without.error.find(secret) != std::string::npos);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t flags = data[0];
  std::vector<std::string> args;
  std::string word;
  for (std::size_t i = 1; i < size; ++i) {
    if (data[i] != 0) {
      word.push_back(static_cast<char>(data[i]));
      continue;
    }
    args.push_back(word);
    word.clear();
    if (args.size() == kMaxWords) return 0;
  }
  if (size > 1) args.push_back(word);

  const EnvLookup env = [flags](const char* name) -> std::optional<std::string> {
    if (std::string_view(name) == "KOLMARA_HOST" && (flags & 1)) return std::string("192.168.0.20");
    if (std::string_view(name) == "KOLMARA_ID" && (flags & 2)) return std::string((flags & 4) ? "adm\xff" : "admin");
    return std::nullopt;
  };
  const ParseResult r = ParseArguments(args, env);
  CHECK(r.ok == r.error.empty());
  if (r.ok)
    CheckAccepted(r.options, args);
  else
    CheckRefused(r, args, env);
  // The same line always gets the same verdict.
  const ParseResult again = ParseArguments(args, env);
  CHECK(again.ok == r.ok && again.error == r.error);
  return 0;
}
