#include "connection/host_lookup.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "connection/net_platform.h"

namespace kolmara {

bool IsHostName(const QString& host) {
  for (QChar c : host) {
    const char16_t u = c.unicode();
    if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z')) return true;
  }
  return false;
}

std::optional<std::string> SystemNameLookup(const std::string& name) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  if (getaddrinfo(name.c_str(), nullptr, &hints, &result) != 0 || !result) return std::nullopt;
  char text[INET_ADDRSTRLEN] = {};
  const auto* in = reinterpret_cast<const sockaddr_in*>(result->ai_addr);
  const bool ok = inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) != nullptr;
  freeaddrinfo(result);
  if (!ok) return std::nullopt;
  return std::string(text);
}

LookupResult LookUpHost(const std::string& name, std::chrono::milliseconds timeout, const std::atomic<bool>* abandon,
                        const NameLookup& lookup) {
  // Shared with the lookup thread, which may outlive this call.
  struct Shared {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::optional<std::string> address;
  };
  auto shared = std::make_shared<Shared>();
  std::thread([shared, name, lookup] {
    std::optional<std::string> address = lookup(name);
    std::lock_guard lock(shared->mutex);
    shared->address = std::move(address);
    shared->finished = true;
    shared->done.notify_all();
  }).detach();

  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::unique_lock lock(shared->mutex);
  while (!shared->finished) {
    if (abandon && abandon->load()) return {LookupStatus::kAbandoned, {}};
    // Short slices, so that an abandon is seen within a few milliseconds.
    auto slice = std::chrono::steady_clock::now() + std::chrono::milliseconds(20);
    if (timeout.count() >= 0) {
      if (std::chrono::steady_clock::now() >= deadline) return {LookupStatus::kTimedOut, {}};
      slice = std::min(slice, deadline);
    }
    shared->done.wait_until(lock, slice);
  }
  if (!shared->address) return {LookupStatus::kFailed, {}};
  return {LookupStatus::kOk, *shared->address};
}

}  // namespace kolmara
