// Bad input from a peer: the device survives and its state stays as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "connection/records.h"

#include "tests/device/device_fixture.h"

namespace kolmara::device::testing {
namespace {

class Robustness : public DeviceFixture {
 protected:
  void SetUp() override {
    DeviceFixture::SetUp();
    DeviceState s = m_device->State();
    s.viewIdCount = 2;
    s.viewIdTable.assign(kViewIdStoreBytes, 0x11);
    s.wolCount = 4;
    s.wolTable.assign(kWolTableSize, 0x22);
    m_device->SetState(s);
    m_before = m_device->State();
  }

  void ExpectStateUnchanged() {
    const DeviceState now = m_device->State();
    EXPECT_EQ(now.adminId, m_before.adminId);
    EXPECT_EQ(now.adminPassword, m_before.adminPassword);
    EXPECT_EQ(now.viewIdCount, m_before.viewIdCount);
    EXPECT_TRUE(now.viewIdTable == m_before.viewIdTable);
    EXPECT_EQ(now.wolCount, m_before.wolCount);
    EXPECT_TRUE(now.wolTable == m_before.wolTable);
    EXPECT_EQ(now.network.bytes, m_before.network.bytes);
    EXPECT_EQ(now.ntpServer, m_before.ntpServer);
  }

  // The device still serves a fresh client.
  void ExpectStillServing() {
    RawClient c(m_device->Port());
    ASSERT_TRUE(c.connected());
    EXPECT_TRUE(c.Login());
  }

