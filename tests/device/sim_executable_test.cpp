// kolmara-qx-sim as a program: its first line, a login, a clean stop on
// SIGTERM, and its refusal of a corrupt state file.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "connection/conversions.h"
#include "tests/device/device_fixture.h"

extern char** environ;

namespace kolmara::device::testing {
namespace {

std::string SimPath() {
  const char* p = std::getenv("KOLMARA_SIM_EXE");
  return p ? p : "";
}

// A child with its stdout and stderr on pipes; killed if a test leaves it running.
class Child {
 public:
  // `launcher` runs before the device, e.g. prlimit with its limits.
  explicit Child(const std::vector<std::string>& args, const std::vector<std::string>& launcher = {}) {
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, err[0]);
    std::vector<std::string> all = launcher;
    all.push_back(SimPath());
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    m_out = out[0];
    m_err = err[0];
  }
  ~Child() {
    if (m_pid > 0 && !m_reaped) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, nullptr, 0);
    }
    if (m_out >= 0) close(m_out);
    if (m_err >= 0) close(m_err);
  }

  bool started() const { return m_pid > 0; }
  pid_t pid() const { return m_pid; }
  void Signal(int s) { kill(m_pid, s); }

  // One line of stdout within the wait.
  std::optional<std::string> ReadLine(std::chrono::milliseconds wait = kWait) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      pollfd p{m_out, POLLIN, 0};
      if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) return std::nullopt;
      char c;
      if (read(m_out, &c, 1) != 1) return std::nullopt;
      if (c == '\n') return line;
      line += c;
    }
  }

  // Everything on stdout or stderr until the child closes it.
  std::string ReadRest(bool fromStderr) {
    std::string all;
    char buffer[512];
    for (;;) {
      pollfd p{fromStderr ? m_err : m_out, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(kWait.count() * 1000)) <= 0) break;
      const ssize_t n = read(p.fd, buffer, sizeof buffer);
      if (n <= 0) break;
      all.append(buffer, static_cast<std::size_t>(n));
    }
    return all;
  }

  // Exit status, or nullopt when the child did not end within the wait.
  std::optional<int> Wait(std::chrono::milliseconds wait = kWait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_reaped = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(10ms);
    }
    return std::nullopt;
  }

 private:
  pid_t m_pid = -1;
  bool m_reaped = false;
  int m_out = -1, m_err = -1;
};

class SimExecutable : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(SimPath().empty()) << "KOLMARA_SIM_EXE is not set"; }
};

std::uint16_t PortOf(const std::string& line) {
  return static_cast<std::uint16_t>(std::stoi(line.substr(line.rfind(':') + 1)));
}

// Processor time the process has used, in clock ticks.
long CpuTicks(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::istringstream rest(all.substr(all.rfind(')') + 2));
  std::string field;
  long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && rest >> field; ++i) {
    if (i == 14) utime = std::stol(field);
    if (i == 15) stime = std::stol(field);
  }
  return utime + stime;
}

TEST_F(SimExecutable, OutOfDescriptorsItWaitsInsteadOfSpinningAndRecovers) {
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
  // A sanitizer's runtime spends CPU and descriptors of its own, so neither
  // the CPU bound nor the descriptor limit means what it does in a plain run.
  GTEST_SKIP() << "CPU and descriptor figures are not comparable under sanitizers";
#endif
  Child sim({"--port", "0"}, {"/usr/bin/prlimit", "--nofile=24"});
  ASSERT_TRUE(sim.started());
  const auto line = sim.ReadLine();
  ASSERT_TRUE(line.has_value());
  const std::uint16_t port = PortOf(*line);
  std::vector<std::unique_ptr<RawClient>> idle;
  for (int i = 0; i < 24; ++i) idle.push_back(std::make_unique<RawClient>(port));
  std::this_thread::sleep_for(300ms);
  const long before = CpuTicks(sim.pid());
  std::this_thread::sleep_for(1s);
  const long used = CpuTicks(sim.pid()) - before;
  EXPECT_LT(used, sysconf(_SC_CLK_TCK) / 4) << "ticks of processor time in one idle second";
  idle.clear();
  RawClient later(port);
  EXPECT_TRUE(later.Login());
  sim.Signal(SIGTERM);
  EXPECT_EQ(sim.Wait(), 0);
}

