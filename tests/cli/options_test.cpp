// Reading the command line: what each command needs, what is refused as a
// usage error, and the help texts, all derived from the command table.
#include <gtest/gtest.h>

#include "cli/command.h"
#include "cli/options.h"
#include "cli_test_support.h"

namespace kolmara::cli::test {
namespace {

const std::vector<std::string> kConn{"--host", "10.0.0.5", "--id", "admin"};

std::vector<std::string> With(std::vector<std::string> words) {
  std::vector<std::string> args = kConn;
  args.insert(args.end(), words.begin(), words.end());
  return args;
}

std::string TitleOf(const CommandEntry* command) { return command ? CommandTitle(*command) : std::string(); }

// The client's entry with this title; nullptr for "".
const CommandEntry* FindCommand(const std::string& title) {
  for (const CommandEntry* c : ClientCommands())
    if (CommandTitle(*c) == title) return c;
  EXPECT_EQ(title, "") << "no such command";
  return nullptr;
}

TEST(ParseArguments, CommandsAndTheirArguments) {
  struct Case {
    std::vector<std::string> args;
    const char* command;
  };
  const Case cases[] = {
      {With({"info"}), "info"},
      {With({"time"}), "time"},
      {With({"network", "show"}), "network show"},
      {With({"viewid", "list"}), "viewid list"},
      {With({"wol", "list"}), "wol list"},
      {With({"admin", "set", "--new-id", "boss"}), "admin set"},
      {With({"ntp", "set", "pool.ntp.org"}), "ntp set"},
      // options after the command words
      {{"info", "--host", "10.0.0.5", "--id", "admin"}, "info"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.back());
    const ParseResult r = ParseArguments(c.args, EnvOf({}));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(TitleOf(r.options.command), c.command);
    EXPECT_EQ(r.options.host, "10.0.0.5");
    EXPECT_EQ(r.options.id, "admin");
    EXPECT_FALSE(r.options.json);
    EXPECT_EQ(r.options.timeout, kDefaultTimeout);
  }
}

TEST(ParseArguments, OptionValues) {
  const ParseResult r = ParseArguments(
      {"--host=box:9600", "--id=", "--json", "--timeout", "0.25", "--password-file", "/p", "admin", "set",
       "--new-id", "", "--new-password-file=/n"},
      EnvOf({}));
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.options.host, "box:9600");
  EXPECT_EQ(r.options.id, "");  // an empty ID is the device's to refuse
  EXPECT_TRUE(r.options.json);
  EXPECT_EQ(r.options.timeout, std::chrono::milliseconds(250));
  EXPECT_EQ(r.options.passwordFile, "/p");
  EXPECT_EQ(r.options.newPasswordFile, "/n");
  EXPECT_EQ(r.options.Value("--new-id"), "");  // refused later by the page's check, with its message
}

TEST(ParseArguments, NtpServerMayLookLikeAnOptionAfterDoubleDash) {
  const ParseResult r = ParseArguments(With({"ntp", "set", "--", "--odd"}), EnvOf({}));
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.options.arguments, std::vector<std::string>{"--odd"});
}

TEST(ParseArguments, HostAndIdFromTheEnvironment) {
  const auto env = EnvOf({{"KOLMARA_HOST", "envbox"}, {"KOLMARA_ID", "envid"}});
  ParseResult r = ParseArguments({"info"}, env);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.options.host, "envbox");
  EXPECT_EQ(r.options.id, "envid");
  // The command line wins.
  r = ParseArguments({"--host", "cli", "--id", "cliid", "info"}, env);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.options.host, "cli");
  EXPECT_EQ(r.options.id, "cliid");
}