  DeviceState m_before;
};

TEST_F(Robustness, UnknownCodesAreConsumedAsBareHeaders) {
  RawClient c(m_device->Port());
  ASSERT_TRUE(c.Login());
  for (std::uint8_t code : {0, 14, 25, 42, 255}) ASSERT_TRUE(c.SendHeader(code, 368));
  ASSERT_TRUE(c.SendHeader(24, 0));
  const auto h = c.ReadHeader();
  ASSERT_TRUE(h.has_value());
  EXPECT_EQ(h->code, 24);  // nothing was answered before it, nothing read as a body
  ExpectStateUnchanged();
}

// The dispatcher reads each body by the catalogue; a request without a
// handler would be taken for a bare header and its body read as headers.
TEST(RequestHandlers, EveryRequestOfTheCatalogueHasOneAndNothingElseDoes) {
  for (const RequestRule& rule : RequestTable())
    EXPECT_TRUE(SimDevice::HandlesRequest(rule.code)) << rule.operation;
  for (std::uint8_t code : {0, 14, 18, 21, 23, 25, 42, 255}) EXPECT_FALSE(SimDevice::HandlesRequest(code)) << int(code);
}

TEST_F(Robustness, UnknownCodeBeforeLoginClosesTheConnection) {
  RawClient c(m_device->Port());
  ASSERT_TRUE(c.SendHeader(42, 0));
  EXPECT_TRUE(c.ClosedByPeer());
  ExpectStillServing();
}

TEST_F(Robustness, TextsWithoutNulAreReadWithinTheirFieldAndRefused) {
  RawClient c(m_device->Port());
  // Login body whose ID field holds "admin" followed by 35 more bytes, no NUL.
  std::vector<std::uint8_t> body(kTextBodySize, 'x');
  std::memcpy(&body[4], "admin", 5);
  std::memcpy(&body[44], "admin", 6);
  ASSERT_TRUE(c.SendHeader(1, 124));
  ASSERT_TRUE(c.SendScrambled(body));
  auto h = c.ReadHeader();
  ASSERT_TRUE(h.has_value());
  EXPECT_EQ(h->value, 0);

  ASSERT_TRUE(c.Login());
  for (std::uint8_t code : {3, 26}) {  // administrator change, NTP server
    ASSERT_TRUE(c.SendHeader(code, 124));
    ASSERT_TRUE(c.SendScrambled(std::vector<std::uint8_t>(kTextBodySize, 'y')));
    h = c.ReadHeader();
    ASSERT_TRUE(h.has_value());
    EXPECT_EQ(h->code, code);
    EXPECT_EQ(h->value, 0) << int(code);
  }
  ExpectStateUnchanged();
}

TEST_F(Robustness, RawUploadWithABadLengthClosesThatConnection) {
  const std::int32_t tooLong = static_cast<std::int32_t>(kMaxRawUpload + 1);
  for (std::uint8_t code : {20, 41}) {
    for (std::int32_t length : {-1, INT32_MIN, tooLong, INT32_MAX}) {
      RawClient c(m_device->Port());
      ASSERT_TRUE(c.Login());
      ASSERT_TRUE(c.SendHeader(code, length));
      EXPECT_TRUE(c.ClosedByPeer()) << int(code) << " " << length;
    }
  }
  EXPECT_EQ(m_device->UploadedBytes(), 0u);
  ExpectStillServing();
}

TEST_F(Robustness, ViewIdCountBeyondTheStoreClosesTheConnection) {
  RawClient c(m_device->Port());
  ASSERT_TRUE(c.Login());
  ASSERT_TRUE(c.SendHeader(5, 513));
  EXPECT_TRUE(c.ClosedByPeer());
  ExpectStateUnchanged();
}

// Each request starts its body and the client goes away in the middle of it.
TEST_F(Robustness, DisconnectMidBodyLeavesTheStateUnchanged) {
  struct Case {
    std::uint8_t code;
    std::int32_t value;
    std::size_t sent;  // body bytes sent before going away
  };
  const Case cases[] = {
      {1, 124, 60},           // login
      {3, 124, 123},          // administrator change, one byte short
      {5, 3, 20000},          // view-ID table
      {5, 300, 300 * 388 - 1},
      {7, 9, 12523},          // Wake-on-LAN table
      {9, 0, 200},            // network settings
      {12, 124, 367},         // DDNS registration
      {26, 124, 10},          // NTP server
      {41, 4096, 4095},       // firmware image
  };
  for (const Case& k : cases) {
    {
      RawClient c(m_device->Port());
      ASSERT_TRUE(c.Login());
      ASSERT_TRUE(c.SendHeader(k.code, k.value));
      ASSERT_TRUE(c.SendBytes(std::vector<std::uint8_t>(k.sent, 0x5A)));
    }
    EXPECT_TRUE(Eventually([&] { return m_device->ClientCount() == 0; })) << int(k.code);
    ExpectStateUnchanged();
  }
  EXPECT_EQ(m_device->UploadedBytes(), 0u);
  ExpectStillServing();
}

TEST_F(Robustness, StopEndsClientsThatAreMidRequest) {
  RawClient reading(m_device->Port());
  ASSERT_TRUE(reading.Login());
  ASSERT_TRUE(reading.SendHeader(20, 1000000));  // the device now waits for a megabyte
  RawClient idle(m_device->Port());
  ASSERT_TRUE(Eventually([&] { return m_device->ClientCount() == 2; }));
  m_device->Stop();
  EXPECT_TRUE(reading.ClosedByPeer());
  EXPECT_TRUE(idle.ClosedByPeer());
  EXPECT_EQ(m_device->ClientCount(), 0u);
}

TEST_F(Robustness, StopDoesNotWaitForPendingUpdateStages) {
  SimConfig c;
  c.updateStepMs = 60000;
  StartDevice(c);
  ASSERT_EQ(Login(), 110);
  ASSERT_TRUE(Socket().StartOnlineUpdate());
  EXPECT_EQ(Expect(12).value, 0);
  const auto start = std::chrono::steady_clock::now();
  m_device->Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  EXPECT_TRUE(m_queue.WaitFor(kNotifyConnectionEnded, kWait).has_value());
}

// Writers and readers at once: a table read back is always one that some
// client wrote whole, never a mixture of two.
TEST_F(Robustness, ConcurrentWritersNeverProduceAMixedTable) {
  constexpr int kClients = 4, kRounds = 15;
  std::vector<std::thread> threads;
  std::atomic<int> torn{0}, failures{0};
  for (int id = 0; id < kClients; ++id) {
    threads.emplace_back([&, id] {
      CGlobalData store;
      NotificationQueue queue;
      CMySocket socket(&store);
      if (socket.Connect(&queue, "127.0.0.1", m_device->Port(), 5000ms) != 1 || !socket.SendLogin("admin", "admin") ||
          !queue.WaitFor(1, kWait)) {
        ++failures;
        return;
      }
      for (int round = 0; round < kRounds; ++round) {
        store.m_WolTable.fill(static_cast<std::uint8_t>(id + 1));
        store.m_nWolCount = id + 1;
        if (!socket.SendWolTable(store.m_nWolCount, store.m_WolTable.data()) || !queue.WaitFor(7, kWait)) ++failures;
        if (!socket.RequestWolTable()) ++failures;
        if (const auto table = queue.WaitFor(6, kWait))
          ApplyNotificationToStore(*table, store);
        else
          ++failures;
        const std::uint8_t first = store.m_WolTable[0];
        const bool whole = std::all_of(store.m_WolTable.begin(), store.m_WolTable.end(),
                                       [&](std::uint8_t b) { return b == first; });
        if (!whole || store.m_nWolCount != first) ++torn;
      }
      socket.Disconnect();
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(torn.load(), 0);
}

// Several sessions register at once: the check and the change are one step
// under the state lock, so exactly one of them is told that it registered.
TEST_F(Robustness, ConcurrentRegistrationsSucceedExactlyOnce) {
  constexpr int kClients = 6, kRounds = 40;
  std::vector<std::unique_ptr<RawClient>> clients;
  for (int i = 0; i < kClients; ++i) {
    clients.push_back(std::make_unique<RawClient>(m_device->Port()));
    ASSERT_TRUE(clients.back()->Login());
  }
  const RegistrationFormResult form = BuildRegistrationForm("00:1A:2B:3C:4D:5E", "Kolmara", "qxrace", "a@b.kr");
  ASSERT_TRUE(form.ok());
  // Header and body in one send, so no session waits on a delayed ACK and
  // the requests really arrive together.
  auto request = [](std::uint8_t code, std::vector<std::uint8_t> body) {
    const WireHeader h = EncodeHeader(code, 124);
    ScrambleBytes(body.data(), body.data(), body.size());
    body.insert(body.begin(), h.begin(), h.end());
    return body;
  };
  const TextBodyResult mac = BuildTextBody("00:1A:2B:3C:4D:5E");
  for (const std::uint8_t code : {CMD_REGISTER_MAC, CMD_REGISTER_DDNS}) {
    const std::vector<std::uint8_t> bytes =
        code == CMD_REGISTER_MAC ? request(code, {mac.body.begin(), mac.body.end()})
                                 : request(code, {form.block.bytes.begin(), form.block.bytes.end()});
    for (int round = 0; round < kRounds; ++round) {
      DeviceState s = m_device->State();
      s.macRegistered = s.ddnsRegistered = false;
      m_device->SetState(s);
      std::atomic<int> ready{0}, registered{0}, already{0};
      std::vector<std::thread> threads;
      for (auto& c : clients) {
        threads.emplace_back([&, raw = c.get()] {
          ++ready;
          while (ready.load() < kClients) std::this_thread::yield();
          const auto h = raw->SendBytes(bytes) ? raw->ReadHeader() : std::nullopt;
          if (h && h->value == 101) ++registered;
          if (h && (h->value == 401 || h->value == 402)) ++already;
        });
      }
      for (auto& t : threads) t.join();
      ASSERT_EQ(registered.load(), 1) << "code " << int(code) << ", round " << round;
      ASSERT_EQ(already.load(), kClients - 1) << "code " << int(code) << ", round " << round;
    }
  }
}

}  // namespace
}  // namespace kolmara::device::testing
