// What a hostile device, a mistyped command line or an odd password source
// must not do to the client: hang it, write to the terminal through it, or
// turn one password into another.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "cli/output.h"
#include "cli/secrets.h"
#include "cli_test_support.h"
#include "pages/account_logic.h"
#include "pages/login_logic.h"

namespace kolmara::cli::test {
namespace {

using Clock = std::chrono::steady_clock;

std::string TempPath(const std::string& name) {
  return ::testing::TempDir() + std::to_string(::getpid()) + "-" + name;
}

// A FIFO nobody ever writes to, removed afterwards.
class Fifo {
 public:
  explicit Fifo(const std::string& name) : path(TempPath(name)) {
    ::unlink(path.c_str());
    EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
  }
  ~Fifo() { ::unlink(path.c_str()); }
  const std::string path;
};

// A pipe whose write end stays open and silent, as `sleep 60 | cli --password-file /dev/stdin`.
class SilentPipe {
 public:
  SilentPipe() { EXPECT_EQ(::pipe(m_fds), 0); }
  ~SilentPipe() {
    ::close(m_fds[0]);
    ::close(m_fds[1]);
  }
  std::string ReadEndPath() const { return "/proc/self/fd/" + std::to_string(m_fds[0]); }
  int WriteEnd() const { return m_fds[1]; }

 private:
  int m_fds[2] = {-1, -1};
};

// Every password file that could wait for ever gives up at the time-out; the
// ones that can never hold a password line are refused at once.
TEST(PasswordFile, NoSourceWaitsPastTheTimeout) {
  Fifo fifo("silent.fifo");
  SilentPipe pipe;
  struct Case {
    const char* what;
    std::string path;
    const char* error;  // part of the message
  };
  const Case cases[] = {
      {"a FIFO without writer", fifo.path, "within 0.3 s"},
      {"a silent pipe (/dev/stdin)", pipe.ReadEndPath(), "within 0.3 s"},
      {"a device that is no terminal", "/dev/zero", "not a regular file, a pipe or a terminal"},
      {"a folder", ::testing::TempDir(), "not a regular file, a pipe or a terminal"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto start = Clock::now();
    const FileLines r = ReadFirstLines(c.path, "--password-file", 1, std::chrono::milliseconds(300));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find(c.error), std::string::npos) << r.error;
    EXPECT_NE(r.error.find("--password-file"), std::string::npos) << r.error;
  }
}

TEST(PasswordFile, APipeThatAnswersInTimeIsRead) {
  SilentPipe pipe;
  std::thread writer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(::write(pipe.WriteEnd(), "s3cret\nconfirm", 14), 14);
  });
  // The first line is enough for a login: the open write end is not waited for.
  const FileLines login = ReadFirstLines(pipe.ReadEndPath(), "--password-file", 1, std::chrono::seconds(5));
  writer.join();
  ASSERT_TRUE(login.ok) << login.error;
  EXPECT_EQ(login.first, "s3cret");

  Fifo fifo("answers.fifo");
  std::thread fifoWriter([&] {
    std::ofstream(fifo.path) << "new\r\nnew2\n";
  });
  const FileLines fresh = ReadFirstLines(fifo.path, "--new-password-file", 2, std::chrono::seconds(5));
  fifoWriter.join();
  ASSERT_TRUE(fresh.ok) << fresh.error;
  EXPECT_EQ(fresh.first, "new");
  EXPECT_EQ(fresh.second, "new2");
}

TEST(PasswordFile, TheClientEndsWithUsageErrorInTime) {
  Fifo fifo("client.fifo");
  const auto start = Clock::now();
  const RunResult r = RunInProcess(
      {"--host", "127.0.0.1:1", "--id", "admin", "--timeout", "0.3", "--password-file", fifo.path, "info"});
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
  EXPECT_EQ(r.rc, kExitUsage);
  EXPECT_NE(r.err.find("--password-file"), std::string::npos) << r.err;
}

// The terminal is asked with the same bound.
class TimedTerminal : public ITerminal {
 public:
  bool IsInteractive() override { return true; }
  std::optional<std::string> ReadHidden(const std::string&, std::chrono::milliseconds timeout) override {
    asked.push_back(timeout);
    return std::nullopt;  // nobody typed anything in time
  }
  std::vector<std::chrono::milliseconds> asked;
};

