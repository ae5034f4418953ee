#include "cli/options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "cli/command.h"

namespace kolmara::cli {
namespace {

constexpr OptionDecl kGlobalOptions[] = {
    {.name = "--host",
     .kind = OptionKind::kText,
     .value = "ADDR[:PORT]",
     .help = "device address (default KOLMARA_HOST). A name without a dot\n"
             "gets the DDNS suffix .kolmaraqx.net; :PORT overrides 9502."},
    {.name = "--id", .kind = OptionKind::kText, .value = "ID", .help = "administrator ID (default KOLMARA_ID)"},
    {.name = "--password-file",
     .kind = OptionKind::kFile,
     .value = "FILE",
     .help = "read the password from the first line of FILE"},
    {.name = "--timeout",
     .kind = OptionKind::kSeconds,
     .value = "SECONDS",
     .help = "bound for the connect and for every answer (default 30)"},
    {.name = "--json", .kind = OptionKind::kFlag, .help = "print one JSON object instead of a table"},
    {.name = "--help", .kind = OptionKind::kFlag, .help = "this help", .alias = "-h"},
};

// Arguments are visible to every user of the machine (ps, /proc), so these
// are refused by name before anything else is read.
constexpr std::string_view kNeverOnTheCommandLine[] = {"--password", "--new-password"};

// The option columns of the help start here at the least, so the common
// options line up the same in every help text.
constexpr std::size_t kOptionColumn = 21;
constexpr std::size_t kCommandColumn = 28;
// A synopsis longer than this wraps, each further line under the command's words.
constexpr std::size_t kUsageWidth = 90;

ParseResult Fail(std::string message) {
  ParseResult r;
  r.error = std::move(message);
  return r;
}

// "a", "a or b", "a, b or c"
std::string JoinOr(const std::vector<std::string>& items) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += i + 1 == items.size() ? " or " : ", ";
    text += items[i];
  }
  return text;
}

// Seconds as a decimal number, fractions allowed ("0.5"), more than 0.
std::optional<std::chrono::milliseconds> ParseTimeout(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const double seconds = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || !std::isfinite(seconds) || seconds <= 0 ||
      seconds > kMaxTimeoutSeconds)
    return std::nullopt;
  const auto ms = static_cast<long long>(std::ceil(seconds * 1000.0));
  return std::chrono::milliseconds(ms);
}

// A whole decimal number, nothing before or after it.
std::optional<std::int64_t> ParseWhole(std::string_view text) {
  std::int64_t n = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return n;
}

// The usage error for a value the option's kind does not allow; nothing when it fits.
std::optional<std::string> CheckValue(const OptionDecl& decl, const std::string& value) {
  const std::string name(decl.name);
  switch (decl.kind) {
    case OptionKind::kFlag:
    case OptionKind::kText:
    case OptionKind::kFile:
      return std::nullopt;
    case OptionKind::kSeconds:
      if (ParseTimeout(value)) return std::nullopt;
      return name + " needs a number of seconds above 0 and at most " +
             std::to_string(static_cast<int>(kMaxTimeoutSeconds)) + ", not '" + value + "'";
    case OptionKind::kNumber: {
      const auto n = ParseWhole(value);
      if (n && *n >= decl.min && *n <= decl.max) return std::nullopt;
      return name + " needs a whole number from " + std::to_string(decl.min) + " to " + std::to_string(decl.max) +
             ", not '" + value + "'";
    }
    case OptionKind::kChoice: {
      std::vector<std::string> choices;
      for (std::string_view c : decl.choices) {
        if (value == c) return std::nullopt;
        choices.emplace_back(c);
      }
      return name + " takes " + JoinOr(choices) + ", not '" + value + "'";
    }
  }
  return std::nullopt;
}

const OptionDecl* FindIn(std::span<const OptionDecl> options, std::string_view name) {
  for (const OptionDecl& o : options)
    if (o.name == name || (!o.alias.empty() && o.alias == name)) return &o;
  return nullptr;
}

// The option of that name: a common one, else the first command's that
// takes it. Every command spells a shared option the same way (the table's
// tests hold it to that), so its kind is known before the command is.
const OptionDecl* FindOption(std::string_view name, CommandList commands) {
  if (const OptionDecl* o = FindIn(kGlobalOptions, name)) return o;
  for (const CommandEntry* c : commands)
    if (const OptionDecl* o = FindIn(c->options, name)) return o;
  return nullptr;
}

