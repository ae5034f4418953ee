// Reading the command line: what each command needs, what is refused as a
// usage error, and the help texts.
#include <gtest/gtest.h>

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

TEST(ParseArguments, CommandsAndTheirArguments) {
  struct Case {
    std::vector<std::string> args;
    Command command;
  };
  const Case cases[] = {
      {With({"info"}), Command::kInfo},
      {With({"time"}), Command::kTime},
      {With({"network", "show"}), Command::kNetworkShow},
      {With({"viewid", "list"}), Command::kViewIdList},
      {With({"wol", "list"}), Command::kWolList},
      {With({"admin", "set", "--new-id", "boss"}), Command::kAdminSet},
      {With({"ntp", "set", "pool.ntp.org"}), Command::kNtpSet},
      // options after the command words
      {{"info", "--host", "10.0.0.5", "--id", "admin"}, Command::kInfo},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.back());
    const ParseResult r = ParseArguments(c.args, EnvOf({}));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.options.command, c.command);
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
  EXPECT_EQ(r.options.newId, "");  // refused later by the page's check, with its message
}

TEST(ParseArguments, NtpServerMayLookLikeAnOptionAfterDoubleDash) {
  const ParseResult r = ParseArguments(With({"ntp", "set", "--", "--odd"}), EnvOf({}));
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.options.ntpServer, "--odd");
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
    Command command;
  };
  const Case cases[] = {
      {{"--help"}, Command::kNone},          {{"-h"}, Command::kNone},
      {{"info", "--help"}, Command::kInfo},  {{"network", "--help"}, Command::kNetworkShow},
      {{"--help", "admin", "set"}, Command::kAdminSet},
      {{"ntp", "set", "--help"}, Command::kNtpSet},  // no server needed
      {{"bogus", "--help"}, Command::kNone},
  };
  for (const Case& c : cases) {
    const ParseResult r = ParseArguments(c.args, EnvOf({}));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.options.help);
    EXPECT_EQ(r.options.command, c.command);
  }
}

TEST(HelpText, EveryCommandHasUsageAndAnExample) {
  struct Case {
    Command command;
    const char* usage;
  };
  const Case cases[] = {
      {Command::kNone, "Usage: kolmarasetting-cli --host ADDR[:PORT] --id ID"},
      {Command::kInfo, "Usage: kolmarasetting-cli [options] info\n"},
      {Command::kTime, "Usage: kolmarasetting-cli [options] time\n"},
      {Command::kNetworkShow, "Usage: kolmarasetting-cli [options] network show\n"},
      {Command::kViewIdList, "Usage: kolmarasetting-cli [options] viewid list\n"},
      {Command::kWolList, "Usage: kolmarasetting-cli [options] wol list\n"},
      {Command::kAdminSet, "Usage: kolmarasetting-cli [options] admin set --new-id ID"},
      {Command::kNtpSet, "Usage: kolmarasetting-cli [options] ntp set SERVER\n"},
  };
  for (const Case& c : cases) {
    const std::string help = HelpText(c.command);
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
