#pragma once
// A scripted device for the widget tests: a loopback server that records
// every request and answers the login with a value the test chooses, so
// values the substitute device never sends (249, 250, 100) can be tried.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "connection/net_platform.h"
#include "connection/records.h"

namespace kolmara::testing {

struct PeerRequest {
  std::uint8_t code = 0;
  std::int32_t value = 0;
  std::vector<std::uint8_t> body;  // unscrambled
};

class TestPeer {
 public:
  TestPeer();
  ~TestPeer();
  bool Start();
  void Stop();
  std::uint16_t Port() const { return m_port; }

  // Answer to the login request; nothing: the login is never answered.
  void SetLoginReply(std::optional<std::int32_t> value);
  // Close the connection right after reading a login request.
  void SetCloseAfterLogin(bool close) { m_closeAfterLogin = close; }
  // Answer to a device information request.
  void SetInfoBlock(const DeviceInfoBlock& block);

  std::vector<PeerRequest> Requests() const;
  std::vector<std::uint8_t> RequestCodes() const;
  int Connections() const { return m_connections.load(); }
  // Sends a reply frame to the connected client (the body is scrambled).
  bool Send(std::uint8_t code, std::int32_t value, const std::vector<std::uint8_t>& plainBody = {});
  void CloseClient();

 private:
  void AcceptLoop();
  void Serve(net::Socket client);
  bool ReadExactly(net::Socket s, std::uint8_t* p, std::size_t n);

  net::Socket m_listen = net::kInvalidSocket;
  std::uint16_t m_port = 0;
  std::thread m_thread;
  std::atomic<bool> m_stop{false};
  std::atomic<int> m_connections{0};
  std::atomic<bool> m_closeAfterLogin{false};
  mutable std::mutex m_mutex;
  std::optional<std::int32_t> m_loginReply = 150;
  DeviceInfoBlock m_info;
  std::vector<PeerRequest> m_requests;
  net::Socket m_client = net::kInvalidSocket;
  std::mutex m_sendMutex;
};

// A loopback port on which nothing listens.
std::uint16_t ClosedLoopbackPort();

// A loopback listener whose accept queue is full: a connect to it hangs
// until it is abandoned. Keeps its sockets until destroyed.
class HangingListener {
 public:
  HangingListener();
  ~HangingListener();
  std::uint16_t Port() const { return m_port; }

 private:
  net::Socket m_listen = net::kInvalidSocket;
  std::vector<net::Socket> m_fillers;
  std::uint16_t m_port = 0;
};

}  // namespace kolmara::testing
