#pragma once
// Looking a device name up without being held hostage by the system's
// resolver, which knows neither a deadline nor a way to be interrupted and
// may take tens of seconds when no DNS server answers.
#include <QString>
#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace kolmara {

// The connection's rule: a host text with an ASCII letter is a name to look
// up; anything else is read as a dotted address.
bool IsHostName(const QString& host);

// The first IPv4 address of `name`, dotted, or nothing.
using NameLookup = std::function<std::optional<std::string>(const std::string& name)>;
std::optional<std::string> SystemNameLookup(const std::string& name);

enum class LookupStatus { kOk, kFailed, kTimedOut, kAbandoned };

struct LookupResult {
  LookupStatus status = LookupStatus::kFailed;
  std::string address;  // dotted IPv4 when kOk
};

// Runs `lookup` on a thread that owns nothing but its own result and waits
// until it answers, `timeout` has passed (a negative timeout: no bound) or
// `abandon` becomes true. A lookup walked away from finishes on its own.
LookupResult LookUpHost(const std::string& name, std::chrono::milliseconds timeout,
                        const std::atomic<bool>* abandon = nullptr, const NameLookup& lookup = SystemNameLookup);

}  // namespace kolmara
