// Device address parsing and the two notification targets.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
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
  q.Post({5, 101, std::nullopt});
  q.Post({6, 3, std::nullopt});
  q.Post({7, 101, std::nullopt});
  const auto six = q.WaitFor(6, 10ms);
  ASSERT_TRUE(six.has_value());
  EXPECT_EQ(six->value, 3);
  EXPECT_THAT(test::CodesAndValues(q.Snapshot()), ::testing::ElementsAre(::testing::Pair(5, 101), ::testing::Pair(7, 101)));
  EXPECT_EQ(q.WaitFor(6, 10ms), std::nullopt);
  EXPECT_EQ(q.Next(0ms)->code, 5);
  q.Clear();
  EXPECT_EQ(q.Size(), 0u);
}

TEST(NotificationQueue, EmptyQueueWaitsTheWholeTimeout) {
  NotificationQueue q;
  for (const auto timeout : {0ms, 1ms, 30ms}) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(q.Next(timeout), std::nullopt);
    EXPECT_EQ(q.WaitFor(4, timeout), std::nullopt);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 2 * timeout - 1ms) << timeout.count();
    EXPECT_LT(took, 2 * timeout + 500ms) << timeout.count();
  }
}

TEST(NotificationQueue, WaitForWakesOnAPostFromAnotherThread) {
  NotificationQueue q;
  std::thread poster([&] {
    std::this_thread::sleep_for(20ms);
    q.Post({1, 150, std::nullopt});
    q.Post({255, 0, std::nullopt});
  });
  const auto end = q.WaitFor(255, 5s);
  poster.join();
  ASSERT_TRUE(end.has_value());
  EXPECT_EQ(q.Size(), 1u);
}

class Receiver : public QObject {
 public:
  std::vector<Notification> got;
  bool event(QEvent* e) override {
    if (e->type() != static_cast<QEvent::Type>(kReplyEventType)) return QObject::event(e);
    got.push_back(static_cast<ReplyEvent*>(e)->notification());
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
    target.Post({2, 0, block});
    target.Post({255, 0, std::nullopt});
  }).join();
  EXPECT_TRUE(receiver.got.empty()) << "nothing is handled before the event loop runs";
  QCoreApplication::processEvents();
  ASSERT_EQ(receiver.got.size(), 2u);
  EXPECT_EQ(receiver.got[0].code, 2);
  ASSERT_TRUE(receiver.got[0].block.has_value());
  EXPECT_EQ((*receiver.got[0].block)[12], 'Q');
  EXPECT_EQ(receiver.got[1].code, 255);
}

}  // namespace
}  // namespace kolmara
