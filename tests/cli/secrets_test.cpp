// Where the login and the new passwords come from, and in which order.
#include <gtest/gtest.h>

#include <fstream>

#include "cli/secrets.h"
#include "cli_test_support.h"

namespace kolmara::cli::test {
namespace {

std::string File(const std::string& name, const std::string& contents) {
  const std::string path = ::testing::TempDir() + std::to_string(::getpid()) + "-" + name;
  std::ofstream(path, std::ios::binary) << contents;
  return path;
}

Options WithFiles(std::optional<std::string> password, std::optional<std::string> newPassword) {
  Options o;
  o.passwordFile = std::move(password);
  o.newPasswordFile = std::move(newPassword);
  return o;
}

TEST(ReadLoginPassword, SourcesInOrder) {
  const std::string file = File("login.txt", "from file\r\nnot this\n");
  struct Case {
    const char* what;
    std::optional<std::string> file;
    std::map<std::string, std::string> env;
    bool interactive;
    std::vector<std::string> typed;
    bool ok;
    std::string password;
    std::size_t prompts;
  };
  const Case cases[] = {
      {"file first", file, {{"KOLMARA_PASSWORD", "env"}}, true, {"typed"}, true, "from file", 0},
      {"then the environment", std::nullopt, {{"KOLMARA_PASSWORD", "env"}}, true, {"typed"}, true, "env", 0},
      {"an empty variable is a password", std::nullopt, {{"KOLMARA_PASSWORD", ""}}, true, {}, true, "", 0},
      {"then the prompt", std::nullopt, {}, true, {"typed"}, true, "typed", 1},
      {"prompt closed", std::nullopt, {}, true, {}, false, "", 1},
      {"no terminal", std::nullopt, {}, false, {"typed"}, false, "", 0},
      {"unreadable file", std::string("/nonexistent/pw"), {{"KOLMARA_PASSWORD", "env"}}, true, {}, false, "", 0},
      {"a folder is no password file", ::testing::TempDir(), {}, true, {}, false, "", 0},
      {"a first line without end", std::string("/dev/zero"), {}, true, {}, false, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeTerminal terminal(c.interactive, c.typed);
    const SecretResult r = ReadLoginPassword(WithFiles(c.file, std::nullopt), EnvOf(c.env), terminal);
    EXPECT_EQ(r.ok, c.ok) << r.error;
    if (c.ok) {
      EXPECT_EQ(r.password, c.password);
    } else {
      EXPECT_FALSE(r.error.empty());
    }
    EXPECT_EQ(terminal.prompts.size(), c.prompts);
  }
}

TEST(ReadNewPassword, PasswordAndConfirmation) {
  struct Case {
    const char* what;
    std::optional<std::string> contents;  // of the new-password file
    std::map<std::string, std::string> env;
    std::vector<std::string> typed;
    std::string password;
    std::string confirm;
  };
  const Case cases[] = {
      {"one line confirms itself", "new\n", {}, {}, "new", "new"},
      {"no line end at all", "new", {}, {}, "new", "new"},
      {"a second line is the confirmation", "new\r\nNew\r\n", {}, {}, "new", "New"},
      {"empty file", "", {}, {}, "", ""},
      {"environment", std::nullopt, {{"KOLMARA_NEW_PASSWORD", "envnew"}}, {}, "envnew", "envnew"},
      {"the login password is not a new one", std::nullopt, {{"KOLMARA_NEW_PASSWORD", "n"}, {"KOLMARA_PASSWORD", "o"}},
       {}, "n", "n"},
      {"prompt asked twice", std::nullopt, {}, {"one", "two"}, "one", "two"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::optional<std::string> path;
    if (c.contents) path = File("new.txt", *c.contents);
    FakeTerminal terminal(true, c.typed);
    const SecretResult r = ReadNewPassword(WithFiles(std::nullopt, path), EnvOf(c.env), terminal);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.password, c.password);
    EXPECT_EQ(r.confirm, c.confirm);
    EXPECT_EQ(terminal.prompts.size(), c.typed.size());
  }
}

TEST(ReadNewPassword, NoSourceIsAnError) {
  FakeTerminal closedAfterOne(true, {"one"});
  EXPECT_FALSE(ReadNewPassword(Options{}, EnvOf({}), closedAfterOne).ok);
  FakeTerminal none(false);
  const SecretResult r = ReadNewPassword(Options{}, EnvOf({{"KOLMARA_PASSWORD", "old"}}), none);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("KOLMARA_NEW_PASSWORD"), std::string::npos);
}

}  // namespace
}  // namespace kolmara::cli::test
