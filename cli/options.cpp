#include "cli/options.h"

#include <cmath>
#include <cstdlib>
#include <string_view>

namespace kolmara::cli {
namespace {

struct CommandName {
  Command command;
  std::string_view first;
  std::string_view second;  // empty: a one-word command
};

constexpr CommandName kCommands[] = {
    {Command::kInfo, "info", ""},           {Command::kTime, "time", ""},
    {Command::kNetworkShow, "network", "show"}, {Command::kViewIdList, "viewid", "list"},
    {Command::kWolList, "wol", "list"},      {Command::kAdminSet, "admin", "set"},
    {Command::kNtpSet, "ntp", "set"},
};

std::string CommandTitle(Command c) {
  for (const CommandName& n : kCommands)
    if (n.command == c) return n.second.empty() ? std::string(n.first) : std::string(n.first) + " " + std::string(n.second);
  return {};
}

ParseResult Fail(std::string message) {
  ParseResult r;
  r.error = std::move(message);
  return r;
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

}  // namespace

EnvLookup ProcessEnvironment() {
  return [](const char* name) -> std::optional<std::string> {
    const char* v = std::getenv(name);
    if (!v) return std::nullopt;
    return std::string(v);
  };
}

ParseResult ParseArguments(const std::vector<std::string>& args, const EnvLookup& env) {
  Options o;
  std::vector<std::string> words;
  std::optional<std::string> host, id;
  bool optionsEnded = false;

  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
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
    auto value = [&]() -> std::optional<std::string> {
      if (inlineValue) return inlineValue;
      if (i + 1 >= args.size()) return std::nullopt;
      return args[++i];
    };
    auto flagOnly = [&]() { return !inlineValue; };

    if (name == "--help" || name == "-h") {
      if (!flagOnly()) return Fail("option --help takes no value");
      o.help = true;
    } else if (name == "--json") {
      if (!flagOnly()) return Fail("option --json takes no value");
      o.json = true;
    } else if (name == "--password" || name == "--new-password") {
      // Arguments are visible to every user of the machine (ps, /proc).
      return Fail("passwords are never given on the command line; use KOLMARA_PASSWORD, --password-file "
                  "or the prompt (and KOLMARA_NEW_PASSWORD or --new-password-file for a new one)");
    } else if (name == "--host" || name == "--id" || name == "--timeout" || name == "--password-file" ||
               name == "--new-password-file" || name == "--new-id") {
      const std::optional<std::string> v = value();
      if (!v) return Fail("option " + name + " needs a value");
      if (name == "--host") {
        host = *v;
      } else if (name == "--id") {
        id = *v;
      } else if (name == "--timeout") {
        const auto t = ParseTimeout(*v);
        if (!t) return Fail("--timeout needs a number of seconds above 0 and at most 3600, not '" + *v + "'");
        o.timeout = *t;
      } else if (name == "--password-file") {
        o.passwordFile = *v;
      } else if (name == "--new-password-file") {
        o.newPasswordFile = *v;
      } else {
        o.newId = *v;
      }
    } else {
      return Fail("unknown option '" + arg + "'");
    }
  }

  // Which command the words name.
  std::size_t used = 0;
  if (!words.empty()) {
    bool known = false;
    for (const CommandName& n : kCommands) {
      if (words[0] != n.first) continue;
      known = true;
      if (n.second.empty()) {
        o.command = n.command;
        used = 1;
      } else if (words.size() >= 2 && words[1] == n.second) {
        o.command = n.command;
        used = 2;
      } else if (o.help) {
        o.command = n.command;  // "network --help" means the help of "network show"
        used = 1;
      } else {
        return Fail("'" + words[0] + "' needs '" + std::string(n.second) + "'");
      }
    }
    if (!known && !o.help) return Fail("unknown command '" + words[0] + "'");
  }

  ParseResult r;
  if (o.help) {
    r.ok = true;
    r.options = std::move(o);
    return r;
  }
  if (o.command == Command::kNone) return Fail("no command given");

  if (o.command == Command::kNtpSet) {
    if (words.size() < used + 1) return Fail("ntp set needs the server name (\"\" clears it)");
    o.ntpServer = words[used++];
  }
  if (words.size() > used) return Fail("unexpected argument '" + words[used] + "' for " + CommandTitle(o.command));

  if (o.command == Command::kAdminSet) {
    if (!o.newId) return Fail("admin set needs --new-id ID");
  } else {
    if (o.newId) return Fail("--new-id belongs to admin set");
    if (o.newPasswordFile) return Fail("--new-password-file belongs to admin set");
  }

  if (!host) host = env("KOLMARA_HOST");
  if (!id) id = env("KOLMARA_ID");
  if (!host) return Fail("no device address: give --host ADDR[:PORT] or set KOLMARA_HOST");
  if (!id) return Fail("no administrator ID: give --id ID or set KOLMARA_ID");
  o.host = *host;
  o.id = *id;