TEST(ParseArguments, UsageErrors) {
  struct Case {
    std::vector<std::string> args;
    const char* error;  // a part of the message
  };
  const Case cases[] = {
      {{}, "no command"},
      {{"info"}, "no device address"},
      {{"--host", "h", "info"}, "no administrator ID"},
      {With({"reboot"}), "unknown command 'reboot'"},
      {With({"network"}), "'network' needs 'show'"},
      {With({"wol", "show"}), "'wol' needs 'list'"},
      {With({"info", "extra"}), "unexpected argument 'extra'"},
      {With({"ntp", "set"}), "needs the server name"},
      {With({"ntp", "set", "a", "b"}), "unexpected argument 'b'"},
      {With({"admin", "set"}), "needs --new-id"},
      {With({"info", "--new-id", "x"}), "--new-id belongs to admin set"},
      {With({"info", "--new-password-file", "f"}), "belongs to admin set"},
      {With({"--password", "pw", "info"}), "never given on the command line"},
      {With({"--password=pw", "info"}), "never given on the command line"},
      {With({"--new-password", "pw", "admin", "set", "--new-id", "x"}), "never given on the command line"},
      {With({"--timeout", "0", "info"}), "--timeout"},
      {With({"--timeout", "-1", "info"}), "--timeout"},
      {With({"--timeout", "5s", "info"}), "--timeout"},
      {With({"--timeout", "4000", "info"}), "--timeout"},
      {With({"--timeout", "nan", "info"}), "--timeout"},
      {With({"info", "--host"}), "--host needs a value"},
      // The next word is an option, not the value; nor is it repeated.
      {With({"--timeout", "--password=secret-pw", "info"}), "--timeout needs a value"},
      {With({"--host", "--json", "info"}), "--host needs a value"},
      {With({"--json=yes", "info"}), "takes no value"},
      {With({"--verbose", "info"}), "unknown option '--verbose'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "(none)" : c.args.back());
    const ParseResult r = ParseArguments(c.args, EnvOf({}));
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find(c.error), std::string::npos) << r.error;
  }
}

TEST(ParseArguments, PasswordOptionErrorDoesNotRepeatThePassword) {
  const ParseResult r = ParseArguments(With({"--password=hunter2", "info"}), EnvOf({}));
  EXPECT_EQ(r.error.find("hunter2"), std::string::npos) << r.error;
}

TEST(ParseArguments, HelpNeedsNothingElse) {
  struct Case {
    std::vector<std::string> args;
    const char* command;  // "": the general help
  };
  const Case cases[] = {
      {{"--help"}, ""},          {{"-h"}, ""},
      {{"info", "--help"}, "info"},  {{"network", "--help"}, "network show"},
      {{"--help", "admin", "set"}, "admin set"},
      {{"ntp", "set", "--help"}, "ntp set"},  // no server needed
      {{"bogus", "--help"}, ""},
  };
  for (const Case& c : cases) {
    const ParseResult r = ParseArguments(c.args, EnvOf({}));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.options.help);
    EXPECT_EQ(TitleOf(r.options.command), c.command);
  }
}

TEST(HelpText, EveryCommandHasUsageAndAnExample) {
  struct Case {
    const char* command;  // "": the general help
    const char* usage;
  };
  const Case cases[] = {
      {"", "Usage: kolmarasetting-cli --host ADDR[:PORT] --id ID"},
      {"info", "Usage: kolmarasetting-cli [options] info\n"},
      {"time", "Usage: kolmarasetting-cli [options] time\n"},
      {"network show", "Usage: kolmarasetting-cli [options] network show\n"},
      {"viewid list", "Usage: kolmarasetting-cli [options] viewid list\n"},
      {"wol list", "Usage: kolmarasetting-cli [options] wol list\n"},
      {"admin set", "Usage: kolmarasetting-cli [options] admin set --new-id ID"},
      {"ntp set", "Usage: kolmarasetting-cli [options] ntp set SERVER\n"},
  };
  for (const Case& c : cases) {
    const std::string help = HelpText(FindCommand(c.command));
    SCOPED_TRACE(c.usage);
    EXPECT_EQ(help.rfind(c.usage, 0), 0u) << help;
    const auto example = help.find("\nExample:\n  ");
    ASSERT_NE(example, std::string::npos);
    EXPECT_NE(help.find("kolmarasetting-cli", example), std::string::npos);
    EXPECT_NE(help.find("Exit status"), std::string::npos);
    for (unsigned char ch : help) EXPECT_LT(ch, 0x80) << "help is plain English text";
  }
}

}  // namespace
}  // namespace kolmara::cli::test
