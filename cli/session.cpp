#include "cli/session.h"

#include "pages/productinfo_logic.h"
#include "pages/reply_messages_logic.h"

namespace kolmara::cli {
namespace {

std::string SecondsText(std::chrono::milliseconds t) {
  const double s = static_cast<double>(t.count()) / 1000.0;
  return QString::number(s, 'g', 6).toStdString();
}

}  // namespace

Session::Session(ClientIo& io, std::chrono::milliseconds timeout)
    : m_io(io), m_timeout(timeout), m_store(std::make_unique<CGlobalData>()) {}

Session::~Session() {
  if (m_store->m_pConnection) {
    m_store->m_pConnection->Disconnect();
    m_store->m_pConnection->SetNotifyWindow(nullptr);
  }
}

int Session::Open(const DeviceAddress& address, const LoginCredentials& credentials) {
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
  Notification reply;
  if (const int rc = Exchange([&](CMySocket& c) { return c.SendLogin(id, password); }, kNotifyLogin, reply);
      rc != kExitOk)
    return rc;
  if (!LoginCapacity(reply.value)) {
    Show(QString::fromUtf8(kMsgLoginFailed));
    return kExitLoginRefused;
  }
  return kExitOk;
}

int Session::Await(int code, Notification& result) {
  // One deadline for the whole wait: a chatty device must not stretch it.
  const auto deadline = std::chrono::steady_clock::now() + m_timeout;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    std::optional<Notification> n = left.count() > 0 ? m_queue.Next(left) : std::nullopt;
    if (!n) {
      Note("no answer from the device within " + SecondsText(m_timeout) + " s");
      return kExitConnection;
    }
    if (n->code == kNotifyConnectionEnded) return Lost();
    // Every notification taken goes into the store as the main window puts
    // it there, awaited or not.
    Absorb(*n);
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

void Session::Absorb(const Notification& n) {
  ApplyNotificationToStore(n, *m_store);
}

int Session::Lost() {
  Show(QString::fromUtf8(kMsgConnectionClosed));
  return kExitConnection;
}

void Session::Show(const QString& message) { m_io.err << message.toStdString() << "\n"; }

void Session::Note(const std::string& text) { m_io.err << kProgramName << ": " << text << "\n"; }

}  // namespace kolmara::cli
