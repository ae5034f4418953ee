#include "cli/client.h"

#include "cli/session.h"
#include "connection/device_address.h"
#include "pages/login_logic.h"

namespace kolmara::cli {

int RunClient(const std::vector<std::string>& args, ClientIo& io) {
  const CommandList commands = ClientCommands();
  const ParseResult parsed = ParseArguments(args, io.env, commands);
  if (!parsed.ok) return UsageError(io, parsed.error);
  const Options& o = parsed.options;
  if (o.help) {
    io.out << (o.helpWord.empty() ? HelpText(o.command, commands) : WordHelpText(o.helpWord, commands));
    return kExitOk;
  }

  const DeviceAddress address = ParseDeviceAddress(QString::fromStdString(o.host));
  if (!address.ok) {
    // The login window refuses such an address with its message; say which
    // part was wrong as well.
    io.err << kMsgCannotConnect << "\n"
           << kProgramName << ": the port in --host '" << o.host << "' must be a number from 1 to 65535\n";
    return kExitRefused;
  }

  // Everything that needs no device is settled before connecting, so a
  // refused input costs no login and leaves no trace on the device.
  const SecretResult secret = ReadLoginPassword(o, io.env, io.terminal);
  if (!secret.ok) return UsageError(io, secret.error);
  const LoginCredentials credentials =
      CheckLoginCredentials(QString::fromStdString(o.id), QString::fromStdString(secret.password));
  if (!credentials.ok) {
    io.err << credentials.message.toStdString() << "\n";
    return kExitRefused;
  }
  CommandCall call{o, io, {}};
  if (o.command->check)
    if (const int rc = o.command->check(call); rc != kExitOk) return rc;

  Session session(io, o.timeout);
  if (const int rc = session.Open(address, credentials); rc != kExitOk) return rc;
  return o.command->run(session, call);
}

}  // namespace kolmara::cli