bool StartsWith(const std::vector<std::string>& words, const CommandEntry& c) {
  if (c.words.size() > words.size()) return false;
  for (std::size_t i = 0; i < c.words.size(); ++i)
    if (words[i] != c.words[i]) return false;
  return true;
}

std::string ValueName(const OptionDecl& o) {
  if (!o.value.empty() || o.kind != OptionKind::kChoice) return std::string(o.value);
  std::string text;
  for (std::string_view c : o.choices) text += (text.empty() ? "" : "|") + std::string(c);
  return text;
}

std::string OptionLabel(const OptionDecl& o) {
  return o.kind == OptionKind::kFlag ? std::string(o.name) : std::string(o.name) + " " + ValueName(o);
}

std::string PadTo(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

// One option a line, the help in one column; its further lines stay there.
std::string OptionLines(std::span<const OptionDecl> options) {
  std::size_t width = kOptionColumn;
  for (const OptionDecl& o : options) width = std::max(width, OptionLabel(o).size() + 1);
  std::string text;
  for (const OptionDecl& o : options) {
    std::string_view help = o.help;
    std::string lead = "  " + PadTo(OptionLabel(o), width);
    for (;;) {
      const auto nl = help.find('\n');
      text += lead + std::string(help.substr(0, nl)) + "\n";
      if (nl == std::string_view::npos) break;
      help.remove_prefix(nl + 1);
      lead = std::string(2 + width, ' ');
    }
  }
  return text;
}

// The command's words, its arguments and the options it needs: what the
// command list of the general help shows.
std::string ShortSynopsis(const CommandEntry& c) {
  std::string text = CommandTitle(c);
  for (const ArgSpec& a : c.arguments)
    if (!a.optional) text += " " + std::string(a.name);
  for (const OptionDecl& o : c.options)
    if (o.required) text += " " + OptionLabel(o);
  return text;
}

std::string UsageLine(const CommandEntry& c) {
  const std::string lead = std::string("Usage: ") + kProgramName + " [options] " + CommandTitle(c);
  std::vector<std::string> items;
  for (const ArgSpec& a : c.arguments) items.push_back(a.optional ? "[" + std::string(a.name) + "]" : std::string(a.name));
  for (const OptionDecl& o : c.options) items.push_back(o.required ? OptionLabel(o) : "[" + OptionLabel(o) + "]");
  std::string text = lead;
  std::size_t lineStart = 0;
  for (const std::string& item : items) {
    if (text.size() - lineStart + 1 + item.size() > kUsageWidth && text.size() > lineStart + lead.size()) {
      text += "\n";
      lineStart = text.size();
      text += std::string(lead.size(), ' ');
    }
    text += " " + item;
  }
  return text + "\n";
}

std::string CommandLines(CommandList commands, std::string_view firstWord = {}) {
  std::size_t width = kCommandColumn;
  for (const CommandEntry* c : commands) width = std::max(width, ShortSynopsis(*c).size() + 2);
  std::string text;
  for (const CommandEntry* c : commands)
    if (firstWord.empty() || c->words.front() == firstWord)
      text += "  " + PadTo(ShortSynopsis(*c), width) + std::string(c->summary) + "\n";
  return text;
}

std::string Indented(std::string_view lines) {
  std::string text;
  while (!lines.empty()) {
    const auto nl = lines.find('\n');
    text += "  " + std::string(lines.substr(0, nl)) + "\n";
    if (nl == std::string_view::npos) break;
    lines.remove_prefix(nl + 1);
  }
  return text;
}

std::string CommonHelp() {
  return "Connection options (every command):\n" + OptionLines(kGlobalOptions) +
         "\n"
         "The password never goes on the command line. It comes from --password-file,\n"
         "else from KOLMARA_PASSWORD, else from a prompt without echo when stdin is a\n"
         "terminal.\n";
}

constexpr char kExitHelp[] =
    "Exit status: 0 done, 1 refused (the message is printed to stderr), 2 usage\n"
    "error, 3 cannot connect / connection lost / no answer in time, 4 login refused.\n";

constexpr char kCommandHint[] = "Run 'kolmarasetting-cli COMMAND --help' for the details of one command.\n";

// "argument 3": which word of the command line, without repeating it.
std::string ArgumentNumber(std::size_t index) { return "argument " + std::to_string(index + 1); }

}  // namespace