long VmSizeKb(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string key;
  long value = 0;
  while (in >> key) {
    if (key == "VmSize:" && in >> value) return value;
    in.ignore(4096, '\n');
  }
  return 0;
}

#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
#define KOLMARA_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer) || __has_feature(address_sanitizer)
#define KOLMARA_SANITIZED 1
#endif
#endif

// Thread stacks of 1 GB and an address space with room for none more: every
// client's thread fails to start, and the device must refuse just that
// connection instead of dying.
TEST_F(SimExecutable, AClientThreadThatCannotStartClosesItsConnectionOnly) {
#ifdef KOLMARA_SANITIZED
  GTEST_SKIP() << "sanitizers reserve more address space than the limit allows";
#else
  const std::string stack = "--stack=1073741824";
  long vm = 0;
  {
    Child probe({"--port", "0"}, {"/usr/bin/prlimit", stack});
    ASSERT_TRUE(probe.ReadLine().has_value());
    vm = VmSizeKb(probe.pid());
  }
  ASSERT_GT(vm, 0);
  const std::string room = "--as=" + std::to_string((vm + 512 * 1024) * 1024L);
  Child sim({"--port", "0"}, {"/usr/bin/prlimit", stack, room});
  const auto line = sim.ReadLine();
  ASSERT_TRUE(line.has_value());
  const std::uint16_t port = PortOf(*line);
  for (int i = 0; i < 3; ++i) {
    RawClient c(port);
    ASSERT_TRUE(c.connected());
    EXPECT_TRUE(c.ClosedByPeer(2000ms)) << "connection " << i;
  }
  EXPECT_FALSE(sim.Wait(200ms).has_value()) << "the device ended";
  sim.Signal(SIGTERM);
  EXPECT_EQ(sim.Wait(), 0);
#endif
}

TEST_F(SimExecutable, AnnouncesItsPortServesALoginAndStopsCleanlyOnSigterm) {
  Child sim({"--port", "0", "--viewid-capacity", "25", "--admin-password", "pw"});
  ASSERT_TRUE(sim.started());
  const auto line = sim.ReadLine();
  ASSERT_TRUE(line.has_value());
  ASSERT_EQ(line->rfind("listening on 127.0.0.1:", 0), 0u) << *line;
  const std::uint16_t port = PortOf(*line);
  EXPECT_NE(port, 0);

  CGlobalData store;
  NotificationQueue queue;
  CMySocket socket(&store);
  ASSERT_EQ(socket.Connect(&queue, "127.0.0.1", port, 5000ms), 1);
  ASSERT_TRUE(socket.SendLogin("admin", "pw"));
  const auto login = queue.WaitFor(1, kWait);
  ASSERT_TRUE(login.has_value());
  EXPECT_EQ(login->value, 125);

  sim.Signal(SIGTERM);
  EXPECT_EQ(sim.Wait(), 0);
  // The device's end closes the tool's connection.
  EXPECT_TRUE(queue.WaitFor(kNotifyConnectionEnded, kWait).has_value());
  EXPECT_EQ(sim.ReadRest(false), "");  // exactly one line on stdout
}

