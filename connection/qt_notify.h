#pragma once
// The Qt form of the notification target: posts a ReplyEvent (type 11155) to
// a QObject, which handles it on its own thread. QtCore only.
#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include "connection/notify.h"

namespace kolmara {

inline constexpr int kReplyEventType = 11155;

class ReplyEvent : public QEvent {
 public:
  explicit ReplyEvent(Notification n) : QEvent(static_cast<QEvent::Type>(kReplyEventType)), m_n(std::move(n)) {}
  const Notification& notification() const { return m_n; }
  int code() const { return m_n.code; }
  std::int32_t value() const { return m_n.value; }

 private:
  Notification m_n;
};

// The receiver must outlive this target; the connection guarantees that no
// Post is running once SetNotifyWindow has replaced the target.
class QtNotifyTarget : public INotifyTarget {
 public:
  explicit QtNotifyTarget(QObject* receiver) : m_receiver(receiver) {}
  void Post(Notification n) override {
    QCoreApplication::postEvent(m_receiver, new ReplyEvent(std::move(n)));
  }
  QObject* receiver() const { return m_receiver; }

 private:
  QObject* m_receiver;
};

}  // namespace kolmara
