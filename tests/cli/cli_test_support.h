#pragma once
// Helpers of the client's tests: a scripted loopback peer that records what
// the client sends, an injected terminal, and runners for the client in
// this process and as its own program.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/client.h"
#include "protocol/catalogue.h"
#include "protocol/frame.h"
#include "protocol/scrambler.h"

namespace kolmara::cli::test {

using namespace std::chrono_literals;

// Answers a scripted list to the terminal prompts; counts what was asked.
class FakeTerminal : public ITerminal {
 public:
  FakeTerminal(bool interactive = false, std::vector<std::string> answers = {})
      : m_interactive(interactive), m_answers(answers.begin(), answers.end()) {}
  bool IsInteractive() override { return m_interactive; }
  std::optional<std::string> ReadHidden(const std::string& prompt, std::chrono::milliseconds) override {
    prompts.push_back(prompt);
    if (m_answers.empty()) return std::nullopt;
    std::string a = m_answers.front();
    m_answers.pop_front();
    return a;
  }
  std::vector<std::string> prompts;

 private:
  bool m_interactive;
  std::deque<std::string> m_answers;
};

inline EnvLookup EnvOf(std::map<std::string, std::string> vars) {
  return [vars = std::move(vars)](const char* name) -> std::optional<std::string> {
    auto it = vars.find(name);
    if (it == vars.end()) return std::nullopt;
    return it->second;
  };
}

struct RunResult {
  int rc = -1;
  std::string out;
  std::string err;
};

inline RunResult RunInProcess(const std::vector<std::string>& args, std::map<std::string, std::string> env = {},
                              ITerminal* terminal = nullptr) {
  FakeTerminal none;
  std::ostringstream out, err;
  ClientIo io{out, err, EnvOf(std::move(env)), terminal ? *terminal : none};
  RunResult r;
  r.rc = RunClient(args, io);
  r.out = out.str();
  r.err = err.str();
  return r;
}

// A frame as the peer received it: the header and, for the requests that
// carry one, the unscrambled body.
struct ReceivedFrame {
  std::uint8_t code = 0;
  std::int32_t value = 0;
  std::vector<std::uint8_t> body;

  std::string FirstText() const { return Text(kTextBodyFirstOffset, kTextBodyFirstRoom); }
  std::string SecondText() const { return Text(kTextBodySecondOffset, kTextBodySecondRoom); }

 private:
  std::string Text(std::size_t offset, std::size_t room) const {
    if (body.size() < offset + room) return {};
    const char* p = reinterpret_cast<const char*>(body.data() + offset);
    return std::string(p, strnlen(p, room));
  }
};

struct PeerReply {
  std::uint8_t code;
  std::int32_t value;
  std::vector<std::uint8_t> body;  // plain; scrambled on the way out
};

// A loopback peer for what the substitute device cannot be made to do:
// record the exact bodies, answer with chosen values, stay silent, or hang
// up. One connection; every wait is bounded.
class ScriptedPeer {
 public:
  // Replies to a received frame; an empty list sends nothing. Returning
  // nullopt closes the connection.
  using Script = std::function<std::optional<std::vector<PeerReply>>(const ReceivedFrame&)>;

  explicit ScriptedPeer(Script script) : m_script(std::move(script)) {
    m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(m_listen, 1) != 0)
      ADD_FAILURE() << "cannot listen on loopback";
    socklen_t len = sizeof addr;
    getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);
    m_thread = std::thread([this] { Serve(); });
  }

  ~ScriptedPeer() {
    m_stop = true;
    m_thread.join();
    ::close(m_listen);
  }

  int Port() const { return m_port; }
  std::string Host() const { return "127.0.0.1:" + std::to_string(m_port); }

  std::vector<ReceivedFrame> Frames() const {
    std::lock_guard lock(m_mutex);
    return m_frames;
  }

  // A login script that accepts with capacity 10, then hands over.
  static Script AcceptLoginThen(Script next) {
    return [next](const ReceivedFrame& f) -> std::optional<std::vector<PeerReply>> {
      if (f.code == CMD_LOGIN) return std::vector<PeerReply>{{CMD_LOGIN, 110, {}}};
      return next(f);
    };
  }

 private:
  bool WaitReadable(int fd) {
    while (!m_stop.load()) {
      pollfd p{fd, POLLIN, 0};
      const int r = ::poll(&p, 1, 20);
      if (r > 0) return true;
      if (r < 0) return false;
    }
    return false;
  }

  bool ReadExactly(int fd, std::uint8_t* p, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
      if (!WaitReadable(fd)) return false;
      const long r = ::recv(fd, p + done, n - done, 0);
      if (r <= 0) return false;
      done += static_cast<std::size_t>(r);
    }
    return true;
  }

  void Serve() {
    if (!WaitReadable(m_listen)) return;
    const int fd = ::accept(m_listen, nullptr, nullptr);
    if (fd < 0) return;
    for (;;) {
      std::uint8_t wire[kHeaderSize];
      if (!ReadExactly(fd, wire, sizeof wire)) break;
      const FrameHeader h = DecodeHeader(wire);
      ReceivedFrame f{h.code, h.value, {}};
      const RequestRule* rule = FindRequestRule(h.code);
      f.body.resize(rule ? static_cast<std::size_t>(RequestBodyLength(*rule, h.value)) : 0);
      if (!f.body.empty()) {
        if (!ReadExactly(fd, f.body.data(), f.body.size())) break;
        if (rule->body != RequestBody::kRaw) UnscrambleBytes(f.body.data(), f.body.data(), f.body.size());
      }
      {
        std::lock_guard lock(m_mutex);
        m_frames.push_back(f);
      }
      const auto replies = m_script(f);
      if (!replies) break;
      for (const PeerReply& r : *replies) {
        const WireHeader wh = EncodeHeader(r.code, r.value);
        std::vector<std::uint8_t> out(wh.begin(), wh.end());
        std::vector<std::uint8_t> body(r.body.size());
        if (!body.empty()) ScrambleBytes(r.body.data(), body.data(), body.size());
        out.insert(out.end(), body.begin(), body.end());
        ::send(fd, out.data(), out.size(), MSG_NOSIGNAL);
      }
    }
    // Holds the connection open until the test ends, unless the script hung
    // up: a silent peer must look alive to the client.
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
  }

  Script m_script;
  int m_listen = -1;
  int m_port = 0;
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
  mutable std::mutex m_mutex;
  std::vector<ReceivedFrame> m_frames;
};

// A loopback port on which nothing listens: bound, then released.
inline int ClosedPort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
  ::close(s);
  return ntohs(addr.sin_port);
}

}  // namespace kolmara::cli::test
