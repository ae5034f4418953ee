#include "cli/client.h"

#include <QString>
#include <algorithm>
#include <cmath>
#include <memory>

#include "cli/output.h"
#include "connection/conversions.h"
#include "connection/device_address.h"
#include "connection/global_data.h"
#include "connection/my_socket.h"
#include "connection/notify.h"
#include "pages/account_logic.h"
#include "pages/login_logic.h"
#include "pages/network_logic.h"
#include "pages/productinfo_logic.h"
#include "pages/reply_messages_logic.h"
#include "pages/viewid_logic.h"
#include "pages/wol_logic.h"

namespace kolmara::cli {
namespace {

std::string SecondsText(std::chrono::milliseconds t) {
  const double s = static_cast<double>(t.count()) / 1000.0;
  return QString::number(s, 'g', 6).toStdString();
}

// One connection and its store for the length of a command. The queue is
// declared before the store so that it outlives the connection posting into it.
class Session {
 public:
  Session(ClientIo& io, std::chrono::milliseconds timeout)
      : m_io(io), m_timeout(timeout), m_store(std::make_unique<CGlobalData>()) {}

  ~Session() {
    if (m_store->m_pConnection) {
      m_store->m_pConnection->Disconnect();
      m_store->m_pConnection->SetNotifyWindow(nullptr);
    }
  }

  CGlobalData& Store() { return *m_store; }
  CMySocket& Connection() { return *m_store->m_pConnection; }

  // Connects and logs in by the login window's rules; kExitOk once the
  // device has accepted the login.
  int Open(const DeviceAddress& address, const LoginCredentials& credentials) {
    m_store->m_strAddress = address.host;
    m_store->m_pConnection = std::make_unique<CMySocket>(m_store.get());

    // The bound covers the name lookup as well as the connect.
    if (!Connection().Connect(&m_queue, address.host, address.port, m_timeout)) {
      Show(QString::fromUtf8(kMsgCannotConnect));
      if (Connection().LastConnectError() == ConnectError::kTimeout)
        Note("no connection within " + SecondsText(m_timeout) + " s");
      return kExitConnection;
    }
    const std::string_view id(credentials.idAnsi.constData(), credentials.idAnsi.size());
    const std::string_view password(credentials.passwordAnsi.constData(), credentials.passwordAnsi.size());
    if (!Connection().SendLogin(id, password)) return Lost();
    Notification reply;
    if (const int rc = Await(kNotifyLogin, reply); rc != kExitOk) return rc;
    if (!LoginCapacity(reply.value)) {
      Show(QString::fromUtf8(kMsgLoginFailed));
      return kExitLoginRefused;
    }
    return kExitOk;
  }

  // Waits for notification `code`. Every notification taken goes into the
  // store as the main window puts it there; device notices that arrive
  // meanwhile are told as the window tells them. The end of the connection
  // and the time-out end the wait.
  int Await(int code, Notification& result) {
    // One deadline for the whole wait: a chatty device must not stretch it.
    const auto deadline = std::chrono::steady_clock::now() + m_timeout;
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      std::optional<Notification> n =
          left.count() > 0 ? m_queue.Next(left) : std::nullopt;
      if (!n) {
        Note("no answer from the device within " + SecondsText(m_timeout) + " s");
        return kExitConnection;
      }
      if (n->code == kNotifyConnectionEnded) return Lost();
      ApplyNotificationToStore(*n, *m_store);
      if (n->code == code) {
        result = std::move(*n);
        return kExitOk;
      }
      if (n->code == kNotifyDeviceNotice) {
        const ReplyOutcome outcome = DescribeReply(n->code, n->value);
        if (!outcome.message.isEmpty()) Show(outcome.message);
        // The device restarts its relay service: the window would end here.
        if (outcome.endsWindow) return kExitConnection;
      }
    }
  }

  // A request that could not be sent has closed the connection.
  int Lost() {
    Show(QString::fromUtf8(kMsgConnectionClosed));
    return kExitConnection;
  }

  // A message exactly as the window shows it.
  void Show(const QString& message) { m_io.err << message.toStdString() << "\n"; }
  // The client's own remarks, marked as such.
  void Note(const std::string& text) { m_io.err << kProgramName << ": " << text << "\n"; }

