// Name lookup bounded in time and abandonable: the system's resolver knows
// neither, and a closed window or a --timeout must not wait for it.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "connection/global_data.h"
#include "connection/host_lookup.h"
#include "connection/my_socket.h"
#include "connection/notify.h"

namespace kolmara {
namespace {

using namespace std::chrono_literals;

std::optional<std::string> Slow(const std::string&) {
  std::this_thread::sleep_for(1500ms);
  return "10.0.0.1";
}

TEST(LookUpHost, SlowLookupIsLeftBehindAtTheBound) {
  const auto start = std::chrono::steady_clock::now();
  const LookupResult r = LookUpHost("slow.example", 200ms, nullptr, Slow);
  EXPECT_EQ(r.status, LookupStatus::kTimedOut);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

TEST(LookUpHost, AbandonEndsAnUnboundedWait) {
  std::atomic<bool> abandon{false};
  auto waiting = std::async(std::launch::async, [&] { return LookUpHost("slow.example", -1ms, &abandon, Slow); });
  ASSERT_EQ(waiting.wait_for(100ms), std::future_status::timeout);
  abandon = true;
  ASSERT_EQ(waiting.wait_for(500ms), std::future_status::ready);
  EXPECT_EQ(waiting.get().status, LookupStatus::kAbandoned);
}

TEST(LookUpHost, AnswersAndFailures) {
  const NameLookup table = [](const std::string& name) -> std::optional<std::string> {
    if (name == "box.example") return "10.0.0.7";
    return std::nullopt;
  };
  LookupResult r = LookUpHost("box.example", 2s, nullptr, table);
  EXPECT_EQ(r.status, LookupStatus::kOk);
  EXPECT_EQ(r.address, "10.0.0.7");
  EXPECT_EQ(LookUpHost("nobox.example", 2s, nullptr, table).status, LookupStatus::kFailed);
}

TEST(LookUpHost, SystemLookupKnowsLocalhost) {
  const LookupResult r = LookUpHost("localhost", 5s);
  ASSERT_EQ(r.status, LookupStatus::kOk);
  EXPECT_EQ(r.address, "127.0.0.1");
}

TEST(IsHostName, AnyAsciiLetterMakesItAName) {
  EXPECT_TRUE(IsHostName(QStringLiteral("box.kolmaraqx.net")));
  EXPECT_TRUE(IsHostName(QStringLiteral("10.0.0.x")));
  EXPECT_FALSE(IsHostName(QStringLiteral("10.0.0.5")));
  EXPECT_FALSE(IsHostName(QStringLiteral("1.2.3.4.5")));
  EXPECT_FALSE(IsHostName(QString::fromUtf8("장비.1")));  // letters, but not ASCII ones
}

// The connection's own lookup honours its time-out and AbortConnect.
class ConnectLookup : public ::testing::Test {
 protected:
  CGlobalData m_store;
  CMySocket m_socket{&m_store};
  NotificationQueue m_queue;
};

TEST_F(ConnectLookup, TimeoutCoversAHangingLookup) {
  m_socket.SetNameLookup(Slow);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(m_socket.Connect(&m_queue, QStringLiteral("slow.example"), 9502, 200ms), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  EXPECT_EQ(m_socket.LastConnectError(), ConnectError::kTimeout);
}

TEST_F(ConnectLookup, AbortEndsAHangingLookup) {
  m_socket.SetNameLookup(Slow);
  auto attempt = std::async(std::launch::async,
                            [&] { return m_socket.Connect(&m_queue, QStringLiteral("slow.example"), 9502); });
  ASSERT_EQ(attempt.wait_for(100ms), std::future_status::timeout);
  m_socket.AbortConnect();
  ASSERT_EQ(attempt.wait_for(500ms), std::future_status::ready);
  EXPECT_EQ(attempt.get(), 0);
  EXPECT_EQ(m_socket.LastConnectError(), ConnectError::kAborted);
}

TEST_F(ConnectLookup, FailedLookupIsAResolveError) {
  m_socket.SetNameLookup([](const std::string&) { return std::optional<std::string>(); });
  EXPECT_EQ(m_socket.Connect(&m_queue, QStringLiteral("nobox.example"), 9502, 2s), 0);
  EXPECT_EQ(m_socket.LastConnectError(), ConnectError::kResolve);
  EXPECT_EQ(m_queue.Next(20ms), std::nullopt);
}

}  // namespace
}  // namespace kolmara
