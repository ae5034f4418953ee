#include "connection/my_socket.h"

#include <cstring>

#include "connection/conversions.h"
#include "connection/global_data.h"
#include "connection/host_lookup.h"
#include "connection/reply_reader.h"
#include "protocol/catalogue.h"
#include "protocol/scrambler.h"

namespace kolmara {
namespace {

class SocketSource : public IByteSource {
 public:
  explicit SocketSource(net::Socket s) : m_socket(s) {}
  bool ReceiveExactly(std::uint8_t* buffer, std::size_t length) override {
    std::size_t done = 0;
    while (done < length) {
      const long r = net::RecvSome(m_socket, buffer + done, length - done);
      if (r <= 0) return false;  // error, or the device closed the connection
      done += static_cast<std::size_t>(r);
    }
    return true;
  }

 private:
  net::Socket m_socket;
};

#ifndef _WIN32
// Non-blocking connect polled in short slices, so that an abort or a
// deadline takes effect without waiting for the system's own time-out.
ConnectError ConnectWithin(net::Socket s, const sockaddr* addr, socklen_t len, std::chrono::milliseconds timeout,
                           const std::atomic<bool>& abort) {
  const int flags = fcntl(s, F_GETFL, 0);
  fcntl(s, F_SETFL, flags | O_NONBLOCK);
  int rc = ::connect(s, addr, len);
  if (rc != 0 && errno != EINPROGRESS) return ConnectError::kConnect;
  if (rc != 0) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      if (abort.load()) return ConnectError::kAborted;
      int slice = 50;
      if (timeout.count() >= 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return ConnectError::kTimeout;
        slice = static_cast<int>(std::min<long long>(slice, left.count()));
      }
      pollfd p{s, POLLOUT, 0};
      rc = ::poll(&p, 1, slice);
      if (rc < 0 && errno != EINTR) return ConnectError::kConnect;
      if (rc > 0) break;
    }
    int err = 0;
    socklen_t errLen = sizeof err;
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, &err, &errLen) != 0 || err != 0) return ConnectError::kConnect;
  }
  fcntl(s, F_SETFL, flags);
  return ConnectError::kNone;
}
#else
ConnectError ConnectWithin(net::Socket s, const sockaddr* addr, int len, std::chrono::milliseconds,
                           const std::atomic<bool>& abort) {
  if (abort.load()) return ConnectError::kAborted;
  return ::connect(s, addr, len) == 0 ? ConnectError::kNone : ConnectError::kConnect;
}
#endif

}  // namespace

CMySocket::CMySocket(CGlobalData* store)
    : m_pStore(store), m_pSendArea(new std::uint8_t[kViewIdStoreBytes]()) {
  // A failed start is not reported here: the connect that follows fails.
  m_bSocketLayer = net::StartUp();
}

CMySocket::~CMySocket() {
  Disconnect();
  JoinFinishedThread();
  if (m_bSocketLayer) net::CleanUp();
}

void CMySocket::JoinFinishedThread() {
  if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) m_thread.join();
  const net::Socket s = m_socket.exchange(net::kInvalidSocket);
  if (s != net::kInvalidSocket) {
    std::lock_guard send(m_sendMutex);
    net::Close(s);
  }
}

