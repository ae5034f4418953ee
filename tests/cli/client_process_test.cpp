// The client as its own program: the terminal prompt through a real pseudo
// terminal, and what a password leaves in output and arguments.
#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>

#include <cstdlib>
#include <fstream>

#include "cli_test_support.h"
#include "device/sim_device.h"

extern char** environ;

namespace kolmara::cli::test {
namespace {

constexpr char kPassword[] = "pty-S3cret";

struct Child {
  pid_t pid = -1;
  int out = -1;  // stdout (and stderr for a pty child)
  int err = -1;
};

std::vector<char*> Argv(std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  return argv;
}

// The environment of this process minus the client's own variables, plus `extra`.
std::vector<std::string> ChildEnv(const std::map<std::string, std::string>& extra) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    if (entry.rfind("KOLMARA_PASSWORD=", 0) == 0 || entry.rfind("KOLMARA_NEW_PASSWORD=", 0) == 0 ||
        entry.rfind("KOLMARA_HOST=", 0) == 0 || entry.rfind("KOLMARA_ID=", 0) == 0)
      continue;
    env.push_back(entry);
  }
  for (const auto& [k, v] : extra) env.push_back(k + "=" + v);
  return env;
}

// Reads until end of input or the deadline; true at end of input.
bool ReadAll(int fd, std::string& into, std::chrono::milliseconds wait, const std::string& until = {}) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    if (!until.empty() && into.find(until) != std::string::npos) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
    char buffer[4096];
    const long n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) return true;  // EOF, or EIO once the pty's other side has gone
    into.append(buffer, static_cast<std::size_t>(n));
  }
}

