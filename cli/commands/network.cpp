// The Network/DDNS page's settings.
#include "cli/commands/families.h"
#include "cli/output.h"
#include "cli/session.h"
#include "pages/network_logic.h"
#include "pages/reply_messages_logic.h"

namespace kolmara::cli {
namespace {

int RunNetworkShow(Session& s, CommandCall& call) {
  Notification n;
  if (const int rc = s.Exchange([](CMySocket& c) { return c.RequestNetworkSettings(); }, kNotifyNetwork, n);
      rc != kExitOk)
    return rc;
  if (!n.block) return s.Lost();
  call.io.out << FormatNetwork(BuildNetworkView(NetworkSettingsBlock::FromBytes(n.block->data())), call.Json());
  return kExitOk;
}

int CheckNtpSet(CommandCall& call) {
  NtpServerRequest ntp = CheckNtpServer(QString::fromStdString(call.options.arguments.at(0)));
  if (!ntp.ok) return call.Refuse(ntp.message);
  call.input = std::move(ntp);
  return kExitOk;
}

int RunNtpSet(Session& s, CommandCall& call) {
  const NtpServerRequest& ntp = call.Input<NtpServerRequest>();
  const std::string_view server(ntp.serverAnsi.constData(), ntp.serverAnsi.size());
  Notification n;
  if (const int rc = s.Exchange([&](CMySocket& c) { return c.SetNtpServer(server); }, kNotifyNtpServer, n);
      rc != kExitOk)
    return rc;
  // The answer carries no verdict: the window confirms whatever it says.
  call.io.out << FormatDone(DescribeReply(kNotifyNtpServer, n.value).message, n.value, call.Json());
  return kExitOk;
}

}  // namespace

std::span<const CommandEntry> NetworkCommands() {
  static const CommandEntry kCommands[] = {
      {
          .words = {"network", "show"},
          .summary = "network settings",
          .description = "Shows the network settings as the Network/DDNS page does: addresses (0.0.0.0\n"
                         "with DHCP), MAC address, DHCP, UPnP, the service ports, the web server switch,\n"
                         "DDNS name, e-mail, company and NTP server.\n"
                         "JSON keys: ip, netmask, gateway, mac_address, dhcp, upnp, tcp_control_port,\n"
                         "relay_port, config_port, web_server_port, web_server_off, web_ssl_port, ddns,\n"
                         "email, company, ntp_server.\n",
          .example = "kolmarasetting-cli --host 10.0.0.5:9502 --id admin --json network show\n",
          .run = RunNetworkShow,
      },
      {
          .words = {"ntp", "set"},
          .summary = "set the NTP server",
          .description = "Sets the device's NTP server (at most 39 bytes). An empty SERVER (\"\") is\n"
                         "sent as an empty name, as the Network/DDNS page does.\n"
                         "JSON keys: message, value (the device's answer).\n",
          .example = "kolmarasetting-cli --host 10.0.0.5 --id admin ntp set pool.ntp.org\n",
          .arguments = {{.name = "SERVER", .what = "the server name (\"\" clears it)"}},
          .check = CheckNtpSet,
          .run = RunNtpSet,
      },
  };
  return kCommands;
}

}  // namespace kolmara::cli
