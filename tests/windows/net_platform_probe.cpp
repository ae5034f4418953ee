// Sends one scrambled frame header to 127.0.0.1:9502 through every call of
// the socket seam, so that each one's Winsock form is compiled and linked.
// The program is built for Windows only and never runs in the check.
#include <cstdio>

#include "connection/net_platform.h"
#include "protocol/catalogue.h"
#include "protocol/frame.h"
#include "protocol/scrambler.h"

int main() {
  namespace net = kolmara::net;
  if (!net::StartUp()) return 1;
  int rc = 0;
  const net::Socket s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == net::kInvalidSocket) {
    rc = 2;
  } else {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(9502);
    inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
    const kolmara::WireHeader plain = kolmara::EncodeHeader(1, 0);
    kolmara::WireHeader wire{};
    kolmara::ScrambleBytes(plain.data(), wire.data(), plain.size());
    if (connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0 ||
        net::SendSome(s, wire.data(), wire.size()) != static_cast<long>(wire.size())) {
      std::fprintf(stderr, "net_platform_probe: error %d\n", net::LastError());
      rc = 3;
    } else {
      std::uint8_t reply[kolmara::kHeaderSize];
      const long got = net::RecvSome(s, reply, sizeof reply);
      if (got == static_cast<long>(sizeof reply)) {
        kolmara::UnscrambleBytes(reply, reply, sizeof reply);
        const kolmara::FrameHeader h = kolmara::DecodeHeader(reply);
        std::printf("reply code %u, %s\n", h.code, kolmara::FindReplyRule(h.code) ? "known" : "unknown");
      }
    }
    net::Shutdown(s);
    net::Close(s);
  }
  net::CleanUp();
  return rc;
}
