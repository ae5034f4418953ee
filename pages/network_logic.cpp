#include "pages/network_logic.h"

#include "connection/conversions.h"

namespace kolmara {
namespace {

// Some devices report 9500 in the SSL field; the page shows the web SSL
// default for it, and a save then writes 443 back.
constexpr std::uint16_t kMisreportedSslPort = 9500;

QString AnsiField(std::string_view bytes) { return AnsiToWide(bytes); }

}  // namespace

QString FormatIpv4(const Ipv4& ip) { return QString::asprintf("%d.%d.%d.%d", ip[0], ip[1], ip[2], ip[3]); }

NetworkView BuildNetworkView(const NetworkSettingsBlock& block) {
  NetworkView v;
  v.ddnsName = AnsiField(block.DdnsName());
  v.email = AnsiField(block.Email());
  v.macAddress = QString::fromStdString(FormatMacUpper(block.MacAddress()));
  v.ntpServer = AnsiField(block.NtpServer());
  const std::optional<QByteArray> companyAnsi = Utf8ToAnsi(block.Company());
  v.company = companyAnsi ? AnsiToWide(std::string_view(companyAnsi->constData(), companyAnsi->size())) : QString();
  v.tcpControlPort = block.TcpControlPort();
  v.webSslPort = block.WebSslPort() == kMisreportedSslPort ? kDefaultWebSslPort : block.WebSslPort();
  v.relayPort = block.RelayPort();
  v.webServerPort = block.WebServerPort();
  v.dhcp = block.Dhcp();
  v.addressesEnabled = !v.dhcp;
  if (v.dhcp) {
    v.ip = v.netmask = v.gateway = QStringLiteral("0.0.0.0");
  } else {
    v.ip = FormatIpv4(block.IpAddress());
    v.netmask = FormatIpv4(block.Netmask());
    v.gateway = FormatIpv4(block.Gateway());
  }
  v.upnp = block.Upnp();
  v.webServerOff = block.WebServerOff();
  return v;
}

NtpServerRequest CheckNtpServer(const QString& typed) {
  NtpServerRequest r;
  r.serverAnsi = WideToAnsiBytes(typed);
  if (r.serverAnsi.size() > kMaxNtpServerBytes) {
    r.message = QString::fromUtf8(kMsgNtpServerTooLong);
    r.serverAnsi.clear();
    return r;
  }
  r.ok = true;
  return r;
}

}  // namespace kolmara