// The tool sends the ID and password in the ANSI code page, whatever the
// terminal that started the device typed them in.
TEST_F(SimExecutable, KoreanCredentialsFromTheCommandLineAcceptTheToolsLogin) {
  const QString id = QString::fromUtf8("관리자"), password = QString::fromUtf8("비밀번호");
  Child sim({"--port", "0", "--admin-id", id.toStdString(), "--admin-password", password.toStdString()});
  const auto line = sim.ReadLine();
  ASSERT_TRUE(line.has_value());
  CGlobalData store;
  NotificationQueue queue;
  CMySocket socket(&store);
  ASSERT_EQ(socket.Connect(&queue, "127.0.0.1", PortOf(*line), 5000ms), 1);
  ASSERT_TRUE(socket.SendLogin(WideToAnsiBytes(id).toStdString(), WideToAnsiBytes(password).toStdString()));
  const auto login = queue.WaitFor(1, kWait);
  ASSERT_TRUE(login.has_value());
  EXPECT_EQ(login->value, 110);
  sim.Signal(SIGTERM);
  EXPECT_EQ(sim.Wait(), 0);
}

TEST_F(SimExecutable, SampleDataFillsBothTables) {
  Child sim({"--port", "0", "--sample-data"});
  const auto line = sim.ReadLine();
  ASSERT_TRUE(line.has_value());
  CGlobalData store;
  NotificationQueue queue;
  CMySocket socket(&store);
  ASSERT_EQ(socket.Connect(&queue, "127.0.0.1", PortOf(*line), 5000ms), 1);
  ASSERT_TRUE(socket.SendLogin("admin", "admin"));
  ASSERT_TRUE(queue.WaitFor(1, kWait).has_value());
  ASSERT_TRUE(socket.RequestViewIdList());
  const auto viewIds = queue.WaitFor(kNotifyViewIdTable, kWait);
  ASSERT_TRUE(viewIds.has_value());
  EXPECT_EQ(viewIds->value, 5);
  ASSERT_TRUE(socket.RequestWolTable());
  const auto wol = queue.WaitFor(kNotifyWolTable, kWait);
  ASSERT_TRUE(wol.has_value());
  EXPECT_EQ(wol->value, 5);
  sim.Signal(SIGTERM);
  EXPECT_EQ(sim.Wait(), 0);
}

TEST_F(SimExecutable, SigintStopsItToo) {
  Child sim({"--port", "0"});
  ASSERT_TRUE(sim.ReadLine().has_value());
  sim.Signal(SIGINT);
  EXPECT_EQ(sim.Wait(), 0);
}

TEST_F(SimExecutable, CorruptStateFileIsRefusedWithAMessage) {
  QTemporaryDir dir;
  const QString path = dir.filePath("state.json");
  const QByteArray junk = "{\"format\": 1, \"adminId\": [";
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(junk);
  }
  Child sim({"--port", "0", "--state", path.toStdString()});
  const std::string err = sim.ReadRest(true);
  const auto status = sim.Wait();
  ASSERT_TRUE(status.has_value());
  EXPECT_NE(*status, 0);
  EXPECT_NE(err.find("is corrupt"), std::string::npos) << err;
  EXPECT_EQ(sim.ReadRest(false), "");  // no "listening on" line
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), junk);
}

TEST_F(SimExecutable, CommandLineMistakesAreRefused) {
  const std::vector<std::vector<std::string>> cases = {
      {"--port", "65536"}, {"--port"}, {"--viewid-capacity", "0"}, {"--update-step-ms", "-1"},
      {"--bogus", "1"},    {"--admin-id", ""}, {"--bind", "localhost", "--port", "0"},
  };
  for (const auto& args : cases) {
    Child sim(args);
    const std::string err = sim.ReadRest(true);
    const auto status = sim.Wait();
    ASSERT_TRUE(status.has_value()) << args[0];
    EXPECT_NE(*status, 0) << args[0];
    EXPECT_NE(err.find("kolmara-qx-sim: "), std::string::npos) << args[0];
  }
  Child help({"--help"});
  const std::string usage = help.ReadRest(false);
  EXPECT_NE(usage.find("--update-step-ms"), std::string::npos);
  EXPECT_NE(usage.find("--sample-data"), std::string::npos);
  EXPECT_EQ(help.Wait(), 0);
}

}  // namespace
}  // namespace kolmara::device::testing
