// The administrator page's account.
#include "cli/commands/families.h"
#include "cli/output.h"
#include "cli/session.h"
#include "pages/account_logic.h"
#include "pages/reply_messages_logic.h"

namespace kolmara::cli {
namespace {

int CheckAdminSet(CommandCall& call) {
  const SecretResult fresh = ReadNewPassword(call.options, call.io.env, call.io.terminal);
  if (!fresh.ok) return UsageError(call.io, fresh.error);
  AdminChangeResult admin = CheckAdminChange(QString::fromStdString(*call.options.Value("--new-id")),
                                             QString::fromStdString(fresh.password),
                                             QString::fromStdString(fresh.confirm));
  if (!admin.ok) return call.Refuse(admin.message);
  call.input = std::move(admin);
  return kExitOk;
}

int RunAdminSet(Session& s, CommandCall& call) {
  const AdminChangeResult& admin = call.Input<AdminChangeResult>();
  const std::string_view id(admin.idAnsi.constData(), admin.idAnsi.size());
  const std::string_view password(admin.passwordAnsi.constData(), admin.passwordAnsi.size());
  Notification n;
  if (const int rc = s.Exchange([&](CMySocket& c) { return c.SendAdminAccount(id, password); },
                                kNotifyAdminChanged, n);
      rc != kExitOk)
    return rc;
  const ReplyOutcome outcome = DescribeReply(kNotifyAdminChanged, n.value);
  if (outcome.message.isEmpty()) {
    // The window stays silent here; a script must still learn of it.
    s.Note("the device did not accept the change (answer " + std::to_string(n.value) + ")");
    return kExitRefused;
  }
  call.io.out << FormatDone(outcome.message, n.value, call.Json());
  return kExitOk;
}

}  // namespace

std::span<const CommandEntry> AdminCommands() {
  static const CommandEntry kCommands[] = {
      {
          .words = {"admin", "set"},
          .summary = "replace the administrator ID and password",
          .description = "Replaces the administrator ID and password, with the checks of the\n"
                         "administrator page (ID given, password given, confirmation equal, lengths).\n"
                         "The new password comes from --new-password-file (first line; an optional\n"
                         "second line is the confirmation), else from KOLMARA_NEW_PASSWORD, else from\n"
                         "a prompt asked twice.\n"
                         "JSON keys: message, value (the device's answer).\n",
          .example = "KOLMARA_PASSWORD=old KOLMARA_NEW_PASSWORD=new \\\n"
                     "  kolmarasetting-cli --host 10.0.0.5 --id admin admin set --new-id admin2\n",
          .options =
              {
                  {.name = "--new-id",
                   .kind = OptionKind::kText,
                   .value = "ID",
                   .help = "the new administrator ID",
                   .required = true},
                  kNewPasswordFileOption,
              },
          .check = CheckAdminSet,
          .run = RunAdminSet,
      },
  };
  return kCommands;
}

}  // namespace kolmara::cli
