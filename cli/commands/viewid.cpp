// The view-ID management page's table.
#include "cli/commands/families.h"
#include "cli/output.h"
#include "cli/session.h"
#include "pages/viewid_logic.h"

namespace kolmara::cli {
namespace {

int RunViewIdList(Session& s, CommandCall& call) {
  Notification n;
  if (const int rc = s.Exchange([](CMySocket& c) { return c.RequestViewIdList(); }, kNotifyViewIdTable, n);
      rc != kExitOk)
    return rc;
  call.io.out << FormatViewIds(ListViewIds(s.Store()), call.Json());
  return kExitOk;
}

}  // namespace

std::span<const CommandEntry> ViewIdCommands() {
  static const CommandEntry kCommands[] = {
      {
          .words = {"viewid", "list"},
          .summary = "view IDs",
          .description = "Lists the view IDs with name, group, super-user flag and the four\n"
                         "prohibitions (file transfer, log delete, server control, remote control).\n"
                         "Passwords are never shown.\n"
                         "JSON: {\"view_ids\": [{id, name, group, super_user, no_file_transfer,\n"
                         "no_log_delete, no_server_control, no_remote_control}, ...]}.\n",
          .example = "kolmarasetting-cli --host 10.0.0.5 --id admin viewid list\n",
          .run = RunViewIdList,
      },
  };
  return kCommands;
}

}  // namespace kolmara::cli
