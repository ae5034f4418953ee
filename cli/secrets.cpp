#include "cli/secrets.h"

#include <csignal>
#include <cstdio>
#include <iterator>
#include <fstream>
#include <iostream>

#ifndef _WIN32
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

}  // namespace

bool ConsoleTerminal::IsInteractive() {
#ifndef _WIN32
  return isatty(STDIN_FILENO) == 1;
#else
  return _isatty(_fileno(stdin)) != 0;
#endif
}

std::optional<std::string> ConsoleTerminal::ReadHidden(const std::string& prompt) {
  std::string line;
  bool got;
  {
    // Echo goes off before the prompt appears, so nothing typed in answer
    // to it can ever be echoed.
#ifndef _WIN32
    EchoOff quiet;
#else
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    GetConsoleMode(in, &mode);
    SetConsoleMode(in, mode & ~ENABLE_ECHO_INPUT);
#endif
    std::cerr << prompt << std::flush;
    got = static_cast<bool>(std::getline(std::cin, line));
#ifdef _WIN32
    SetConsoleMode(in, mode);
    std::cerr << "\n";
#endif
  }
  if (!got) return std::nullopt;
  StripLineEnd(line);
  return line;
}

namespace {

// A line of a password file, at most kMaxLineBytes long: a file named by
// mistake (a device, a huge log) must not be read without end.
constexpr std::size_t kMaxLineBytes = 4096;

enum class LineStatus { kLine, kEnd, kError };

LineStatus ReadBoundedLine(std::istream& in, std::string& line) {
  line.clear();
  char c;
  while (in.get(c)) {
    if (c == '\n') return LineStatus::kLine;
    if (line.size() == kMaxLineBytes) return LineStatus::kError;
    line.push_back(c);
  }
  if (in.bad()) return LineStatus::kError;
  return line.empty() ? LineStatus::kEnd : LineStatus::kLine;
}

}  // namespace

std::optional<std::string> ReadFirstLines(const std::string& path, int lines, std::string* second) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string first;
  if (ReadBoundedLine(in, first) == LineStatus::kError) return std::nullopt;
  StripLineEnd(first);
  if (lines > 1 && second) {
    std::string next;
    switch (ReadBoundedLine(in, next)) {
      case LineStatus::kError: return std::nullopt;
      case LineStatus::kEnd: *second = first; break;
      case LineStatus::kLine: StripLineEnd(next); *second = next; break;
    }
  }
  return first;
}

SecretResult ReadLoginPassword(const Options& options, const EnvLookup& env, ITerminal& terminal) {
  SecretResult r;
  if (options.passwordFile) {
    const auto line = ReadFirstLines(*options.passwordFile, 1);
    if (!line) {
      r.error = "cannot read the password file '" + *options.passwordFile + "'";
      return r;
    }
    r.password = *line;
  } else if (auto fromEnv = env("KOLMARA_PASSWORD")) {
    r.password = *fromEnv;
  } else if (terminal.IsInteractive()) {
    const auto typed = terminal.ReadHidden("Password: ");
    if (!typed) {
      r.error = "no password was typed";
      return r;
    }
    r.password = *typed;
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
    std::string confirm;
    const auto line = ReadFirstLines(*options.newPasswordFile, 2, &confirm);
    if (!line) {
      r.error = "cannot read the new password file '" + *options.newPasswordFile + "'";
      return r;
    }
    r.password = *line;
    r.confirm = confirm;
  } else if (auto fromEnv = env("KOLMARA_NEW_PASSWORD")) {
    r.password = r.confirm = *fromEnv;
  } else if (terminal.IsInteractive()) {
    const auto first = terminal.ReadHidden("New password: ");
    const auto second = first ? terminal.ReadHidden("New password again: ") : std::nullopt;
    if (!first || !second) {
      r.error = "no new password was typed";
      return r;
    }
    r.password = *first;
    r.confirm = *second;
  } else {
    r.error = "no new password: set KOLMARA_NEW_PASSWORD, give --new-password-file FILE, or run from a terminal";
    return r;
  }
  r.ok = true;
  return r;
}

}  // namespace kolmara::cli
