// The Wake-on-LAN page's table.
#include "cli/commands/families.h"
#include "cli/output.h"
#include "cli/session.h"
#include "pages/wol_logic.h"

namespace kolmara::cli {
namespace {

int RunWolList(Session& s, CommandCall& call) {
  Notification n;
  if (const int rc = s.Exchange([](CMySocket& c) { return c.RequestWolTable(); }, kNotifyWolTable, n);
      rc != kExitOk)
    return rc;
  call.io.out << FormatWolEntries(ListWolEntries(s.Store()), call.Json());
  return kExitOk;
}

}  // namespace

std::span<const CommandEntry> WolCommands() {
  static const CommandEntry kCommands[] = {
      {
          .words = {"wol", "list"},
          .summary = "Wake-on-LAN table",
          .description = "Lists the Wake-on-LAN table: PC name and MAC address.\n"
                         "JSON: {\"entries\": [{name, mac}, ...]}.\n",
          .example = "kolmarasetting-cli --host 10.0.0.5 --id admin --json wol list\n",
          .run = RunWolList,
      },
  };
  return kCommands;
}

}  // namespace kolmara::cli