bool IsValidUtf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    const unsigned char b = *p;
    if (b < 0x80) {
      ++p;
      continue;
    }
    int more;
    char32_t c, least;
    if ((b & 0xE0) == 0xC0) {
      more = 1, c = b & 0x1F, least = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      more = 2, c = b & 0x0F, least = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      more = 3, c = b & 0x07, least = 0x10000;
    } else {
      return false;
    }
    if (end - p <= more) return false;
    for (int i = 1; i <= more; ++i) {
      if ((p[i] & 0xC0) != 0x80) return false;
      c = (c << 6) | (p[i] & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    p += more + 1;
  }
  return true;
}

EnvLookup ProcessEnvironment() {
  return [](const char* name) -> std::optional<std::string> {
    const char* v = std::getenv(name);
    if (!v) return std::nullopt;
    return std::string(v);
  };
}

std::optional<std::string> Options::Value(std::string_view name) const {
  const auto it = values.find(name);
  if (it == values.end()) return std::nullopt;
  return it->second;
}

std::optional<std::int64_t> Options::Number(std::string_view name) const {
  const auto it = values.find(name);
  if (it == values.end()) return std::nullopt;
  return ParseWhole(it->second);
}

std::span<const OptionDecl> GlobalOptions() { return kGlobalOptions; }

std::string CommandTitle(const CommandEntry& command) {
  std::string title;
  for (std::string_view w : command.words) title += (title.empty() ? "" : " ") + std::string(w);
  return title;
}

ParseResult ParseArguments(const std::vector<std::string>& args, const EnvLookup& env) {
  return ParseArguments(args, env, ClientCommands());
}

ParseResult ParseArguments(const std::vector<std::string>& args, const EnvLookup& env, CommandList commands) {
  Options o;
  std::vector<std::string> words;
  bool optionsEnded = false;

  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    // Refused by position, never repeated: the bytes may be anything, and
    // turned into "?" they would silently become some other text.
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      if (!IsValidUtf8(arg)) return Fail(ArgumentNumber(i) + " is not valid UTF-8");
      words.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    std::string name = arg;
    std::optional<std::string> inlineValue;
    if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = arg.substr(0, eq);
      inlineValue = arg.substr(eq + 1);
    }
    if (std::find(std::begin(kNeverOnTheCommandLine), std::end(kNeverOnTheCommandLine), name) !=
        std::end(kNeverOnTheCommandLine))
      return Fail("passwords are never given on the command line; use KOLMARA_PASSWORD, --password-file "
                  "or the prompt (and KOLMARA_NEW_PASSWORD or --new-password-file for a new one)");
    if (!IsValidUtf8(name)) return Fail(ArgumentNumber(i) + " is not valid UTF-8");
    const OptionDecl* decl = FindOption(name, commands);
    // Only the name: what follows '=' may be something the user would not
    // want repeated on the screen. A short option is one letter, so in
    // "-ps3cret" only "-p" is the option's name.
    if (!decl && arg.rfind("--", 0) != 0 && arg.size() > 2) {
      // The letter is one character, which in UTF-8 may take several bytes.
      std::size_t end = 2;
      while (end < arg.size() && (static_cast<unsigned char>(arg[end]) & 0xC0) == 0x80) ++end;
      const std::string letter = arg.substr(0, end);
      if (FindOption(letter, commands)) return Fail("option " + letter + " takes no value");
      return Fail("unknown option '" + letter + "'");
    }
    if (!decl) return Fail("unknown option '" + name + "'");
    if (decl->kind == OptionKind::kFlag) {
      if (inlineValue) return Fail("option " + std::string(decl->name) + " takes no value");
      o.values[std::string(decl->name)] = "";
      continue;
    }
    std::optional<std::string> value = inlineValue;
    // A following word that is itself an option was meant as one: taking it as
    // this option's value would repeat it in the error, and it may carry a
    // secret ("--timeout --password=...").
    if (!value && i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) value = args[++i];
    if (!value) return Fail("option " + name + " needs a value");
    if (!IsValidUtf8(*value)) return Fail("the value of " + name + " is not valid UTF-8");
    if (const auto error = CheckValue(*decl, *value)) return Fail(*error);
    o.values[std::string(decl->name)] = *value;
  }
  o.help = o.Has("--help");

  // Which command the words name: the entry with the most words that they begin with.
  std::size_t used = 0;
  if (!words.empty()) {
    for (const CommandEntry* c : commands)
      if (StartsWith(words, *c) && (!o.command || c->words.size() > o.command->words.size())) o.command = c;
    if (o.command) {
      used = o.command->words.size();
    } else {
      std::vector<const CommandEntry*> family;
      std::vector<std::string> next;
      for (const CommandEntry* c : commands) {
        if (c->words.front() != words[0]) continue;
        family.push_back(c);
        if (c->words.size() > 1) {
          const std::string quoted = "'" + std::string(c->words[1]) + "'";
          if (std::find(next.begin(), next.end(), quoted) == next.end()) next.push_back(quoted);
        }
      }
      if (!family.empty() && o.help) {
        // "network --help" means the help of "network show"; with more
        // commands under that word, the list of them.
        if (family.size() == 1)
          o.command = family.front();
        else
          o.helpWord = words[0];
        used = 1;
      } else if (!family.empty()) {
        return Fail("'" + words[0] + "' needs " + JoinOr(next));
      } else if (!o.help) {
        return Fail("unknown command '" + words[0] + "'");
      }
    }
  }

  ParseResult r;
  if (o.help) {
    r.ok = true;
    r.options = std::move(o);
    return r;
  }
  if (!o.command) return Fail("no command given");
  const CommandEntry& command = *o.command;
  const std::string title = CommandTitle(command);

  for (const ArgSpec& a : command.arguments) {
    if (used < words.size())
      o.arguments.push_back(words[used++]);
    else if (!a.optional)
      return Fail(title + " needs " + std::string(a.what));
  }
  if (words.size() > used) return Fail("unexpected argument '" + words[used] + "' for " + title);

  for (const auto& [name, value] : o.values) {
    if (FindIn(kGlobalOptions, name) || FindIn(command.options, name)) continue;
    std::vector<std::string> owners;
    for (const CommandEntry* c : commands)
      if (FindIn(c->options, name)) owners.push_back(CommandTitle(*c));
    return Fail(name + " belongs to " + JoinOr(owners));
  }
  for (const OptionDecl& decl : command.options)
    if (decl.required && !o.Has(decl.name)) return Fail(title + " needs " + OptionLabel(decl));

  o.json = o.Has("--json");
  if (const auto t = o.Value("--timeout")) o.timeout = *ParseTimeout(*t);
  o.passwordFile = o.Value("--password-file");
  o.newPasswordFile = o.Value(kNewPasswordFileOption.name);

  std::optional<std::string> host = o.Value("--host"), id = o.Value("--id");
  if (!host) host = env("KOLMARA_HOST");
  if (!id) id = env("KOLMARA_ID");
  if (!host) return Fail("no device address: give --host ADDR[:PORT] or set KOLMARA_HOST");
  if (!id) return Fail("no administrator ID: give --id ID or set KOLMARA_ID");
  if (!IsValidUtf8(*host)) return Fail("KOLMARA_HOST is not valid UTF-8");
  if (!IsValidUtf8(*id)) return Fail("KOLMARA_ID is not valid UTF-8");
  o.host = *host;
  o.id = *id;

  r.ok = true;
  r.options = std::move(o);
  return r;
}