int CMySocket::Connect(INotifyTarget* target, const QString& host, int port, std::chrono::milliseconds timeout) {
  std::lock_guard life(m_lifeMutex);
  if (m_bConnected.load()) {
    m_lastConnectError = ConnectError::kAlreadyConnected;
    return 0;
  }
  // A connection the device ended leaves a finished thread and an open socket.
  JoinFinishedThread();
  // An abort asked for before this attempt began still counts; it is used
  // up when the attempt ends, however it ends.
  struct AbortUsedUp {
    std::atomic<bool>& flag;
    ~AbortUsedUp() { flag = false; }
  } abortUsedUp{m_bAbortConnect};
  SetNotifyWindow(target);
  m_nPort = port;
  m_bStop = false;

  auto fail = [&](ConnectError e, net::Socket s) {
    if (s != net::kInvalidSocket) net::Close(s);
    m_lastConnectError = e;
    return 0;
  };

  net::Socket s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == net::kInvalidSocket) return fail(ConnectError::kSocket, s);
  int one = 1;
  if (setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one) != 0)
    return fail(ConnectError::kOption, s);

  const QByteArray name = WideToAnsiBytes(host);
  if (static_cast<std::size_t>(name.size()) > kMaxHostBytes) return fail(ConnectError::kHostTooLong, s);

  const auto start = std::chrono::steady_clock::now();
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  if (IsHostName(host)) {
    // Looked up apart from this thread, so that an abort or the deadline
    // also ends a lookup the system's resolver would drag out.
    const LookupResult found = LookUpHost(name.toStdString(), timeout, &m_bAbortConnect,
                                          m_lookup ? m_lookup : NameLookup(SystemNameLookup));
    switch (found.status) {
      case LookupStatus::kOk: break;
      case LookupStatus::kFailed: return fail(ConnectError::kResolve, s);
      case LookupStatus::kTimedOut: return fail(ConnectError::kTimeout, s);
      case LookupStatus::kAbandoned: return fail(ConnectError::kAborted, s);
    }
    addr.sin_addr.s_addr = inet_addr(found.address.c_str());
  } else {
    // inet_addr's reading on purpose: "10.1" is 10.0.0.1, and a rejected
    // text becomes 255.255.255.255, where the connect then fails.
    addr.sin_addr.s_addr = inet_addr(name.constData());
  }
  if (timeout.count() >= 0) {
    // One bound for the lookup and the connect together.
    timeout = std::max(std::chrono::milliseconds(1), timeout - std::chrono::duration_cast<std::chrono::milliseconds>(
                                                                   std::chrono::steady_clock::now() - start));
  }

  const ConnectError e =
      ConnectWithin(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr, timeout, m_bAbortConnect);
  if (e != ConnectError::kNone) return fail(e, s);

  m_socket = s;
  m_bConnected = true;
  m_lastConnectError = ConnectError::kNone;
  m_thread = std::thread(&CMySocket::ReceiveThread, this);
  return 1;
}

void CMySocket::AbortConnect() { m_bAbortConnect = true; }

void CMySocket::Disconnect() {
  std::lock_guard life(m_lifeMutex);
  m_bConnected = false;
  m_bStop = true;
  const net::Socket s = m_socket.load();
  // Shutting the socket down wakes a recv blocked in the receive thread and a
  // send blocked on a peer that stopped reading.
  if (s != net::kInvalidSocket) net::Shutdown(s);
  JoinFinishedThread();
}

void CMySocket::SetNotifyWindow(INotifyTarget* target) {
  std::lock_guard lock(m_notifyMutex);
  m_pNotify = target;
}

void CMySocket::PostNotification(Notification n) {
  std::lock_guard lock(m_notifyMutex);
  if (m_pNotify) m_pNotify->Post(std::move(n));
}

void CMySocket::ReceiveThread() {
  DebugOutput("ClientThread for Manager started **&&&&&**............");
  SocketSource source(m_socket.load());
  while (!m_bStop.load() && m_bConnected.load()) {
    if (!ReadOneReply(source, *m_pStore, [this](Notification n) { PostNotification(std::move(n)); })) break;
    const auto pause = m_replyPause.load();
    if (pause.count() > 0) std::this_thread::sleep_for(pause);
  }
  // The flag goes down before the notice, so a handler of 255 already sees
  // the connection closed. The socket itself is closed by the next Connect or
  // Disconnect, never here, so a sender on another thread cannot hit a
  // reused descriptor.
  m_bConnected = false;
  const net::Socket s = m_socket.load();
  if (s != net::kInvalidSocket) net::Shutdown(s);
  PostNotification(Notification{kNotifyConnectionEnded, 0, std::nullopt});
  DebugOutput("ClientThread for Manager exit *********............");
}

int CMySocket::SendAll(net::Socket socket, const std::uint8_t* bytes, std::size_t length) {
  std::size_t done = 0;
  while (done < length) {
    const long r = net::SendSome(socket, bytes + done, length - done);
    if (r <= 0) {
#ifndef _WIN32
      if (r < 0 && errno == EINTR) continue;
#endif
      return 0;
    }
    done += static_cast<std::size_t>(r);
  }
  return 1;
}

bool CMySocket::SendRequest(std::uint8_t code, std::int32_t value, const std::uint8_t* body, std::size_t length,
                            BodyEncoding encoding) {
  if (!m_bConnected.load()) return false;
  // Refused before anything is sent: a header without its body would leave
  // the device reading the next frame as the rest of this one.
  if (encoding == BodyEncoding::kScrambled && length > kViewIdStoreBytes) return false;
  bool ok;
  {
    std::lock_guard send(m_sendMutex);
    const net::Socket s = m_socket.load();
    if (s == net::kInvalidSocket) return false;
    const WireHeader header = EncodeHeader(code, value);
    ok = SendAll(s, header.data(), header.size()) == 1;
    if (ok && length > 0) {
      if (encoding == BodyEncoding::kScrambled) {
        // Every scrambled body fits the send area (512 view-ID records is the largest).
        ScrambleBytes(body, m_pSendArea.get(), length);
        ok = SendAll(s, m_pSendArea.get(), length) == 1;
      } else {
        ok = SendAll(s, body, length) == 1;
      }
    }
  }
  if (!ok) Disconnect();
  return ok;
}

