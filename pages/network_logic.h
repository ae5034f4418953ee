#pragma once
// What the network page shows of a network settings block, and its rule for
// the NTP server, apart from the widgets so that the command-line client
// shows and checks the same things.
#include <QByteArray>
#include <QString>
#include <cstdint>

#include "connection/records.h"

namespace kolmara {

// The configuration port is not in the block; the page shows it as a fixed text.
inline constexpr std::uint16_t kConfigPort = 9502;

// Room of the NTP server's field in the text body and in the block, NUL excluded.
inline constexpr int kMaxNtpServerBytes = 39;

inline constexpr char kMsgNtpServerTooLong[] = "NTP Server 주소가 너무 깁니다. 39바이트(한글 19자) 이내로 입력하세요.";

struct NetworkView {
  QString ddnsName;
  QString email;
  QString macAddress;  // "00:1A:2B:3C:4D:5E", for both MAC fields of the page
  QString ntpServer;
  QString company;     // UTF-8 on the wire, shown through the ANSI code page
  std::uint16_t tcpControlPort = 0;
  std::uint16_t webSslPort = 0;  // a device's 9500 here is shown as 443
  std::uint16_t relayPort = 0;
  std::uint16_t webServerPort = 0;
  std::uint16_t configPort = kConfigPort;
  bool dhcp = false;
  // With DHCP the address controls are disabled and show 0.0.0.0, whatever
  // the block holds.
  bool addressesEnabled = true;
  QString ip;
  QString netmask;
  QString gateway;
  bool upnp = false;
  bool webServerOff = false;
};

// "%d.%d.%d.%d"
QString FormatIpv4(const Ipv4& ip);

NetworkView BuildNetworkView(const NetworkSettingsBlock& block);

struct NtpServerRequest {
  bool ok = false;
  QString message;        // why it was refused
  QByteArray serverAnsi;  // what goes into the text body; may be empty
};

// The page sends whatever was typed, an empty text included; only a text
// that cannot fit the body's field is refused, since cutting it would name
// another server.
NtpServerRequest CheckNtpServer(const QString& typed);

}  // namespace kolmara
