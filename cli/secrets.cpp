#include "cli/secrets.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#else
#include <io.h>
#include <windows.h>
#endif

namespace kolmara::cli {
namespace {

void StripLineEnd(std::string& line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
}

#ifndef _WIN32
// The mode to put back if a signal ends the process while echo is off;
// written before the handlers go in, read only by them.
termios g_savedMode{};
volatile sig_atomic_t g_echoIsOff = 0;

void RestoreAndReraise(int signal) {
  if (g_echoIsOff) tcsetattr(STDIN_FILENO, TCSANOW, &g_savedMode);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

// Restores the terminal's mode on every way out, Ctrl-C included, so an
// interrupted prompt never leaves the administrator's terminal without echo.
class EchoOff {
 public:
  EchoOff() {
    if (tcgetattr(STDIN_FILENO, &m_saved) != 0) return;
    g_savedMode = m_saved;
    for (std::size_t i = 0; i < std::size(kSignals); ++i) m_previous[i] = std::signal(kSignals[i], RestoreAndReraise);
    m_installed = true;
    termios quiet = m_saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    g_echoIsOff = 1;
    m_active = tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
  }
  ~EchoOff() {
    if (m_active) tcsetattr(STDIN_FILENO, TCSANOW, &m_saved);
    g_echoIsOff = 0;
    if (m_installed)
      for (std::size_t i = 0; i < std::size(kSignals); ++i) std::signal(kSignals[i], m_previous[i]);
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
  termios m_saved{};
  void (*m_previous[std::size(kSignals)])(int) = {};
  bool m_installed = false;
  bool m_active = false;
};
#endif

// A line of a password, at most kMaxLineBytes long: a file named by mistake
// (a huge log) must not be read without end.
constexpr std::size_t kMaxLineBytes = 4096;

}  // namespace

bool ConsoleTerminal::IsInteractive() {
#ifndef _WIN32
  return isatty(STDIN_FILENO) == 1;
#else
  return _isatty(_fileno(stdin)) != 0;
#endif
}

#ifndef _WIN32
namespace {

// Waits for `fd` to be readable until `deadline`; false when it passed.
bool WaitReadable(int fd, std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) return false;
    pollfd p{fd, POLLIN, 0};
    const int n = poll(&p, 1, static_cast<int>(std::min<long long>(left, 1000 * 1000)));
    if (n > 0) return true;
    if (n < 0 && errno != EINTR) return true;  // the read that follows reports it
  }
}

enum class ReadStatus { kDone, kEnd, kTimeout, kTooLong, kError };

// Appends to `text` until it holds `lines` line ends, the input ends, or the
// deadline passes; never more than `limit` bytes. A pipe or a terminal
// (`waits`) is read only once it has something, so the deadline holds even
// for one opened non-blocking before any writer came.
ReadStatus ReadLines(int fd, bool waits, int lines, std::size_t limit, std::chrono::steady_clock::time_point deadline,
                     std::string& text) {
  char c;
  int seen = 0;
  for (;;) {
    if (waits && !WaitReadable(fd, deadline)) return ReadStatus::kTimeout;
    const ssize_t n = read(fd, &c, 1);
    if (n == 1) {
      if (text.size() == limit) return ReadStatus::kTooLong;
      text.push_back(c);
      if (c == '\n' && ++seen == lines) return ReadStatus::kDone;
      continue;
    }
    if (n == 0) return ReadStatus::kEnd;
    if (errno == EINTR || (waits && (errno == EAGAIN || errno == EWOULDBLOCK))) continue;
    return ReadStatus::kError;
  }
}

std::string SecondsText(std::chrono::milliseconds t) {
  std::ostringstream s;
  s << static_cast<double>(t.count()) / 1000.0;
  return s.str();
}

}  // namespace
#endif

std::optional<std::string> ConsoleTerminal::ReadHidden(const std::string& prompt, std::chrono::milliseconds timeout) {
  std::string line;
  bool got;
  {
    // Echo goes off before the prompt appears, so nothing typed in answer
    // to it can ever be echoed.
#ifndef _WIN32
    EchoOff quiet;
    std::cerr << prompt << std::flush;
    // Read from the descriptor, not std::cin: a buffered stream cannot wait
    // with a time limit, and nobody at the terminal must not hang the client.
    const ReadStatus status =
        ReadLines(STDIN_FILENO, true, 1, kMaxLineBytes, std::chrono::steady_clock::now() + timeout, line);
    got = status == ReadStatus::kDone || (status == ReadStatus::kEnd && !line.empty());
    if (status == ReadStatus::kTimeout) std::cerr << "\n";
#else
    (void)timeout;
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    GetConsoleMode(in, &mode);
    SetConsoleMode(in, mode & ~ENABLE_ECHO_INPUT);
    std::cerr << prompt << std::flush;
    got = static_cast<bool>(std::getline(std::cin, line));
    SetConsoleMode(in, mode);
    std::cerr << "\n";
#endif
  }
  if (!got) return std::nullopt;
  StripLineEnd(line);
  return line;
}

namespace {

// Splits what was read into its first line and, when there is one, its second.
void SplitLines(const std::string& text, int lines, FileLines& r) {
  const auto nl = text.find('\n');
  r.first = text.substr(0, nl);
  StripLineEnd(r.first);
  if (lines > 1 && nl != std::string::npos && nl + 1 < text.size()) {
    std::string next = text.substr(nl + 1);
    if (const auto nl2 = next.find('\n'); nl2 != std::string::npos) next.resize(nl2);
    StripLineEnd(next);
    r.second = next;
  }
}

}  // namespace

FileLines ReadFirstLines(const std::string& path, const std::string& option, int lines,
                         std::chrono::milliseconds timeout) {
  FileLines r;
  // The path is never repeated: the user may have put the password itself
  // where the file's name belongs.
  const std::string which = "the file given with " + option;
  // Each line ends within kMaxLineBytes; its line end may follow.
  const std::size_t limit = static_cast<std::size_t>(lines) * (kMaxLineBytes + 2);
  std::string text;
#ifndef _WIN32
  // Non-blocking, so that opening a FIFO nobody writes to returns at once.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    r.error = "cannot read " + which + ": " + std::strerror(errno);
    return r;
  }
  struct stat st {};
  const bool statted = fstat(fd, &st) == 0;
  const bool waits = statted && (S_ISFIFO(st.st_mode) || (S_ISCHR(st.st_mode) && isatty(fd) == 1));
  if (!statted || (!S_ISREG(st.st_mode) && !waits)) {
    close(fd);
    r.error = which + " is not a regular file, a pipe or a terminal";
    return r;
  }
  const ReadStatus status = ReadLines(fd, waits, lines, limit, std::chrono::steady_clock::now() + timeout, text);
  close(fd);
  switch (status) {
    case ReadStatus::kDone:
    case ReadStatus::kEnd:
      break;
    case ReadStatus::kTimeout:
      // A second line is optional: the first one is enough once the time is up.
      if (lines > 1 && text.find('\n') != std::string::npos) break;
      r.error = "no password came from " + which + " within " + SecondsText(timeout) + " s";
      return r;
    case ReadStatus::kTooLong:
      r.error = "the first line of " + which + " is longer than " + std::to_string(kMaxLineBytes) + " bytes";
      return r;
    case ReadStatus::kError:
      r.error = "cannot read " + which + ": " + std::strerror(errno);
      return r;
  }
#else
  (void)timeout;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    r.error = "cannot read " + which;
    return r;
  }
  char c;
  int seen = 0;
  while (seen < lines && in.get(c)) {
    if (text.size() == limit) {
      r.error = "the first line of " + which + " is longer than " + std::to_string(kMaxLineBytes) + " bytes";
      return r;
    }
    text.push_back(c);
    if (c == '\n') ++seen;
  }
  if (in.bad()) {
    r.error = "cannot read " + which;
    return r;
  }
