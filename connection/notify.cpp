#include "connection/notify.h"

namespace kolmara {

void NotificationQueue::Post(Notification notification) {
  {
    std::lock_guard lock(m_mutex);
    m_items.push_back(std::move(notification));
  }
  m_cv.notify_all();
}

std::optional<Notification> NotificationQueue::Next(std::chrono::milliseconds timeout) {
  std::unique_lock lock(m_mutex);
  if (!m_cv.wait_for(lock, timeout, [&] { return !m_items.empty(); })) return std::nullopt;
  Notification n = std::move(m_items.front());
  m_items.pop_front();
  return n;
}

std::optional<Notification> NotificationQueue::WaitFor(int code, std::chrono::milliseconds timeout) {
  std::unique_lock lock(m_mutex);
  std::optional<Notification> found;
  m_cv.wait_for(lock, timeout, [&] {
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
