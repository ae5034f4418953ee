#pragma once
// Where passwords come from. They never come from the command line: a file
// named there, the environment, or a prompt without echo on a terminal.
#include <optional>
#include <string>

#include "cli/options.h"

namespace kolmara::cli {

// The terminal seam: the real one reads stdin with echo off; tests inject
// their own answers.
class ITerminal {
 public:
  virtual ~ITerminal() = default;
  virtual bool IsInteractive() = 0;
  // Shows `prompt` and reads one line without echoing it; nothing at end of input.
  virtual std::optional<std::string> ReadHidden(const std::string& prompt) = 0;
};

// stdin with the terminal's echo switched off while reading, the prompt on
// stderr so that stdout stays clean for --json.
class ConsoleTerminal : public ITerminal {
 public:
  bool IsInteractive() override;
  std::optional<std::string> ReadHidden(const std::string& prompt) override;
};

struct SecretResult {
  bool ok = false;
  std::string error;     // a usage error when no source gave a password
  std::string password;  // UTF-8
  std::string confirm;   // new passwords only: the confirmation
};

// The first line of a file, without its line end; an empty file gives an
// empty line. Nothing when the file cannot be read.
std::optional<std::string> ReadFirstLines(const std::string& path, int lines, std::string* second = nullptr);

// The login password: --password-file, else KOLMARA_PASSWORD, else a prompt.
SecretResult ReadLoginPassword(const Options& options, const EnvLookup& env, ITerminal& terminal);

// A new password and its confirmation: --new-password-file (first line; a
// second line, when present, is the confirmation), else
// KOLMARA_NEW_PASSWORD (its own confirmation), else a prompt asked twice.
SecretResult ReadNewPassword(const Options& options, const EnvLookup& env, ITerminal& terminal);

}  // namespace kolmara::cli
