#pragma once
// Shared helpers of the core tests: wire frames built the way a device builds
// them, a loopback peer that plays the device, a byte source in memory, and
// readable printing of notifications.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <optional>
#include <ostream>
#include <random>
#include <thread>
#include <utility>
#include <vector>

#include "connection/notify.h"
#include "connection/reply_reader.h"
#include "protocol/frame.h"
#include "protocol/scrambler.h"

namespace kolmara {

inline void PrintTo(const Notification& n, std::ostream* os) {
  *os << "Notification{code " << n.code << ", value " << n.value;
  if (n.block) {
    *os << ", block";
    for (std::size_t i = 0; i < 8; ++i) *os << ' ' << std::hex << int((*n.block)[i]) << std::dec;
    *os << " ...";
  }
  if (n.table) *os << ", table of " << n.table->size() << " bytes";
  *os << '}';
}

}  // namespace kolmara

namespace kolmara::test {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

inline Bytes RandomBytes(std::size_t length, std::uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out(length);
  for (auto& b : out) b = static_cast<std::uint8_t>(rng());
  return out;
}

inline Bytes Scrambled(const Bytes& plain) {
  Bytes out(plain.size());
  ScrambleBytes(plain.data(), out.data(), plain.size());
  return out;
}

inline Bytes Unscrambled(const std::uint8_t* wire, std::size_t length) {
  Bytes out(length);
  UnscrambleBytes(wire, out.data(), length);
  return out;
}

// One frame as a device puts it on the wire: scrambled header, then the body
// scrambled as a run of its own (or raw).
inline Bytes Frame(std::uint8_t code, std::int32_t value, const Bytes& plainBody = {}, bool scrambled = true) {
  const WireHeader header = EncodeHeader(code, value);
  Bytes out(header.begin(), header.end());
  const Bytes body = scrambled ? Scrambled(plainBody) : plainBody;
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A reply that posts notification 3 with a value no other frame uses: when it
// decodes after another frame, that frame's body was consumed exactly.
inline constexpr std::int32_t kMarkerValue = 0x5A17C0DE;
inline constexpr int kMarkerNotification = kNotifyAdminChanged;
inline Bytes MarkerFrame() { return Frame(3, kMarkerValue); }

class MemorySource : public IByteSource {
 public:
  explicit MemorySource(Bytes data) : m_data(std::move(data)) {}
  bool ReceiveExactly(std::uint8_t* buffer, std::size_t length) override {
    if (length > m_data.size() - m_pos) return false;
    if (length) std::memcpy(buffer, m_data.data() + m_pos, length);
    m_pos += length;
    return true;
  }
  std::size_t Consumed() const { return m_pos; }

 private:
  Bytes m_data;
  std::size_t m_pos = 0;
};

// Plays the device on 127.0.0.1: accepts one connection, records every byte
// the client sends until it closes, and sends whatever the test asks.
class LoopbackPeer {
 public:
  explicit LoopbackPeer(int backlog = 1) {
    m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    const int one = 1;
    ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(m_listen, backlog) != 0)
      ADD_FAILURE() << "loopback peer cannot listen";
    socklen_t len = sizeof addr;
    ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);
  }

  ~LoopbackPeer() {
    CloseClient();
    if (m_reader.joinable()) m_reader.join();
    if (m_listen >= 0) ::close(m_listen);
    if (m_client >= 0) ::close(m_client);
  }

  int Port() const { return m_port; }
  int ListenSocket() const { return m_listen; }

  // Accepts the client's connection (after the client's Connect returned).
  // A peer that does not read lets the client's sends fill the socket buffers.
  bool Accept(bool read = true) {
    m_client = ::accept(m_listen, nullptr, nullptr);
    if (m_client < 0) return false;
    const int one = 1;
    ::setsockopt(m_client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (read) m_reader = std::thread([this] { ReadLoop(); });
    return true;
  }

  void Send(const Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t r = ::send(m_client, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
      if (r <= 0) {
        ADD_FAILURE() << "peer send failed";
        return;
      }
      done += static_cast<std::size_t>(r);
    }
  }

  // One byte per send with a pause between, so the client's reads return
  // short every time.
  void SendByteByByte(const Bytes& bytes) {
    for (std::uint8_t b : bytes) {
      Send(Bytes{b});
      std::this_thread::sleep_for(50us);
    }
  }

  // The device going away: the client sees the end of the stream.
  void CloseClient() {
    if (m_client >= 0 && !m_closed.exchange(true)) ::shutdown(m_client, SHUT_RDWR);
  }

  // Waits until the client has closed its side (or `timeout`); returns all it sent.
  Bytes WaitClientClosed(std::chrono::milliseconds timeout = 5s) {
    std::unique_lock lock(m_mutex);
    m_cv.wait_for(lock, timeout, [&] { return m_eof; });
    EXPECT_TRUE(m_eof) << "client did not close its side";
    return m_received;
  }

  Bytes WaitReceived(std::size_t count, std::chrono::milliseconds timeout = 5s) {
    std::unique_lock lock(m_mutex);
    m_cv.wait_for(lock, timeout, [&] { return m_received.size() >= count || m_eof; });
    return m_received;
  }

  Bytes Received() {
    std::lock_guard lock(m_mutex);
    return m_received;
  }

 private:
  void ReadLoop() {
    std::uint8_t buffer[65536];
    for (;;) {
      const ssize_t r = ::recv(m_client, buffer, sizeof buffer, 0);
      std::lock_guard lock(m_mutex);
      if (r <= 0) {
        m_eof = true;
        m_cv.notify_all();
        return;
      }
      m_received.insert(m_received.end(), buffer, buffer + r);
      m_cv.notify_all();
    }
  }

  int m_listen = -1;
  int m_client = -1;
  int m_port = 0;
  std::atomic<bool> m_closed{false};
  std::thread m_reader;
  std::mutex m_mutex;
  std::condition_variable m_cv;
  Bytes m_received;
  bool m_eof = false;
};

// Code and value of each notification, for ElementsAre(Pair(...)).
inline std::vector<std::pair<int, std::int32_t>> CodesAndValues(const std::vector<Notification>& list) {
  std::vector<std::pair<int, std::int32_t>> out;
  for (const auto& n : list) out.emplace_back(n.code, n.value);
  return out;
}

// Takes `count` notifications, each within `timeout`, then checks that no
// further one follows within `quiet`.
inline std::vector<Notification> TakeExactly(NotificationQueue& queue, std::size_t count,
                                             std::chrono::milliseconds timeout = 5s,
                                             std::chrono::milliseconds quiet = 50ms) {
  std::vector<Notification> out;
  for (std::size_t i = 0; i < count; ++i) {
    auto n = queue.Next(timeout);
    if (!n) {
      ADD_FAILURE() << "notification " << i + 1 << " of " << count << " did not arrive";
      return out;
    }
    out.push_back(std::move(*n));
  }
  if (auto extra = queue.Next(quiet)) {
    ADD_FAILURE() << "unexpected further notification " << ::testing::PrintToString(*extra);
    out.push_back(std::move(*extra));
  }
  return out;
}

}  // namespace kolmara::test
