#pragma once
// The one TCP connection to the device's configuration port and its receive
// thread. Sends block on the calling thread; only the receive thread reads.
#include <QString>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>

#include "connection/host_lookup.h"
#include "connection/net_platform.h"
#include "connection/notify.h"
#include "protocol/frame.h"

namespace kolmara {

class CGlobalData;

enum class BodyEncoding { kScrambled, kRaw };

enum class ConnectError {
  kNone,
  kAlreadyConnected,
  kSocket,
  kOption,
  kHostTooLong,  // more than 63 bytes in the code page
  kResolve,
  kConnect,
  kTimeout,
  kAborted,
};

class CMySocket {
 public:
  static constexpr int kDefaultPort = 9502;
  static constexpr std::size_t kMaxHostBytes = 63;
  static constexpr std::chrono::milliseconds kNoTimeout{-1};

  explicit CMySocket(CGlobalData* store);
  virtual ~CMySocket();
  CMySocket(const CMySocket&) = delete;
  CMySocket& operator=(const CMySocket&) = delete;

  // 1 on success, 0 on failure (LastConnectError says why). A host with an
  // ASCII letter is resolved by name, anything else is read as a dotted
  // address. Without a timeout the attempt lasts as long as the system lets
  // it, unless AbortConnect is called from another thread.
  int Connect(INotifyTarget* target, const QString& host, int port = kDefaultPort,
              std::chrono::milliseconds timeout = kNoTimeout);
  ConnectError LastConnectError() const { return m_lastConnectError.load(); }
  // Makes a Connect under way on another thread give up within a few
  // milliseconds (a closed login window must not wait for the system). Asked
  // for while no Connect runs, it ends the next one at once.
  void AbortConnect();

  void Disconnect();
  void SetNotifyWindow(INotifyTarget* target);
  bool IsConnected() const { return m_bConnected.load(); }

  static int SendAll(net::Socket socket, const std::uint8_t* bytes, std::size_t length);
  // One frame: header, then the body (if any) scrambled or raw. Returns true
  // when it was handed to the socket; a failed send closes the connection.
  bool SendRequest(std::uint8_t code, std::int32_t value, const std::uint8_t* body, std::size_t length,
                   BodyEncoding encoding);

  // Named senders. Each sends nothing (and returns false) while closed; the
  // text senders also refuse texts longer than their field (39 / 79 bytes).
  bool SendLogin(std::string_view id, std::string_view password);
  bool RequestDeviceInfo();
  bool SendAdminAccount(std::string_view id, std::string_view password);
  bool RequestViewIdList();
  // The table senders send what they are given (the store's table, in its
  // wire layout): `records` holds at least ViewIdTableLength(count) bytes,
  // `table` the whole 12,524.
  bool SendViewIdList(std::int32_t count, const std::uint8_t* records);
  bool RequestWolTable();
  bool SendWolTable(std::int32_t count, const std::uint8_t* table);
  bool RequestNetworkSettings();
  bool SendNetworkSettings(const std::uint8_t* block368);
  bool CheckDdnsId(std::string_view ddnsId, std::string_view macText);
  bool RegisterMac(std::string_view macText);
  bool RegisterDdns(const std::uint8_t* block368);
  bool StartOnlineUpdate();
  bool StartFirmwareUpdate();
  bool UploadWebArchive(const std::uint8_t* bytes, std::size_t length);
  bool RequestServerTime();
  bool SetNtpServer(std::string_view server);
  bool UploadFirmware(const std::uint8_t* bytes, std::size_t length);

  // Pause after every reply. The receive thread blocks in recv, so there is
  // nothing to yield to; the default is none.
  void SetReplyPause(std::chrono::milliseconds pause) { m_replyPause = pause; }

  int Port() const { return m_nPort; }

  // Replaces the system's name lookup (tests: a lookup that hangs or fails).
  // Set it before Connect, from the thread that connects.
  void SetNameLookup(NameLookup lookup) { m_lookup = std::move(lookup); }

 private:
  bool SendTextBody(std::uint8_t code, std::string_view first, std::string_view second);
  void ReceiveThread();
  void PostNotification(Notification n);
  void JoinFinishedThread();

  CGlobalData* m_pStore;
  int m_nPort = kDefaultPort;
  std::atomic<bool> m_bStop{false};
  std::mutex m_notifyMutex;  // held while posting, so a replaced target is never used again
  INotifyTarget* m_pNotify = nullptr;
  std::atomic<net::Socket> m_socket{net::kInvalidSocket};
  std::atomic<bool> m_bConnected{false};
  std::thread m_thread;

  std::mutex m_lifeMutex;  // Connect / Disconnect
  std::mutex m_sendMutex;  // one frame at a time; guards the send area and the socket's close
  std::unique_ptr<std::uint8_t[]> m_pSendArea;
  std::atomic<bool> m_bAbortConnect{false};
  std::atomic<ConnectError> m_lastConnectError{ConnectError::kNone};
  std::atomic<std::chrono::milliseconds> m_replyPause{std::chrono::milliseconds(0)};
  bool m_bSocketLayer = false;
  NameLookup m_lookup;
};

}  // namespace kolmara