bool CMySocket::SendTextBody(std::uint8_t code, std::string_view first, std::string_view second) {
  if (!m_bConnected.load()) return false;
  const TextBodyResult r = BuildTextBody(first, second);
  if (!r.ok()) return false;
  return SendRequest(code, static_cast<std::int32_t>(kTextBodySize), r.body.data(), r.body.size(),
                     BodyEncoding::kScrambled);
}

bool CMySocket::SendLogin(std::string_view id, std::string_view password) {
  return SendTextBody(CMD_LOGIN, id, password);
}
bool CMySocket::RequestDeviceInfo() { return SendRequest(CMD_GET_INFO, 0, nullptr, 0, BodyEncoding::kScrambled); }
bool CMySocket::SendAdminAccount(std::string_view id, std::string_view password) {
  return SendTextBody(CMD_SET_ADMIN, id, password);
}
bool CMySocket::RequestViewIdList() {
  return SendRequest(CMD_GET_VIEWID_LIST, 101, nullptr, 0, BodyEncoding::kScrambled);
}
bool CMySocket::SendViewIdList(std::int32_t count, const std::uint8_t* records) {
  const std::uint64_t length = ViewIdTableLength(count);
  if (length > kViewIdStoreBytes) return false;  // more records than the store can hold
  if (length > 0 && !records) return false;
  return SendRequest(CMD_SET_VIEWID_LIST, count, records, static_cast<std::size_t>(length),
                     BodyEncoding::kScrambled);
}
bool CMySocket::RequestWolTable() { return SendRequest(CMD_GET_WOL_TABLE, 101, nullptr, 0, BodyEncoding::kScrambled); }
bool CMySocket::SendWolTable(std::int32_t count, const std::uint8_t* table) {
  if (!table) return false;
  return SendRequest(CMD_SET_WOL_TABLE, count, table, kWolTableSize, BodyEncoding::kScrambled);
}
bool CMySocket::RequestNetworkSettings() {
  return SendRequest(CMD_GET_NETWORK, 0, nullptr, 0, BodyEncoding::kScrambled);
}
bool CMySocket::SendNetworkSettings(const std::uint8_t* block368) {
  return SendRequest(CMD_SET_NETWORK, 0, block368, kBlockSize, BodyEncoding::kScrambled);
}
bool CMySocket::CheckDdnsId(std::string_view ddnsId, std::string_view macText) {
  return SendTextBody(CMD_CHECK_DDNS_ID, ddnsId, macText);
}
bool CMySocket::RegisterMac(std::string_view macText) { return SendTextBody(CMD_REGISTER_MAC, macText, {}); }
bool CMySocket::RegisterDdns(const std::uint8_t* block368) {
  return SendRequest(CMD_REGISTER_DDNS, static_cast<std::int32_t>(kTextBodySize), block368, kBlockSize,
                     BodyEncoding::kScrambled);
}
bool CMySocket::StartOnlineUpdate() {
  return SendRequest(CMD_ONLINE_UPDATE, 0, nullptr, 0, BodyEncoding::kScrambled);
}
bool CMySocket::StartFirmwareUpdate() {
  return SendRequest(CMD_FIRMWARE_UPDATE, 0, nullptr, 0, BodyEncoding::kScrambled);
}
bool CMySocket::UploadWebArchive(const std::uint8_t* bytes, std::size_t length) {
  if (length > static_cast<std::size_t>(INT32_MAX)) return false;  // the header value is the length
  return SendRequest(CMD_UPLOAD_WEB, static_cast<std::int32_t>(length), bytes, length, BodyEncoding::kRaw);
}
bool CMySocket::RequestServerTime() {
  return SendRequest(CMD_GET_SERVER_TIME, 0, nullptr, 0, BodyEncoding::kScrambled);
}
bool CMySocket::SetNtpServer(std::string_view server) { return SendTextBody(CMD_SET_NTP_SERVER, server, {}); }
bool CMySocket::UploadFirmware(const std::uint8_t* bytes, std::size_t length) {
  if (length > static_cast<std::size_t>(INT32_MAX)) return false;
  return SendRequest(CMD_UPLOAD_FIRMWARE, static_cast<std::int32_t>(length), bytes, length, BodyEncoding::kRaw);
}

}  // namespace kolmara
