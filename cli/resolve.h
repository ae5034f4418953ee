#pragma once
// Name resolution bounded in time. The system resolver may take far longer
// than --timeout (several servers, several tries each), so the client looks
// the name up itself, on a thread it can leave behind, and connects to the
// address it got.
#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace kolmara::cli {

// Returns the first IPv4 address of `name` in dotted form, or nothing.
using Resolver = std::function<std::optional<std::string>(const std::string& name)>;
Resolver SystemResolver();

enum class ResolveStatus { kOk, kFailed, kTimedOut };

struct ResolveResult {
  ResolveStatus status = ResolveStatus::kFailed;
  std::string address;  // dotted IPv4 when kOk
};

// Runs `resolver` and waits at most `timeout` for it. A lookup still under
// way then keeps running on its own thread and is ignored.
ResolveResult ResolveWithin(const std::string& name, std::chrono::milliseconds timeout,
                            const Resolver& resolver = SystemResolver());

}  // namespace kolmara::cli
