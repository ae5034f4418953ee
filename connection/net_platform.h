#pragma once
// The few socket calls the connection needs, over POSIX sockets or Winsock.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
namespace kolmara::net {
using Socket = SOCKET;
inline constexpr Socket kInvalidSocket = INVALID_SOCKET;
inline int LastError() { return WSAGetLastError(); }
inline void Close(Socket s) { closesocket(s); }
inline void Shutdown(Socket s) { shutdown(s, SD_BOTH); }
inline long SendSome(Socket s, const void* p, std::size_t n) { return send(s, static_cast<const char*>(p), int(n), 0); }
inline long RecvSome(Socket s, void* p, std::size_t n) { return recv(s, static_cast<char*>(p), int(n), 0); }
inline bool StartUp() { WSADATA d; if (WSAStartup(MAKEWORD(2, 2), &d) != 0) { WSACleanup(); return false; } return true; }
inline void CleanUp() { WSACleanup(); }
}  // namespace kolmara::net
#else
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
namespace kolmara::net {
using Socket = int;
inline constexpr Socket kInvalidSocket = -1;
inline int LastError() { return errno; }
inline void Close(Socket s) { ::close(s); }
inline void Shutdown(Socket s) { ::shutdown(s, SHUT_RDWR); }
// MSG_NOSIGNAL: a peer that has gone must fail the send, not kill the process.
inline long SendSome(Socket s, const void* p, std::size_t n) { return ::send(s, p, n, MSG_NOSIGNAL); }
inline long RecvSome(Socket s, void* p, std::size_t n) {
  for (;;) {
    const long r = ::recv(s, p, n, 0);
    if (r < 0 && errno == EINTR) continue;
    return r;
  }
}
inline bool StartUp() { return true; }
inline void CleanUp() {}
}  // namespace kolmara::net
#endif