int Reap(pid_t pid) {
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(10ms);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The client with stdout and stderr on pipes and stdin on /dev/null.
Child SpawnWithPipes(std::vector<std::string> args, const std::map<std::string, std::string>& env) {
  int out[2], err[2];
  EXPECT_EQ(::pipe(out), 0);
  EXPECT_EQ(::pipe(err), 0);
  std::vector<std::string> envText = ChildEnv(env);
  args.insert(args.begin(), KOLMARA_CLI_PATH);
  auto argv = Argv(args);
  auto envp = Argv(envText);
  Child c;
  c.pid = ::fork();
  if (c.pid == 0) {
    const int devNull = ::open("/dev/null", O_RDONLY);
    ::dup2(devNull, 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);
  c.out = out[0];
  c.err = err[0];
  return c;
}

// The client on a pseudo terminal, as an administrator would run it; the
// terminal's master side comes back in `master`.
pid_t SpawnOnTerminal(std::vector<std::string> args, int& master) {
  std::vector<std::string> envText = ChildEnv({});
  args.insert(args.begin(), KOLMARA_CLI_PATH);
  auto argv = Argv(args);
  auto envp = Argv(envText);
  const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
  if (pid == 0) {
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  return pid;
}

RunResult RunProgram(std::vector<std::string> args, const std::map<std::string, std::string>& env) {
  Child c = SpawnWithPipes(std::move(args), env);
  RunResult r;
  ReadAll(c.out, r.out, 20s);
  ReadAll(c.err, r.err, 20s);
  ::close(c.out);
  ::close(c.err);
  r.rc = Reap(c.pid);
  return r;
}

class ProgramOnDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    device::SimConfig config;
    config.adminPassword = kPassword;
    m_device = std::make_unique<device::SimDevice>(config);
    std::string error;
    ASSERT_TRUE(m_device->Start(&error)) << error;
  }
  std::string Host() const { return "127.0.0.1:" + std::to_string(m_device->Port()); }
  std::unique_ptr<device::SimDevice> m_device;
};

TEST_F(ProgramOnDevice, PromptReadsThePasswordWithoutEcho) {
  int master = -1;
  const pid_t pid = SpawnOnTerminal({"--host", Host(), "--id", "admin", "--timeout", "10", "info"}, master);
  ASSERT_GE(pid, 0);
  std::string seen;
  ReadAll(master, seen, 10s, "Password: ");
  ASSERT_NE(seen.find("Password: "), std::string::npos) << seen;
  const std::string line = std::string(kPassword) + "\n";
  ASSERT_EQ(::write(master, line.data(), line.size()), static_cast<long>(line.size()));
  ReadAll(master, seen, 15s);
  ::close(master);
  EXPECT_EQ(Reap(pid), kExitOk) << seen;
  EXPECT_NE(seen.find("Firmware Version"), std::string::npos) << seen;
  EXPECT_EQ(seen.find(kPassword), std::string::npos) << "the password was echoed: " << seen;
}

TEST_F(ProgramOnDevice, InterruptedPromptGivesTheTerminalItsEchoBack) {
  int master = -1;
  const pid_t pid = SpawnOnTerminal({"--host", Host(), "--id", "admin", "info"}, master);
  ASSERT_GE(pid, 0);
  std::string seen;
  ReadAll(master, seen, 10s, "Password: ");
  ASSERT_NE(seen.find("Password: "), std::string::npos) << seen;
  termios during{};
  ASSERT_EQ(::tcgetattr(master, &during), 0);
  EXPECT_EQ(during.c_lflag & ECHO, 0u) << "echo is off while the prompt waits";
  const char interrupt = static_cast<char>(during.c_cc[VINTR]);  // Ctrl-C
  ASSERT_EQ(::write(master, &interrupt, 1), 1);
  int status = 0;
  pid_t ended = 0;
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while ((ended = ::waitpid(pid, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(10ms);
  termios after{};
  ASSERT_EQ(::tcgetattr(master, &after), 0);
  ::close(master);
  if (ended == 0) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
  }
  ASSERT_EQ(ended, pid) << "Ctrl-C ends the prompt";
  // Normally the signal ends it; a sanitizer that defers signals turns it
  // into a failed read, which ends the client with a usage error instead.
  EXPECT_TRUE((WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) || (WIFEXITED(status) && WEXITSTATUS(status) == kExitUsage))
      << status;
  EXPECT_NE(after.c_lflag & ECHO, 0u) << "echo restored";
}

// Every way the client can end, with the password in each of its sources:
// it never shows up in stdout or stderr.
TEST_F(ProgramOnDevice, PasswordNeverAppearsInOutput) {
  const std::string file = ::testing::TempDir() + std::to_string(::getpid()) + "-cli-pw.txt";
  std::ofstream(file) << kPassword << "\n";
  const std::string wrongFile = ::testing::TempDir() + std::to_string(::getpid()) + "-cli-wrong-pw.txt";
  std::ofstream(wrongFile) << kPassword << "-wrong\n";
  struct Case {
    std::vector<std::string> args;
    std::map<std::string, std::string> env;
    int rc;
  };
  const std::string closed = "127.0.0.1:" + std::to_string(ClosedPort());
  const Case cases[] = {
      {{"--host", Host(), "--id", "admin", "info"}, {{"KOLMARA_PASSWORD", kPassword}}, kExitOk},
      {{"--host", Host(), "--id", "admin", "--password-file", file, "--json", "network", "show"}, {}, kExitOk},
      {{"--host", Host(), "--id", "admin", "--password-file", wrongFile, "info"}, {}, kExitLoginRefused},
      {{"--host", Host(), "--id", "admin", "admin", "set", "--new-id", "boss"},
       {{"KOLMARA_PASSWORD", kPassword}, {"KOLMARA_NEW_PASSWORD", std::string(kPassword) + std::string(80, 'x')}},
       kExitRefused},
      {{"--host", closed, "--id", "admin", "info"}, {{"KOLMARA_PASSWORD", kPassword}}, kExitConnection},
      {{"--host", Host(), "info"}, {{"KOLMARA_PASSWORD", kPassword}}, kExitUsage},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.back());
    const RunResult r = RunProgram(c.args, c.env);
    EXPECT_EQ(r.rc, c.rc) << r.err;
    EXPECT_EQ(r.out.find(kPassword), std::string::npos) << r.out;
    EXPECT_EQ(r.err.find(kPassword), std::string::npos) << r.err;
  }
}

TEST_F(ProgramOnDevice, PasswordIsNotInTheRunningProcessArguments) {
  m_device->SetSilent(true);  // keeps the client waiting for its login answer
  Child c = SpawnWithPipes({"--host", Host(), "--id", "admin", "--timeout", "5", "info"},
                           {{"KOLMARA_PASSWORD", kPassword}});
  std::string cmdline;
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (m_device->ClientCount() == 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(10ms);
  {
    std::ifstream in("/proc/" + std::to_string(c.pid) + "/cmdline", std::ios::binary);
    cmdline.assign(std::istreambuf_iterator<char>(in), {});
  }
  ::kill(c.pid, SIGTERM);
  Reap(c.pid);
  ::close(c.out);
  ::close(c.err);
  EXPECT_NE(cmdline.find("info"), std::string::npos) << "the process was read while running";
  EXPECT_EQ(cmdline.find(kPassword), std::string::npos);
}

TEST(Program, PasswordOnTheCommandLineIsRefused) {
  const RunResult r = RunProgram({"--host", "127.0.0.1", "--id", "admin", "--password", kPassword, "info"}, {});
  EXPECT_EQ(r.rc, kExitUsage);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err.find(kPassword), std::string::npos);
}

TEST(Program, HelpNeedsNoDevice) {
  const RunResult r = RunProgram({"--help"}, {});
  EXPECT_EQ(r.rc, kExitOk);
  EXPECT_NE(r.out.find("Usage: kolmarasetting-cli"), std::string::npos);
  EXPECT_EQ(r.err, "");
}

}  // namespace
}  // namespace kolmara::cli::test