 private:
  ClientIo& m_io;
  std::chrono::milliseconds m_timeout;
  NotificationQueue m_queue;
  std::unique_ptr<CGlobalData> m_store;
};

int Usage(ClientIo& io, const std::string& error) {
  io.err << kProgramName << ": " << error << "\nTry '" << kProgramName << " --help'.\n";
  return kExitUsage;
}

int RunCommand(Session& s, const Options& o, const AdminChangeResult& admin, const NtpServerRequest& ntp,
               ClientIo& io) {
  Notification n;
  switch (o.command) {
    case Command::kInfo: {
      if (!s.Connection().RequestDeviceInfo()) return s.Lost();
      if (const int rc = s.Await(kNotifyDeviceInfo, n); rc != kExitOk) return rc;
      if (!n.block) return s.Lost();
      const DeviceInfoBlock block = DeviceInfoBlock::FromBytes(n.block->data());
      StoreProductIdentity(block, s.Store());
      io.out << FormatInfo(BuildProductSummary(block, s.Store()), o.json);
      return kExitOk;
    }
    case Command::kTime: {
      if (!s.Connection().RequestServerTime()) return s.Lost();
      if (const int rc = s.Await(kNotifyServerTime, n); rc != kExitOk) return rc;
      const auto text = FormatServerTime(n.value, o.json);
      if (!text) {
        s.Note("the device clock (" + std::to_string(n.value) + ") cannot be shown in local time");
        return kExitRefused;
      }
      io.out << *text;
      return kExitOk;
    }
    case Command::kNetworkShow: {
      if (!s.Connection().RequestNetworkSettings()) return s.Lost();
      if (const int rc = s.Await(kNotifyNetwork, n); rc != kExitOk) return rc;
      if (!n.block) return s.Lost();
      io.out << FormatNetwork(BuildNetworkView(NetworkSettingsBlock::FromBytes(n.block->data())), o.json);
      return kExitOk;
    }
    case Command::kViewIdList: {
      if (!s.Connection().RequestViewIdList()) return s.Lost();
      if (const int rc = s.Await(kNotifyViewIdTable, n); rc != kExitOk) return rc;
      io.out << FormatViewIds(ListViewIds(s.Store()), o.json);
      return kExitOk;
    }
    case Command::kWolList: {
      if (!s.Connection().RequestWolTable()) return s.Lost();
      if (const int rc = s.Await(kNotifyWolTable, n); rc != kExitOk) return rc;
      io.out << FormatWolEntries(ListWolEntries(s.Store()), o.json);
      return kExitOk;
    }
    case Command::kAdminSet: {
      const std::string_view id(admin.idAnsi.constData(), admin.idAnsi.size());
      const std::string_view password(admin.passwordAnsi.constData(), admin.passwordAnsi.size());
      if (!s.Connection().SendAdminAccount(id, password)) return s.Lost();
      if (const int rc = s.Await(kNotifyAdminChanged, n); rc != kExitOk) return rc;
      const ReplyOutcome outcome = DescribeReply(kNotifyAdminChanged, n.value);
      if (outcome.message.isEmpty()) {
        // The window stays silent here; a script must still learn of it.
        s.Note("the device did not accept the change (answer " + std::to_string(n.value) + ")");
        return kExitRefused;
      }
      io.out << FormatDone(outcome.message, n.value, o.json);
      return kExitOk;
    }
    case Command::kNtpSet: {
      const std::string_view server(ntp.serverAnsi.constData(), ntp.serverAnsi.size());
      if (!s.Connection().SetNtpServer(server)) return s.Lost();
      if (const int rc = s.Await(kNotifyNtpServer, n); rc != kExitOk) return rc;
      // The answer carries no verdict: the window confirms whatever it says.
      io.out << FormatDone(DescribeReply(kNotifyNtpServer, n.value).message, n.value, o.json);
      return kExitOk;
    }
    case Command::kNone:
      break;
  }
  return kExitUsage;
}

}  // namespace

int RunClient(const std::vector<std::string>& args, ClientIo& io) {
  const ParseResult parsed = ParseArguments(args, io.env);
  if (!parsed.ok) return Usage(io, parsed.error);
  const Options& o = parsed.options;
  if (o.help) {
    io.out << HelpText(o.command);
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
  if (!secret.ok) return Usage(io, secret.error);
  const LoginCredentials credentials =
      CheckLoginCredentials(QString::fromStdString(o.id), QString::fromStdString(secret.password));
  if (!credentials.ok) {
    io.err << credentials.message.toStdString() << "\n";
    return kExitRefused;
  }

  AdminChangeResult admin;
  if (o.command == Command::kAdminSet) {
    const SecretResult fresh = ReadNewPassword(o, io.env, io.terminal);
    if (!fresh.ok) return Usage(io, fresh.error);
    admin = CheckAdminChange(QString::fromStdString(*o.newId), QString::fromStdString(fresh.password),
                             QString::fromStdString(fresh.confirm));
    if (!admin.ok) {
      io.err << admin.message.toStdString() << "\n";
      return kExitRefused;
    }
  }
  NtpServerRequest ntp;
  if (o.command == Command::kNtpSet) {
    ntp = CheckNtpServer(QString::fromStdString(o.ntpServer));
    if (!ntp.ok) {
      io.err << ntp.message.toStdString() << "\n";
      return kExitRefused;
    }
  }

  Session session(io, o.timeout);
  if (const int rc = session.Open(address, credentials); rc != kExitOk) return rc;
  return RunCommand(session, o, admin, ntp, io);
}

}  // namespace kolmara::cli
