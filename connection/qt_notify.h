#pragma once
// The Qt form of the notification target: posts a ReplyEvent (type 11155) to
// a QObject, which handles it on its own thread. QtCore only.
#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "connection/notify.h"

#if defined(__SANITIZE_THREAD__)
#define KOLMARA_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KOLMARA_TSAN 1
#endif
#endif
#ifdef KOLMARA_TSAN
#include <sanitizer/tsan_interface.h>
#endif

namespace kolmara {

inline constexpr int kReplyEventType = 11155;

// Qt hands a posted event to the receiver's thread under a lock TSan cannot
// see unless Qt itself is built with it, so under TSan every posted reply
// would look shared without a lock. These two say what that lock does: all
// written before the post is visible to whoever handles the event.
namespace detail {
inline char g_replyHandOver;
inline void ReplyPosted() {
#ifdef KOLMARA_TSAN
  __tsan_release(&g_replyHandOver);
#endif
}
inline void ReplyReceived() {
#ifdef KOLMARA_TSAN
  __tsan_acquire(&g_replyHandOver);
#endif
}
}  // namespace detail

// The tables of the reply events that are posted and not yet handled, in
// order, per notification code. Qt's event queue cannot be searched, so an
// event fetches its table from here when it is handled (the oldest of its
// code, as events of a code are handled in order), and a table beyond
// kMaxWaitingTables takes the place of the newest one waiting.
class WaitingTables {
 public:
  // Receive thread. Takes the table out of `n` (which must have one); true
  // when the caller must post an event for it, false when it replaced the
  // table of an event already posted.
  bool Keep(Notification& n) {
    std::lock_guard lock(m_mutex);
    std::deque<Pending>& waiting = Of(n.code);
    Pending p{n.value, std::move(n.table)};
    if (waiting.size() >= kMaxWaitingTables) {
      waiting.back() = std::move(p);
      return false;
    }
    waiting.push_back(std::move(p));
    return true;
  }
  // Handling thread: the oldest waiting table of `n`'s code and its count go
  // into `n`. Every posted event calls this once, handled or dropped.
  void Collect(Notification& n) {
    std::lock_guard lock(m_mutex);
    std::deque<Pending>& waiting = Of(n.code);
    if (waiting.empty()) return;
    n.value = waiting.front().value;
    n.table = std::move(waiting.front().table);
    waiting.pop_front();
  }

 private:
  struct Pending {
    std::int32_t value;
    std::shared_ptr<const TableBytes> table;
  };
  std::deque<Pending>& Of(int code) {
    for (auto& [c, waiting] : m_codes)
      if (c == code) return waiting;
    return m_codes.emplace_back(code, std::deque<Pending>{}).second;
  }

  std::mutex m_mutex;
  std::vector<std::pair<int, std::deque<Pending>>> m_codes;  // two codes carry tables
};

class ReplyEvent : public QEvent {
 public:
  explicit ReplyEvent(Notification n, std::shared_ptr<WaitingTables> tables = nullptr)
      : QEvent(static_cast<QEvent::Type>(kReplyEventType)), m_n(std::move(n)), m_tables(std::move(tables)) {}
  // An event dropped unhandled (its receiver went) frees its table's slot.
  ~ReplyEvent() override { Collected(); }

  // Fetches the table on first use, which may be newer than when posted.
  const Notification& notification() {
    Collected();
    return m_n;
  }
  int code() const { return m_n.code; }
  std::int32_t value() const { return m_n.value; }

 private:
  void Collected() {
    if (!m_tables) return;
    m_tables->Collect(m_n);
    m_tables.reset();
  }

  Notification m_n;
  std::shared_ptr<WaitingTables> m_tables;
};

// The reply event in `e`, or nullptr. Receivers look at an event through
// this before anything else, so that a sanitizer sees the hand-over.
inline ReplyEvent* AsReplyEvent(QEvent* e) {
  detail::ReplyReceived();
  return e->type() == static_cast<QEvent::Type>(kReplyEventType) ? static_cast<ReplyEvent*>(e) : nullptr;
}

// The receiver must outlive this target; the connection guarantees that no
// Post is running once SetNotifyWindow has replaced the target.
class QtNotifyTarget : public INotifyTarget {
 public:
  explicit QtNotifyTarget(QObject* receiver) : m_receiver(receiver) {}
  void Post(Notification n) override {
    ReplyEvent* event = nullptr;
    if (!n.table)
      event = new ReplyEvent(std::move(n));
    else if (m_tables->Keep(n))
      event = new ReplyEvent(std::move(n), m_tables);
    if (!event) return;  // its table went to an event already posted
    detail::ReplyPosted();
    QCoreApplication::postEvent(m_receiver, event);
  }
  QObject* receiver() const { return m_receiver; }

 private:
  QObject* m_receiver;
  std::shared_ptr<WaitingTables> m_tables = std::make_shared<WaitingTables>();
};

}  // namespace kolmara