TEST(PasswordPrompt, WaitsNoLongerThanTheTimeout) {
  Options o;
  o.timeout = std::chrono::milliseconds(1500);
  TimedTerminal terminal;
  EXPECT_FALSE(ReadLoginPassword(o, EnvOf({}), terminal).ok);
  EXPECT_FALSE(ReadNewPassword(o, EnvOf({}), terminal).ok);
  ASSERT_EQ(terminal.asked.size(), 2u);
  for (auto t : terminal.asked) EXPECT_EQ(t, o.timeout);
}

// The password file's path is never repeated: it may be the password itself.
TEST(PasswordFile, ErrorsNeverRepeatThePath) {
  for (const char* option : {"--password-file", "--new-password-file"}) {
    const FileLines r = ReadFirstLines("/nonexistent/s3cret", option, 1, std::chrono::seconds(1));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error.find("s3cret"), std::string::npos) << r.error;
    EXPECT_NE(r.error.find(option), std::string::npos) << r.error;
  }
}

// A device text with terminal controls reaches the table escaped, and the
// columns after it stay aligned to what is shown.
TEST(TableOutput, ControlCharactersInDeviceTextsAreEscaped) {
  const QString hostile = QString::fromUtf8("Evil\x1b]0;owned\x07\x1b[2J\r\n\x7f") + QChar(0x9B) + "x";
  const std::string shown = "Evil\\x1b]0;owned\\x07\\x1b[2J\\x0d\\x0a\\x7f\\x9bx";
  ProductSummary summary;
  summary.company = hostile;
  NetworkView network;
  network.ntpServer = hostile;
  ViewIdRow viewId;
  viewId.name = hostile;
  WolRow wol;
  wol.name = hostile;
  const std::pair<const char*, std::string> outputs[] = {
      {"info", FormatInfo(summary, false)},
      {"network show", FormatNetwork(network, false)},
      {"viewid list", FormatViewIds({viewId}, false)},
      {"wol list", FormatWolEntries({wol}, false)},
  };
  for (const auto& [what, text] : outputs) {
    SCOPED_TRACE(what);
    EXPECT_NE(text.find(shown), std::string::npos) << text;
    for (unsigned char c : text) EXPECT_TRUE(c == '\n' || (c >= 0x20 && c != 0x7F)) << int(c);
    EXPECT_EQ(text.find("\xc2\x9b"), std::string::npos);  // C1 CSI as UTF-8
  }
  // Korean stays as it is.
  wol.name = QString::fromUtf8("사무실");
  EXPECT_NE(FormatWolEntries({wol}, false).find("사무실"), std::string::npos);
}

// Bytes that are no UTF-8 are refused by the argument's name or position,
// never repeated and never turned into "?".
TEST(Arguments, InvalidUtf8IsRefusedByName) {
  const std::map<std::string, std::string> env{{"KOLMARA_HOST", "h"}, {"KOLMARA_ID", "a"}};
  struct Case {
    std::vector<std::string> args;
    std::map<std::string, std::string> env;
    std::string error;  // empty: accepted
  };
  const Case cases[] = {
      {{"admin", "set", "--new-id", "id\xff"}, env, "the value of --new-id is not valid UTF-8"},
      {{"admin", "set", "--new-id=id\xff"}, env, "the value of --new-id is not valid UTF-8"},
      {{"--id", "\xc0\xaf", "info"}, env, "the value of --id is not valid UTF-8"},  // overlong '/'
      {{"ntp", "set", "\xed\xa0\x80"}, env, "argument 3 is not valid UTF-8"},       // a surrogate
      {{"ntp", "set", "\xf4\x90\x80\x80"}, env, "argument 3 is not valid UTF-8"},   // above U+10FFFF
      {{"ntp", "set", "abc\xe3\x81"}, env, "argument 3 is not valid UTF-8"},        // cut short
      {{"--x\xff", "info"}, env, "argument 1 is not valid UTF-8"},
      {{"info"}, {{"KOLMARA_HOST", "h"}, {"KOLMARA_ID", "adm\xfe"}}, "KOLMARA_ID is not valid UTF-8"},
      {{"admin", "set", "--new-id", "관리자"}, env, ""},
      {{"ntp", "set", "\xf0\x9f\x98\x80"}, env, ""},  // U+1F600: valid, the page's checks judge it
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    const ParseResult r = ParseArguments(c.args, EnvOf(c.env));
    EXPECT_EQ(r.ok, c.error.empty()) << r.error;
    EXPECT_EQ(r.error, c.error);
  }
}

