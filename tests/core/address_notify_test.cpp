// Device address parsing and the two notification targets.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <algorithm>
#include <memory>
#include <thread>

#include "connection/device_address.h"
#include "connection/qt_notify.h"
#include "test_support.h"

namespace kolmara {
namespace {

using namespace std::chrono_literals;

TEST(DeviceAddress, Table) {
  struct Case {
    const char* typed;
    bool ok;
    const char* host;
    int port;
  };
  const Case cases[] = {
      {"mybox", true, "mybox.kolmaraqx.net", 9502},
      {"10.0.0.5", true, "10.0.0.5", 9502},
      {"box.example.org", true, "box.example.org", 9502},
      {"", true, ".kolmaraqx.net", 9502},  // no dot: the suffix alone goes on to the connect
      {"mybox:9600", true, "mybox.kolmaraqx.net", 9600},
      {"127.0.0.1:1", true, "127.0.0.1", 1},
      {"127.0.0.1:65535", true, "127.0.0.1", 65535},
      {"127.0.0.1:65536", false, "", 0},
      {"127.0.0.1:0", false, "", 0},
      {"127.0.0.1:", false, "", 0},
      {"127.0.0.1:9x", false, "", 0},
      {"127.0.0.1:0009502", false, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    const DeviceAddress a = ParseDeviceAddress(QString::fromUtf8(c.typed));
    EXPECT_EQ(a.ok, c.ok);
    if (c.ok) {
      EXPECT_EQ(a.host, QString::fromUtf8(c.host));
      EXPECT_EQ(a.port, c.port);
    }
  }
}

TEST(NotificationQueue, WaitForKeepsWhatCameFirst) {
  NotificationQueue q;
  q.Post({kNotifyViewIdWritten, 101, std::nullopt});
  q.Post({kNotifyWolTable, 3, std::nullopt});
  q.Post({kNotifyWolWritten, 101, std::nullopt});
  const auto six = q.WaitFor(kNotifyWolTable, 10ms);
  ASSERT_TRUE(six.has_value());
  EXPECT_EQ(six->value, 3);
  EXPECT_THAT(test::CodesAndValues(q.Snapshot()), ::testing::ElementsAre(::testing::Pair(kNotifyViewIdWritten, 101), ::testing::Pair(kNotifyWolWritten, 101)));
  EXPECT_EQ(q.WaitFor(kNotifyWolTable, 10ms), std::nullopt);
  EXPECT_EQ(q.Next(0ms)->code, kNotifyViewIdWritten);
  q.Clear();
  EXPECT_EQ(q.Size(), 0u);
}

TEST(NotificationQueue, EmptyQueueWaitsTheWholeTimeout) {
  NotificationQueue q;
  for (const auto timeout : {0ms, 1ms, 30ms}) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(q.Next(timeout), std::nullopt);
    EXPECT_EQ(q.WaitFor(kNotifyViewIdTable, timeout), std::nullopt);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 2 * timeout - 1ms) << timeout.count();
    EXPECT_LT(took, 2 * timeout + 500ms) << timeout.count();
  }
}

TEST(NotificationQueue, WaitForWakesOnAPostFromAnotherThread) {
  NotificationQueue q;
  std::thread poster([&] {
    std::this_thread::sleep_for(20ms);
    q.Post({kNotifyLogin, 150, std::nullopt});
    q.Post({kNotifyConnectionEnded, 0, std::nullopt});
  });
  const auto end = q.WaitFor(kNotifyConnectionEnded, 5s);
  poster.join();
  ASSERT_TRUE(end.has_value());
  EXPECT_EQ(q.Size(), 1u);
}

std::shared_ptr<const TableBytes> Table(std::uint8_t fill, std::size_t length = kWolTableSize) {
  return std::make_shared<const TableBytes>(length, fill);
}

constexpr int kMax = static_cast<int>(kMaxWaitingTables);

std::vector<std::int32_t> ValuesOf(const std::vector<Notification>& items, int code) {
  std::vector<std::int32_t> out;
  for (const Notification& n : items)
    if (n.code == code) out.push_back(n.value);
  return out;
}

// 0, 1, ... kMax - 2, then `last`: what waits after 50 tables came unhandled.
std::vector<std::int32_t> WaitingValues(std::int32_t first, std::int32_t last) {
  std::vector<std::int32_t> out;
  for (int i = 0; i < kMax - 1; ++i) out.push_back(first + i);
  out.push_back(last);
  return out;
}

// What a device that streams tables leaves waiting: a few tables per code;
// beyond that the newest replaces the newest waiting.
TEST(NotificationQueue, TablesBeyondTheBoundReplaceTheNewestWaiting) {
  NotificationQueue q;
  std::vector<std::weak_ptr<const TableBytes>> posted;
  for (int i = 0; i < 50; ++i) {
    auto viewIds = Table(static_cast<std::uint8_t>(i), kViewIdWireMinimum);
    auto wol = Table(static_cast<std::uint8_t>(100 + i));
    posted.push_back(viewIds);
    posted.push_back(wol);
    q.Post({kNotifyViewIdTable, i, std::nullopt, std::move(viewIds)});
    q.Post({kNotifyViewIdWritten, 101});
    q.Post({kNotifyWolTable, 1000 + i, std::nullopt, std::move(wol)});
  }
  const auto alive = std::count_if(posted.begin(), posted.end(), [](const auto& w) { return !w.expired(); });
  EXPECT_EQ(alive, 2 * kMax) << "copies held by the queue";
  const std::vector<Notification> items = q.Snapshot();
  EXPECT_EQ(items.size(), std::size_t(50 + 2 * kMax)) << "the messages keep their number";
  EXPECT_EQ(ValuesOf(items, kNotifyViewIdTable), WaitingValues(0, 49));
  EXPECT_EQ(ValuesOf(items, kNotifyWolTable), WaitingValues(1000, 1049));
  for (const Notification& n : items) {
    if (n.table) {
      EXPECT_EQ(n.table->front(), static_cast<std::uint8_t>(n.value % 1000 + (n.value >= 1000 ? 100 : 0)));
    }
  }

  // Once one is taken, the next table queues anew.
  q.WaitFor(kNotifyViewIdTable, 0ms);
  q.Post({kNotifyViewIdTable, 77, std::nullopt, Table(7, 0)});
  EXPECT_EQ(q.Snapshot().back().value, 77);
}

class Receiver : public QObject {
 public:
  std::vector<Notification> got;
  bool event(QEvent* e) override {
    ReplyEvent* reply = AsReplyEvent(e);
    if (!reply) return QObject::event(e);
    got.push_back(reply->notification());
    return true;
  }
};

TEST(QtNotifyTarget, PostsAReplyEventHandledOnTheReceiversThread) {
  int argc = 1;
  char name[] = "core_address_notify_test";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  Receiver receiver;
  QtNotifyTarget target(&receiver);
  Block368 block{};
  block[12] = 'Q';
  // Posted from another thread, as the receive thread does.
  std::thread([&] {
    target.Post({kNotifyDeviceInfo, 0, block});
    target.Post({kNotifyConnectionEnded, 0, std::nullopt});
  }).join();
  EXPECT_TRUE(receiver.got.empty()) << "nothing is handled before the event loop runs";
  QCoreApplication::processEvents();
  ASSERT_EQ(receiver.got.size(), 2u);
  EXPECT_EQ(receiver.got[0].code, kNotifyDeviceInfo);
  ASSERT_TRUE(receiver.got[0].block.has_value());
  EXPECT_EQ((*receiver.got[0].block)[12], 'Q');
  EXPECT_EQ(receiver.got[1].code, kNotifyConnectionEnded);
}

class QtTarget : public ::testing::Test {
 protected:
  int m_argc = 1;
  char m_name[32] = "core_address_notify_test";
  char* m_argv[2] = {m_name, nullptr};
  QCoreApplication m_app{m_argc, m_argv};
};

// The window's queue is Qt's and cannot be searched: the target keeps the
// waiting tables aside, and each event takes its own when handled.
TEST_F(QtTarget, TablesBeyondTheBoundReplaceTheNewestWaiting) {
  Receiver receiver;
  QtNotifyTarget target(&receiver);
  std::vector<std::weak_ptr<const TableBytes>> posted;
  std::thread([&] {
    for (int i = 0; i < 50; ++i) {
      auto viewIds = Table(static_cast<std::uint8_t>(i), kViewIdStoreBytes);
      auto wol = Table(static_cast<std::uint8_t>(100 + i));
      posted.push_back(viewIds);
      posted.push_back(wol);
      target.Post({kNotifyViewIdTable, i, std::nullopt, std::move(viewIds)});
      target.Post({kNotifyWolTable, 1000 + i, std::nullopt, std::move(wol)});
    }
  }).join();
  const auto alive = std::count_if(posted.begin(), posted.end(), [](const auto& w) { return !w.expired(); });
  EXPECT_EQ(alive, 2 * kMax) << "copies waiting for the event loop";
  QCoreApplication::processEvents();
  ASSERT_EQ(receiver.got.size(), std::size_t(2 * kMax));
  EXPECT_EQ(ValuesOf(receiver.got, kNotifyViewIdTable), WaitingValues(0, 49));
  EXPECT_EQ(ValuesOf(receiver.got, kNotifyWolTable), WaitingValues(1000, 1049));
  for (const Notification& n : receiver.got) {
    ASSERT_TRUE(n.table);
    EXPECT_EQ(n.table->front(), static_cast<std::uint8_t>(n.value % 1000 + (n.value >= 1000 ? 100 : 0)));
  }
  EXPECT_EQ(receiver.got[2 * kMax - 2].table->size(), kViewIdStoreBytes);

  // Handled, the slots are free: the next table gets an event of its own.
  target.Post({kNotifyWolTable, 3, std::nullopt, Table(3)});
  QCoreApplication::processEvents();
  ASSERT_EQ(receiver.got.size(), std::size_t(2 * kMax + 1));
  EXPECT_EQ(receiver.got.back().value, 3);
}

// A receiver that drops the event without reading it must not leave the
// slot taken, or every later table would wait for an event that never comes.
TEST_F(QtTarget, AnEventDroppedUnreadFreesItsSlot) {
  struct Ignoring : QObject {
    int seen = 0;
    bool event(QEvent* e) override {
      if (!AsReplyEvent(e)) return QObject::event(e);
      ++seen;
      return true;
    }
  } ignoring;
  QtNotifyTarget target(&ignoring);
  target.Post({kNotifyViewIdTable, 1, std::nullopt, Table(1)});
  QCoreApplication::processEvents();
  target.Post({kNotifyViewIdTable, 2, std::nullopt, Table(2)});
  QCoreApplication::processEvents();
  EXPECT_EQ(ignoring.seen, 2);
}

}  // namespace
}  // namespace kolmara
