#include "test_peer.h"

#include <cstring>

#include "connection/my_socket.h"
#include "protocol/catalogue.h"
#include "protocol/frame.h"
#include "protocol/scrambler.h"

namespace kolmara::testing {
namespace {

net::Socket ListenLoopback(int backlog, std::uint16_t* port) {
  net::Socket s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == net::kInvalidSocket) return s;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof addr;
  if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(s, backlog) != 0 ||
      ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    net::Close(s);
    return net::kInvalidSocket;
  }
  *port = ntohs(addr.sin_port);
  return s;
}

}  // namespace

TestPeer::TestPeer() = default;
TestPeer::~TestPeer() { Stop(); }

bool TestPeer::Start() {
  m_listen = ListenLoopback(4, &m_port);
  if (m_listen == net::kInvalidSocket) return false;
  m_thread = std::thread(&TestPeer::AcceptLoop, this);
  return true;
}

void TestPeer::Stop() {
  m_stop = true;
  if (m_listen != net::kInvalidSocket) net::Shutdown(m_listen);
  CloseClient();
  if (m_thread.joinable()) m_thread.join();
  if (m_listen != net::kInvalidSocket) net::Close(m_listen);
  m_listen = net::kInvalidSocket;
}

void TestPeer::SetLoginReply(std::optional<std::int32_t> value) {
  std::lock_guard lock(m_mutex);
  m_loginReply = value;
}

void TestPeer::SetInfoBlock(const DeviceInfoBlock& block) {
  std::lock_guard lock(m_mutex);
  m_info = block;
}

std::vector<PeerRequest> TestPeer::Requests() const {
  std::lock_guard lock(m_mutex);
  return m_requests;
}

std::vector<std::uint8_t> TestPeer::RequestCodes() const {
  std::vector<std::uint8_t> codes;
  for (const PeerRequest& r : Requests()) codes.push_back(r.code);
  return codes;
}

void TestPeer::CloseClient() {
  std::lock_guard lock(m_sendMutex);
  if (m_client != net::kInvalidSocket) net::Shutdown(m_client);
}

bool TestPeer::Send(std::uint8_t code, std::int32_t value, const std::vector<std::uint8_t>& plainBody) {
  std::lock_guard lock(m_sendMutex);
  if (m_client == net::kInvalidSocket) return false;
  const WireHeader header = EncodeHeader(code, value);
  std::vector<std::uint8_t> wire(header.begin(), header.end());
  std::vector<std::uint8_t> body(plainBody.size());
  if (!body.empty()) ScrambleBytes(plainBody.data(), body.data(), body.size());
  wire.insert(wire.end(), body.begin(), body.end());
  return CMySocket::SendAll(m_client, wire.data(), wire.size()) == 1;
}

bool TestPeer::ReadExactly(net::Socket s, std::uint8_t* p, std::size_t n) {
  std::size_t done = 0;
  while (done < n) {
    const long r = net::RecvSome(s, p + done, n - done);
    if (r <= 0) return false;
    done += static_cast<std::size_t>(r);
  }
  return true;
}

void TestPeer::AcceptLoop() {
  while (!m_stop.load()) {
    const net::Socket client = ::accept(m_listen, nullptr, nullptr);
    if (client == net::kInvalidSocket) return;
    ++m_connections;
    {
      std::lock_guard lock(m_sendMutex);
      m_client = client;
    }
    Serve(client);
    {
      std::lock_guard lock(m_sendMutex);
      m_client = net::kInvalidSocket;
    }
    net::Close(client);
  }
}

void TestPeer::Serve(net::Socket client) {
  for (;;) {
    std::uint8_t wire[kHeaderSize];
    if (!ReadExactly(client, wire, sizeof wire)) return;
    const FrameHeader h = DecodeHeader(wire);
    PeerRequest request{h.code, h.value, {}};
    const RequestRule* rule = FindRequestRule(h.code);
    const std::uint64_t length = rule ? RequestBodyLength(*rule, h.value) : 0;
    if (length > 64 * 1024 * 1024) return;
    request.body.resize(static_cast<std::size_t>(length));
    if (length > 0) {
      if (!ReadExactly(client, request.body.data(), request.body.size())) return;
      if (rule->body != RequestBody::kRaw)
        UnscrambleBytes(request.body.data(), request.body.data(), request.body.size());
    }
    std::optional<std::int32_t> loginReply;
    DeviceInfoBlock info;
    {
      std::lock_guard lock(m_mutex);
      m_requests.push_back(request);
      loginReply = m_loginReply;
      info = m_info;
    }
    if (h.code == CMD_LOGIN) {
      if (m_closeAfterLogin.load()) return;
      if (loginReply) Send(CMD_LOGIN, *loginReply);
    } else if (h.code == CMD_GET_INFO) {
      Send(CMD_GET_INFO, 0, std::vector<std::uint8_t>(info.bytes.begin(), info.bytes.end()));
    }
  }
}

std::uint16_t ClosedLoopbackPort() {
  std::uint16_t port = 0;
  const net::Socket s = ListenLoopback(1, &port);
  net::Close(s);
  return port;
}

HangingListener::HangingListener() {
  m_listen = ListenLoopback(0, &m_port);
  // One connection fills a queue of length 0; later SYNs are dropped, so a
  // further connect keeps retrying.
  for (int i = 0; i < 2; ++i) {
    net::Socket c = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    const int flags = fcntl(c, F_GETFL, 0);
    fcntl(c, F_SETFL, flags | O_NONBLOCK);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(m_port);
    ::connect(c, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    m_fillers.push_back(c);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

HangingListener::~HangingListener() {
  for (net::Socket c : m_fillers) net::Close(c);
  if (m_listen != net::kInvalidSocket) net::Close(m_listen);
}

}  // namespace kolmara::testing
