#pragma once
// Where passwords come from. They never come from the command line: a file
// named there, the environment, or a prompt without echo on a terminal.
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "cli/options.h"

namespace kolmara::cli {

// The terminal seam: the real one reads stdin with echo off; tests inject
// their own answers.
class ITerminal {
 public:
  virtual ~ITerminal() = default;
  virtual bool IsInteractive() = 0;
  // Shows `prompt` and reads one line without echoing it; nothing at end of
  // input or when no line has come within `timeout`.
  virtual std::optional<std::string> ReadHidden(const std::string& prompt, std::chrono::milliseconds timeout) = 0;
};

// stdin with the terminal's echo switched off while reading, the prompt on
// stderr so that stdout stays clean for --json.
class ConsoleTerminal : public ITerminal {
 public:
  bool IsInteractive() override;
  std::optional<std::string> ReadHidden(const std::string& prompt, std::chrono::milliseconds timeout) override;
};

struct SecretResult {
  bool ok = false;
  std::string error;     // a usage error when no source gave a password
  std::string password;  // UTF-8
  std::string confirm;   // new passwords only: the confirmation
};

struct FileLines {
  bool ok = false;
  std::string error;  // names the file by `option`, never by its path
  std::string first;  // without its line end; an empty file gives an empty line
  std::optional<std::string> second;  // when `lines` is 2 and the file has one
};

// The first `lines` (1 or 2) lines of a password file named by `option`. A
// regular file is read; a pipe, a FIFO or a terminal is read until the lines
// have come, its end, or `timeout`, whichever is first; anything else (a
// folder, /dev/zero, a socket) is refused without reading.
FileLines ReadFirstLines(const std::string& path, const std::string& option, int lines,
                         std::chrono::milliseconds timeout);

// The login password: --password-file, else KOLMARA_PASSWORD, else a prompt;
// none of them waits longer than options.timeout. A password that is not
// valid UTF-8 is an error, so two different ones never collapse into one.
SecretResult ReadLoginPassword(const Options& options, const EnvLookup& env, ITerminal& terminal);

// A new password and its confirmation: --new-password-file (first line; a
// second line, when present, is the confirmation), else
// KOLMARA_NEW_PASSWORD (its own confirmation), else a prompt asked twice.
SecretResult ReadNewPassword(const Options& options, const EnvLookup& env, ITerminal& terminal);

}  // namespace kolmara::cli