#endif
  SplitLines(text, lines, r);
  if (r.first.size() > kMaxLineBytes || (r.second && r.second->size() > kMaxLineBytes)) {
    r.error = "a line of " + which + " is longer than " + std::to_string(kMaxLineBytes) + " bytes";
    return r;
  }
  r.ok = true;
  return r;
}

namespace {

// Takes a password from `source` (named in errors) when it is valid UTF-8.
bool TakeUtf8(const std::string& text, const std::string& source, std::string& into, SecretResult& r) {
  if (!IsValidUtf8(text)) {
    r.error = "the password from " + source + " is not valid UTF-8";
    return false;
  }
  into = text;
  return true;
}

}  // namespace

SecretResult ReadLoginPassword(const Options& options, const EnvLookup& env, ITerminal& terminal) {
  SecretResult r;
  if (options.passwordFile) {
    const FileLines file = ReadFirstLines(*options.passwordFile, "--password-file", 1, options.timeout);
    if (!file.ok) {
      r.error = file.error;
      return r;
    }
    if (!TakeUtf8(file.first, "--password-file", r.password, r)) return r;
  } else if (auto fromEnv = env("KOLMARA_PASSWORD")) {
    if (!TakeUtf8(*fromEnv, "KOLMARA_PASSWORD", r.password, r)) return r;
  } else if (terminal.IsInteractive()) {
    const auto typed = terminal.ReadHidden("Password: ", options.timeout);
    if (!typed) {
      r.error = "no password was typed";
      return r;
    }
    if (!TakeUtf8(*typed, "the prompt", r.password, r)) return r;
  } else {
    r.error = "no password: set KOLMARA_PASSWORD, give --password-file FILE, or run from a terminal";
    return r;
  }
  r.confirm = r.password;
  r.ok = true;
  return r;
}

SecretResult ReadNewPassword(const Options& options, const EnvLookup& env, ITerminal& terminal) {
  SecretResult r;
  if (options.newPasswordFile) {
    const FileLines file = ReadFirstLines(*options.newPasswordFile, "--new-password-file", 2, options.timeout);
    if (!file.ok) {
      r.error = file.error;
      return r;
    }
    if (!TakeUtf8(file.first, "--new-password-file", r.password, r) ||
        !TakeUtf8(file.second.value_or(file.first), "--new-password-file", r.confirm, r))
      return r;
  } else if (auto fromEnv = env("KOLMARA_NEW_PASSWORD")) {
    if (!TakeUtf8(*fromEnv, "KOLMARA_NEW_PASSWORD", r.password, r)) return r;
    r.confirm = r.password;
  } else if (terminal.IsInteractive()) {
    const auto first = terminal.ReadHidden("New password: ", options.timeout);
    const auto second = first ? terminal.ReadHidden("New password again: ", options.timeout) : std::nullopt;
    if (!first || !second) {
      r.error = "no new password was typed";
      return r;
    }
    if (!TakeUtf8(*first, "the prompt", r.password, r) || !TakeUtf8(*second, "the prompt", r.confirm, r)) return r;
  } else {
    r.error = "no new password: set KOLMARA_NEW_PASSWORD, give --new-password-file FILE, or run from a terminal";
    return r;
  }
  r.ok = true;
  return r;
}

}  // namespace kolmara::cli
