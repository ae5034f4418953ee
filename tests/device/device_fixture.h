#pragma once
// A device on loopback and the tool's own connection to it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "connection/net_platform.h"
#include "protocol/frame.h"
#include "protocol/scrambler.h"

#include "connection/global_data.h"
#include "connection/my_socket.h"
#include "connection/notify.h"
#include "device/sim_device.h"
#include "pages/reply_messages_logic.h"

namespace kolmara::device::testing {

using namespace std::chrono_literals;

inline constexpr auto kWait = 5s;

// A bare client for what the tool never sends: half frames, bad lengths,
// requests before login. Every wait is bounded.
class RawClient {
 public:
  explicit RawClient(std::uint16_t port) {
    m_socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    m_connected = ::connect(m_socket, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  }
  ~RawClient() { net::Close(m_socket); }
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  bool connected() const { return m_connected; }

  bool SendBytes(const std::vector<std::uint8_t>& bytes) {
    return CMySocket::SendAll(m_socket, bytes.data(), bytes.size()) == 1;
  }
  bool SendHeader(std::uint8_t code, std::int32_t value) {
    const WireHeader h = EncodeHeader(code, value);
    return SendBytes({h.begin(), h.end()});
  }
  bool SendScrambled(std::vector<std::uint8_t> plain) {
    ScrambleBytes(plain.data(), plain.data(), plain.size());
    return SendBytes(plain);
  }
  bool SendText(std::uint8_t code, const std::string& first, const std::string& second) {
    const TextBodyResult r = BuildTextBody(first, second);
    return SendHeader(code, 124) && SendScrambled({r.body.begin(), r.body.end()});
  }
  bool Login(const std::string& id = "admin", const std::string& password = "admin") {
    if (!SendText(1, id, password)) return false;
    const auto h = ReadHeader();
    return h && h->code == 1 && h->value > 100;
  }

  // Exactly `n` bytes within the wait, or nothing.
  std::optional<std::vector<std::uint8_t>> Read(std::size_t n, std::chrono::milliseconds wait = kWait) {
    std::vector<std::uint8_t> out(n);
    std::size_t done = 0;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (done < n) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      pollfd p{m_socket, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return std::nullopt;
      const long r = net::RecvSome(m_socket, out.data() + done, n - done);
      if (r <= 0) return std::nullopt;
      done += static_cast<std::size_t>(r);
    }
    return out;
  }
  std::optional<FrameHeader> ReadHeader(std::chrono::milliseconds wait = kWait) {
    auto bytes = Read(kHeaderSize, wait);
    if (!bytes) return std::nullopt;
    return DecodeHeader(bytes->data());
  }

  // True when the device closed the connection within the wait (any bytes
  // still arriving before the end are skipped).
  bool ClosedByPeer(std::chrono::milliseconds wait = kWait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    std::uint8_t sink[4096];
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      pollfd p{m_socket, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
      if (net::RecvSome(m_socket, sink, sizeof sink) <= 0) return true;
    }
  }

 private:
  net::Socket m_socket = net::kInvalidSocket;
  bool m_connected = false;
};

// Polls a condition for up to `wait`.
template <typename F>
bool Eventually(F condition, std::chrono::milliseconds wait = kWait) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

class DeviceFixture : public ::testing::Test {
 protected:
  void SetUp() override { StartDevice(SimConfig{}); }
  void TearDown() override {
    if (m_socket) m_socket->Disconnect();
    if (m_device) m_device->Stop();
  }

  void StartDevice(SimConfig config) {
    if (m_device) m_device->Stop();
    m_device = std::make_unique<SimDevice>(std::move(config));
    std::string error;
    ASSERT_TRUE(m_device->Start(&error)) << error;
  }

  CMySocket& Socket() {
    if (!m_socket) m_socket = std::make_unique<CMySocket>(&m_store);
    return *m_socket;
  }

  void Connect() {
    ASSERT_EQ(Socket().Connect(&m_queue, "127.0.0.1", m_device->Port(), 5000ms), 1);
  }

  // Connects and logs in with the given credentials; returns the login value.
  std::int32_t Login(const std::string& id = "admin", const std::string& password = "admin") {
    if (!Socket().IsConnected()) {
      m_queue.Clear();
      if (Socket().Connect(&m_queue, "127.0.0.1", m_device->Port(), 5000ms) != 1) return -1;
    }
    if (!Socket().SendLogin(id, password)) return -1;
    const auto n = m_queue.WaitFor(1, kWait);
    return n ? n->value : -1;
  }

  // The notification, applied to the store as the tool's window applies it.
  Notification Expect(int code) {
    auto n = m_queue.WaitFor(code, kWait);
    EXPECT_TRUE(n.has_value()) << "no notification " << code;
    if (n) ApplyNotificationToStore(*n, m_store);
    return n.value_or(Notification{});
  }

  CGlobalData m_store;
  NotificationQueue m_queue;
  std::unique_ptr<CMySocket> m_socket;
  std::unique_ptr<SimDevice> m_device;
};

}  // namespace kolmara::device::testing