TEST(Arguments, InvalidUtf8PasswordsEndWithUsageError) {
  const std::map<std::string, std::string> env{
      {"KOLMARA_HOST", "127.0.0.1:1"}, {"KOLMARA_ID", "admin"}, {"KOLMARA_PASSWORD", "pw"}};
  struct Case {
    const char* what;
    std::map<std::string, std::string> extra;
    const char* source;
  };
  const Case cases[] = {
      {"login password", {{"KOLMARA_PASSWORD", "pw\xff"}}, "KOLMARA_PASSWORD"},
      {"new password", {{"KOLMARA_NEW_PASSWORD", "pw\xff"}}, "KOLMARA_NEW_PASSWORD"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::map<std::string, std::string> all = c.extra;
    all.insert(env.begin(), env.end());
    const RunResult r = RunInProcess({"admin", "set", "--new-id", "admin2"}, all);
    EXPECT_EQ(r.rc, kExitUsage);
    EXPECT_NE(r.err.find(std::string(c.source) + " is not valid UTF-8"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\xff'), std::string::npos);
  }
}

// An ID or password with a character the code page lacks would reach the
// device with "?" in its place: the window and the client refuse it.
TEST(Credentials, CharactersTheCodePageLacksAreRefused) {
  const QString emoji = QString::fromUtf8("\xf0\x9f\x98\x80");
  const QString id = QString::fromUtf8(kMsgIdBadCharacter);
  const QString password = QString::fromUtf8(kMsgPasswordBadCharacter);
  struct Case {
    QString id, password;
    QString message;  // empty: accepted
  };
  const Case cases[] = {
      {"admin" + emoji, "pw", id},
      {"admin", "pw" + emoji, password},
      {"ad" + emoji, "pw" + emoji, id},
      {"admin", QString("pw") + QChar(0) + "x", password},  // the field would end at the NUL
      {QString::fromUtf8("관리자"), QString::fromUtf8("비밀 번호"), {}},
      {"admin", "pw?", {}},  // a real question mark is a character like any other
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id.toStdString() + " / " + c.password.toStdString());
    const LoginCredentials login = CheckLoginCredentials(c.id, c.password);
    EXPECT_EQ(login.ok, c.message.isEmpty());
    EXPECT_EQ(login.message, c.message);
    const AdminChangeResult change = CheckAdminChange(c.id, c.password, c.password);
    EXPECT_EQ(change.ok, c.message.isEmpty());
    EXPECT_EQ(change.message, c.message);
  }
}

TEST(Credentials, TheClientRefusesThemBeforeConnecting) {
  const std::map<std::string, std::string> env{{"KOLMARA_HOST", "127.0.0.1:1"}, {"KOLMARA_ID", "admin"},
                                               {"KOLMARA_PASSWORD", "pw"},
                                               {"KOLMARA_NEW_PASSWORD", "new\xf0\x9f\x98\x80"}};
  const RunResult r = RunInProcess({"admin", "set", "--new-id", "admin2"}, env);
  EXPECT_EQ(r.rc, kExitRefused);
  EXPECT_EQ(r.err, std::string(kMsgPasswordBadCharacter) + "\n");
}

// An option the parser does not know is named, never what was given with it.
TEST(Arguments, AMistypedOptionNamesOnlyTheOption) {
  const std::map<std::string, std::string> env{{"KOLMARA_HOST", "h"}, {"KOLMARA_ID", "a"}};
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"info", "--pasword=s3cret"}, "unknown option '--pasword'"},
      {{"info", "--pasword", "s3cret"}, "unknown option '--pasword'"},
      {{"--password=s3cret", "info"}, ""},  // refused by name, with its own message
      {{"info", "-ps3cret"}, "unknown option '-p'"},
      {{"info", "-p=s3cret"}, "unknown option '-p'"},
      {{"info", "-hs3cret"}, "option -h takes no value"},
      {{"info", "-\xd2\x8fs3cret"}, "unknown option '-\xd2\x8f'"},  // a letter of two bytes, kept whole
      {{"--json=s3cret", "info"}, "option --json takes no value"},
  };
  for (const auto& [args, error] : cases) {
    SCOPED_TRACE(args.back());
    const ParseResult r = ParseArguments(args, EnvOf(env));
    EXPECT_FALSE(r.ok);
    if (!error.empty()) {
      EXPECT_EQ(r.error, error);
    }
    EXPECT_EQ(r.error.find("s3cret"), std::string::npos) << r.error;
  }
}

}  // namespace
}  // namespace kolmara::cli::test
