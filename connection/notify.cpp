#include "connection/notify.h"

#include <algorithm>
#include <thread>

namespace kolmara {

namespace {
// A reply usually follows its request within a few tens of microseconds.
// A waiter that goes to sleep at once must then be woken on another
// processor, which costs as much again (far more on a virtual machine); one
// that yields for a moment first lets the receive thread run and post, and
// usually never sleeps. Bounded, so a long wait costs no more than this.
constexpr std::chrono::microseconds kYieldBeforeSleep{100};
}  // namespace

template <class Ready>
bool NotificationQueue::WaitUntil(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds timeout,
                                  Ready ready) {
  if (ready()) return true;
  const auto start = std::chrono::steady_clock::now();
  const auto yieldEnd = start + std::min<std::chrono::microseconds>(timeout, kYieldBeforeSleep);
  std::uint64_t seen = m_nPosted.load(std::memory_order_acquire);
  lock.unlock();
  while (std::chrono::steady_clock::now() < yieldEnd) {
    std::this_thread::yield();
    const std::uint64_t posted = m_nPosted.load(std::memory_order_acquire);
    if (posted == seen) continue;
    seen = posted;
    lock.lock();
    if (ready()) return true;
    lock.unlock();
  }
  lock.lock();
  const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  return m_cv.wait_for(lock, timeout > spent ? timeout - spent : std::chrono::milliseconds(0), ready);
}

void NotificationQueue::Post(Notification notification) {
  {
    std::lock_guard lock(m_mutex);
    Notification* newest = nullptr;
    std::size_t waiting = 0;
    if (notification.table) {
      for (Notification& item : m_items) {
        if (!item.table || item.code != notification.code) continue;
        ++waiting;
        newest = &item;
      }
    }
    if (waiting >= kMaxWaitingTables) {
      newest->value = notification.value;
      newest->table = std::move(notification.table);
    } else {
      m_items.push_back(std::move(notification));
    }
    m_nPosted.fetch_add(1, std::memory_order_release);
  }
  m_cv.notify_all();
}

std::optional<Notification> NotificationQueue::Next(std::chrono::milliseconds timeout) {
  std::unique_lock lock(m_mutex);
  if (!WaitUntil(lock, timeout, [&] { return !m_items.empty(); })) return std::nullopt;
  Notification n = std::move(m_items.front());
  m_items.pop_front();
  return n;
}

std::optional<Notification> NotificationQueue::WaitFor(int code, std::chrono::milliseconds timeout) {
  std::unique_lock lock(m_mutex);
  std::optional<Notification> found;
  WaitUntil(lock, timeout, [&] {
    for (auto it = m_items.begin(); it != m_items.end(); ++it) {
      if (it->code == code) {
        found = std::move(*it);
        m_items.erase(it);
        return true;
      }
    }
    return false;
  });
  return found;
}

std::vector<Notification> NotificationQueue::Snapshot() const {
  std::lock_guard lock(m_mutex);
  return {m_items.begin(), m_items.end()};
}

std::size_t NotificationQueue::Size() const {
  std::lock_guard lock(m_mutex);
  return m_items.size();
}

void NotificationQueue::Clear() {
  std::lock_guard lock(m_mutex);
  m_items.clear();
}

}  // namespace kolmara