  r.ok = true;
  r.options = std::move(o);
  return r;
}

std::string HelpText(Command command) {
  const std::string common =
      "Connection options (every command):\n"
      "  --host ADDR[:PORT]   device address (default KOLMARA_HOST). A name without a dot\n"
      "                       gets the DDNS suffix .kolmaraqx.net; :PORT overrides 9502.\n"
      "  --id ID              administrator ID (default KOLMARA_ID)\n"
      "  --password-file FILE read the password from the first line of FILE\n"
      "  --timeout SECONDS    bound for the connect and for every answer (default 30)\n"
      "  --json               print one JSON object instead of a table\n"
      "  --help               this help\n"
      "\n"
      "The password never goes on the command line. It comes from --password-file,\n"
      "else from KOLMARA_PASSWORD, else from a prompt without echo when stdin is a\n"
      "terminal.\n";
  const std::string exits =
      "Exit status: 0 done, 1 refused (the message is printed to stderr), 2 usage\n"
      "error, 3 cannot connect / connection lost / no answer in time, 4 login refused.\n";

  switch (command) {
    case Command::kInfo:
      return "Usage: kolmarasetting-cli [options] info\n"
             "\n"
             "Shows the product summary: firmware version, device name, server engine\n"
             "version, MAC address, company, DDNS name, e-mail, max view ID, max connection.\n"
             "JSON keys: firmware_version, device_name, server_engine_version, mac_address,\n"
             "company, ddns, email, max_view_id, max_connection.\n"
             "\n" + common + "\n" + exits +
             "\nExample:\n"
             "  KOLMARA_PASSWORD=secret kolmarasetting-cli --host 192.168.0.20 --id admin info\n";
    case Command::kTime:
      return "Usage: kolmarasetting-cli [options] time\n"
             "\n"
             "Shows the device's clock in this computer's local time.\n"
             "JSON keys: seconds_since_1970, local_time.\n"
             "\n" + common + "\n" + exits +
             "\nExample:\n"
             "  kolmarasetting-cli --host mybox --id admin --password-file ~/.kolmara time\n";
    case Command::kNetworkShow:
      return "Usage: kolmarasetting-cli [options] network show\n"
             "\n"
             "Shows the network settings as the Network/DDNS page does: addresses (0.0.0.0\n"
             "with DHCP), MAC address, DHCP, UPnP, the service ports, the web server switch,\n"
             "DDNS name, e-mail, company and NTP server.\n"
             "JSON keys: ip, netmask, gateway, mac_address, dhcp, upnp, tcp_control_port,\n"
             "relay_port, config_port, web_server_port, web_server_off, web_ssl_port, ddns,\n"
             "email, company, ntp_server.\n"
             "\n" + common + "\n" + exits +
             "\nExample:\n"
             "  kolmarasetting-cli --host 10.0.0.5:9502 --id admin --json network show\n";
    case Command::kViewIdList:
      return "Usage: kolmarasetting-cli [options] viewid list\n"
             "\n"
             "Lists the view IDs with name, group, super-user flag and the four\n"
             "prohibitions (file transfer, log delete, server control, remote control).\n"
             "Passwords are never shown.\n"
             "JSON: {\"view_ids\": [{id, name, group, super_user, no_file_transfer,\n"
             "no_log_delete, no_server_control, no_remote_control}, ...]}.\n"
             "\n" + common + "\n" + exits +
             "\nExample:\n"
             "  kolmarasetting-cli --host 10.0.0.5 --id admin viewid list\n";
    case Command::kWolList:
      return "Usage: kolmarasetting-cli [options] wol list\n"
             "\n"
             "Lists the Wake-on-LAN table: PC name and MAC address.\n"
             "JSON: {\"entries\": [{name, mac}, ...]}.\n"
             "\n" + common + "\n" + exits +
             "\nExample:\n"
             "  kolmarasetting-cli --host 10.0.0.5 --id admin --json wol list\n";
    case Command::kAdminSet:
      return "Usage: kolmarasetting-cli [options] admin set --new-id ID [--new-password-file FILE]\n"
             "\n"
             "Replaces the administrator ID and password, with the checks of the\n"
             "administrator page (ID given, password given, confirmation equal, lengths).\n"
             "The new password comes from --new-password-file (first line; an optional\n"
             "second line is the confirmation), else from KOLMARA_NEW_PASSWORD, else from\n"
             "a prompt asked twice.\n"
             "JSON keys: message, value (the device's answer).\n"
             "\n" + common + "\n" + exits +
             "\nExample:\n"
             "  KOLMARA_PASSWORD=old KOLMARA_NEW_PASSWORD=new \\\n"
             "    kolmarasetting-cli --host 10.0.0.5 --id admin admin set --new-id admin2\n";
    case Command::kNtpSet:
      return "Usage: kolmarasetting-cli [options] ntp set SERVER\n"
             "\n"
             "Sets the device's NTP server (at most 39 bytes). An empty SERVER (\"\") is\n"
             "sent as an empty name, as the Network/DDNS page does.\n"
             "JSON keys: message, value (the device's answer).\n"
             "\n" + common + "\n" + exits +
             "\nExample:\n"
             "  kolmarasetting-cli --host 10.0.0.5 --id admin ntp set pool.ntp.org\n";
    case Command::kNone:
      break;
  }
  return "Usage: kolmarasetting-cli --host ADDR[:PORT] --id ID [--json] [--timeout SECONDS] COMMAND [ARGS]\n"
         "\n"
         "Reads and changes the settings of a Kolmara QX device over its configuration\n"
         "port, with the same requests and checks as the KolmaraSetting window.\n"
         "\n"
         "Commands:\n"
         "  info                        product summary\n"
         "  time                        the device's clock in local time\n"
         "  network show                network settings\n"
         "  viewid list                 view IDs\n"
         "  wol list                    Wake-on-LAN table\n"
         "  admin set --new-id ID       replace the administrator ID and password\n"
         "  ntp set SERVER              set the NTP server\n"
         "Run 'kolmarasetting-cli COMMAND --help' for the details of one command.\n"
         "\n" + common + "\n" + exits +
         "\nExample:\n"
         "  export KOLMARA_HOST=192.168.0.20 KOLMARA_ID=admin\n"
         "  kolmarasetting-cli --password-file ~/.kolmara info\n";
}

}  // namespace kolmara::cli
