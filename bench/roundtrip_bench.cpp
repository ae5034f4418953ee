// A Wake-on-LAN table request answered by a loopback peer: through
// CMySocket (send, receive thread, store, notification) against the same
// bytes exchanged over bare sockets. The difference is what the connection
// itself costs per reply.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "connection/global_data.h"
#include "connection/my_socket.h"
#include "protocol/frame.h"
#include "protocol/scrambler.h"

namespace {

using namespace std::chrono_literals;
using kolmara::kWolTableSize;

bool SendAll(int s, const std::uint8_t* p, std::size_t n) {
  while (n) {
    const ssize_t r = ::send(s, p, n, MSG_NOSIGNAL);
    if (r <= 0) return false;
    p += r;
    n -= static_cast<std::size_t>(r);
  }
  return true;
}

bool RecvAll(int s, std::uint8_t* p, std::size_t n) {
  while (n) {
    const ssize_t r = ::recv(s, p, n, 0);
    if (r <= 0) return false;
    p += r;
    n -= static_cast<std::size_t>(r);
  }
  return true;
}

void NoDelay(int s) {
  const int one = 1;
  ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

// Answers every 8-byte request with the Wake-on-LAN reply: header (6, 101)
// and the scrambled 12,524-byte table, built once.
class WolPeer {
 public:
  WolPeer() {
    m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(m_listen, 1) != 0) {
      std::perror("bench peer");
      std::exit(1);
    }
    socklen_t len = sizeof addr;
    ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);

    const kolmara::WireHeader header = kolmara::EncodeHeader(kolmara::CMD_GET_WOL_TABLE, 101);
    m_reply.assign(header.begin(), header.end());
    std::vector<std::uint8_t> table(kWolTableSize);
    for (std::size_t i = 0; i < table.size(); ++i) table[i] = static_cast<std::uint8_t>(i * 7);
    m_reply.resize(8 + kWolTableSize);
    kolmara::ScrambleBytes(table.data(), m_reply.data() + 8, kWolTableSize);

    m_thread = std::thread([this] { Serve(); });
  }
  ~WolPeer() {
    m_thread.join();
    ::close(m_listen);
  }
  int Port() const { return m_port; }

 private:
  void Serve() {
    const int s = ::accept(m_listen, nullptr, nullptr);
    if (s < 0) return;
    NoDelay(s);
    std::uint8_t request[8];
    while (RecvAll(s, request, sizeof request))
      if (!SendAll(s, m_reply.data(), m_reply.size())) break;
    ::close(s);
  }

  int m_listen = -1;
  int m_port = 0;
  std::vector<std::uint8_t> m_reply;
  std::thread m_thread;
};

void BM_WolRoundTripThroughConnection(benchmark::State& state) {
  WolPeer peer;
  kolmara::NotificationQueue queue;
  kolmara::CGlobalData store;
  store.m_pConnection = std::make_unique<kolmara::CMySocket>(&store);
  kolmara::CMySocket& socket = *store.m_pConnection;
  if (socket.Connect(&queue, QStringLiteral("127.0.0.1"), peer.Port()) != 1) {
    state.SkipWithError("connect failed");
    return;
  }
  for (auto _ : state) {
    if (!socket.RequestWolTable() || !queue.WaitFor(6, 5s)) {
      state.SkipWithError("no reply");
      break;
    }
  }
  benchmark::DoNotOptimize(store.m_WolTable[kWolTableSize - 1]);
  socket.Disconnect();
}

void BM_WolRoundTripBareSockets(benchmark::State& state) {
  WolPeer peer;
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  NoDelay(s);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<std::uint16_t>(peer.Port()));
  if (::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    state.SkipWithError("connect failed");
    ::close(s);
    return;
  }
  const kolmara::WireHeader request = kolmara::EncodeHeader(kolmara::CMD_GET_WOL_TABLE, 101);
  std::vector<std::uint8_t> reply(8 + kWolTableSize);
  for (auto _ : state) {
    if (!SendAll(s, request.data(), request.size()) || !RecvAll(s, reply.data(), reply.size())) {
      state.SkipWithError("no reply");
      break;
    }
  }
  benchmark::DoNotOptimize(reply.data());
  ::close(s);
}

BENCHMARK(BM_WolRoundTripThroughConnection)->UseRealTime();
BENCHMARK(BM_WolRoundTripBareSockets)->UseRealTime();

}  // namespace
