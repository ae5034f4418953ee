#pragma once
// Reply notifications: what the receive thread tells the window that owns the
// connection. The receive thread never touches a window; it hands one of
// these to a target, which queues it for its own thread.
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "protocol/catalogue.h"

namespace kolmara {

using Block368 = std::array<std::uint8_t, kBlockSize>;

// A table that came with a reply, unscrambled, in its wire layout: for
// notification 4 the view-ID records the store can hold (none for a count of
// 0 or less, else 101 to 512 slots), for notification 6 all 101 Wake-on-LAN
// entries. Never changed once posted, so copies of a notification share it.
using TableBytes = std::vector<std::uint8_t>;

struct Notification {
  Notification() = default;
  Notification(int code_, std::int32_t value_, std::optional<Block368> block_ = std::nullopt,
               std::shared_ptr<const TableBytes> table_ = nullptr)
      : code(code_), value(value_), block(std::move(block_)), table(std::move(table_)) {}

  int code = 0;
  std::int32_t value = 0;
  // Notification codes 2 and 8 own a copy of the decoded block, so the
  // receive thread may decode the next one while this is still queued.
  std::optional<Block368> block;
  // Notification codes 4 and 6 own their table in the same way; the count
  // is `value`. The thread that handles the notification puts it into the
  // store, so the receive thread never writes a table someone is reading.
  std::shared_ptr<const TableBytes> table;
};

// A device may send tables faster than they are handled (a 600-record
// view-ID reply is 233 KB). A target keeps at most this many tables of each
// code waiting; a newer one replaces the table and count of the newest one
// waiting, which then stands for both replies. Nothing that would stay in
// the store is lost: the replaced table would have been overwritten by the
// newer one as soon as it was handled. Eight view-ID tables of 512 records
// are 1.6 MB.
inline constexpr std::size_t kMaxWaitingTables = 8;

class INotifyTarget {
 public:
  virtual ~INotifyTarget() = default;
  // Called on the receive thread. Must not block for long and must not call
  // back into the connection.
  virtual void Post(Notification notification) = 0;
};

// A target that keeps notifications in order and lets another thread wait
// for them: the command-line client and the tests use it.
class NotificationQueue : public INotifyTarget {
 public:
  void Post(Notification notification) override;

  // Next notification, or nothing after `timeout`.
  std::optional<Notification> Next(std::chrono::milliseconds timeout);
  // Next notification with this code; others that arrive first are kept.
  std::optional<Notification> WaitFor(int code, std::chrono::milliseconds timeout);
  // Everything received so far, in order, without removing it.
  std::vector<Notification> Snapshot() const;
  std::size_t Size() const;
  void Clear();

 private:
  // Waits until `ready` (called with the lock held) holds or `timeout` has
  // passed; watches the post counter for a moment before it sleeps.
  template <class Ready>
  bool WaitUntil(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds timeout, Ready ready);

  mutable std::mutex m_mutex;
  std::condition_variable m_cv;
  std::deque<Notification> m_items;
  std::atomic<std::uint64_t> m_nPosted{0};  // bumped by every Post
};

}  // namespace kolmara