std::string HelpText(const CommandEntry* command) { return HelpText(command, ClientCommands()); }

std::string HelpText(const CommandEntry* command, CommandList commands) {
  if (command) {
    std::string text = UsageLine(*command) + "\n" + std::string(command->description);
    if (!command->options.empty()) text += "\nOptions of this command:\n" + OptionLines(command->options);
    return text + "\n" + CommonHelp() + "\n" + kExitHelp + "\nExample:\n" + Indented(command->example);
  }
  return std::string("Usage: kolmarasetting-cli --host ADDR[:PORT] --id ID [--json] [--timeout SECONDS] COMMAND "
                     "[ARGS]\n"
                     "\n"
                     "Reads and changes the settings of a Kolmara QX device over its configuration\n"
                     "port, with the same requests and checks as the KolmaraSetting window.\n"
                     "\n"
                     "Commands:\n") +
         CommandLines(commands) + kCommandHint + "\n" + CommonHelp() + "\n" + kExitHelp +
         "\nExample:\n"
         "  export KOLMARA_HOST=192.168.0.20 KOLMARA_ID=admin\n"
         "  kolmarasetting-cli --password-file ~/.kolmara info\n";
}

std::string WordHelpText(std::string_view word, CommandList commands) {
  return std::string("Usage: ") + kProgramName + " [options] " + std::string(word) + " COMMAND [ARGS]\n\nCommands:\n" +
         CommandLines(commands, word) + kCommandHint + "\n" + CommonHelp() + "\n" + kExitHelp;
}

}  // namespace kolmara::cli
