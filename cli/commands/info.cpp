// The product summary and the device clock.
#include "cli/commands/families.h"
#include "cli/output.h"
#include "cli/session.h"
#include "pages/productinfo_logic.h"

namespace kolmara::cli {
namespace {

int RunInfo(Session& s, CommandCall& call) {
  Notification n;
  if (const int rc = s.Exchange([](CMySocket& c) { return c.RequestDeviceInfo(); }, kNotifyDeviceInfo, n);
      rc != kExitOk)
    return rc;
  if (!n.block) return s.Lost();
  const DeviceInfoBlock block = DeviceInfoBlock::FromBytes(n.block->data());
  StoreProductIdentity(block, s.Store());
  call.io.out << FormatInfo(BuildProductSummary(block, s.Store()), call.Json());
  return kExitOk;
}

int RunTime(Session& s, CommandCall& call) {
  Notification n;
  if (const int rc = s.Exchange([](CMySocket& c) { return c.RequestServerTime(); }, kNotifyServerTime, n);
      rc != kExitOk)
    return rc;
  const auto text = FormatServerTime(n.value, call.Json());
  if (!text) {
    s.Note("the device clock (" + std::to_string(n.value) + ") cannot be shown in local time");
    return kExitRefused;
  }
  call.io.out << *text;
  return kExitOk;
}

}  // namespace

std::span<const CommandEntry> InfoCommands() {
  static const CommandEntry kCommands[] = {
      {
          .words = {"info"},
          .summary = "product summary",
          .description = "Shows the product summary: firmware version, device name, server engine\n"
                         "version, MAC address, company, DDNS name, e-mail, max view ID, max connection.\n"
                         "JSON keys: firmware_version, device_name, server_engine_version, mac_address,\n"
                         "company, ddns, email, max_view_id, max_connection.\n",
          .example = "KOLMARA_PASSWORD=secret kolmarasetting-cli --host 192.168.0.20 --id admin info\n",
          .run = RunInfo,
      },
      {
          .words = {"time"},
          .summary = "the device's clock in local time",
          .description = "Shows the device's clock in this computer's local time.\n"
                         "JSON keys: seconds_since_1970, local_time.\n",
          .example = "kolmarasetting-cli --host mybox --id admin --password-file ~/.kolmara time\n",
          .run = RunTime,
      },
  };
  return kCommands;
}

}  // namespace kolmara::cli
