#include "cli/resolve.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "connection/net_platform.h"

namespace kolmara::cli {

Resolver SystemResolver() {
  return [](const std::string& name) -> std::optional<std::string> {
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
  };
}

ResolveResult ResolveWithin(const std::string& name, std::chrono::milliseconds timeout, const Resolver& resolver) {
  // Shared with the lookup thread, which may outlive this call.
  struct Shared {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::optional<std::string> address;
  };
  auto shared = std::make_shared<Shared>();
  std::thread([shared, name, resolver] {
    std::optional<std::string> address = resolver(name);
    std::lock_guard lock(shared->mutex);
    shared->address = std::move(address);
    shared->finished = true;
    shared->done.notify_all();
  }).detach();

  std::unique_lock lock(shared->mutex);
  if (!shared->done.wait_for(lock, timeout, [&] { return shared->finished; })) return {ResolveStatus::kTimedOut, {}};
  if (!shared->address) return {ResolveStatus::kFailed, {}};
  return {ResolveStatus::kOk, *shared->address};
}

}  // namespace kolmara::cli
