#include "app/login_dlg.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "app/app_icon.h"
#include "connection/conversions.h"
#include "connection/device_address.h"
#include "connection/global_data.h"
#include "connection/my_socket.h"
#include "connection/net_platform.h"
#include "connection/reply_reader.h"
#include "pages/login_logic.h"
#include "pages/prompt.h"

namespace kolmara {
namespace {

QSettings Profile() {
  return QSettings(QString::fromLatin1(kProfileOrganisation), QCoreApplication::applicationName());
}

QString ProfileKey() {
  return QString::fromLatin1(kProfileSection) + QLatin1Char('/') + QString::fromLatin1(kProfileAddressKey);
}

bool IsEnter(const QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  const int key = static_cast<const QKeyEvent*>(event)->key();
  return key == Qt::Key_Return || key == Qt::Key_Enter;
}

std::string_view View(const QByteArray& bytes) { return std::string_view(bytes.constData(), bytes.size()); }

bool HasAsciiLetter(const QString& text) {
  for (QChar c : text)
    if ((c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('a') && c <= QLatin1Char('z')))
      return true;
  return false;
}

std::optional<std::string> SystemLookup(const std::string& name) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  if (getaddrinfo(name.c_str(), nullptr, &hints, &result) != 0 || !result) return std::nullopt;
  char text[INET_ADDRSTRLEN] = {};
  const bool ok =
      inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(result->ai_addr)->sin_addr, text, sizeof text);
  freeaddrinfo(result);
  if (!ok) return std::nullopt;
  return std::string(text);
}

}  // namespace

CLoginDlg::CLoginDlg(CGlobalData& store, IPrompt& prompt, QWidget* parent)
    : QDialog(parent), m_store(store), m_prompt(prompt) {
  setObjectName(QStringLiteral("loginDialog"));
  setWindowTitle(QStringLiteral("KolmaraSetting Login"));
  setWindowIcon(ProgramIcon());
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

  m_pAddress = new QLineEdit(this);
  m_pAddress->setObjectName(QStringLiteral("addressEdit"));
  m_pId = new QLineEdit(this);
  m_pId->setObjectName(QStringLiteral("idEdit"));
  m_pPassword = new QLineEdit(this);
  m_pPassword->setObjectName(QStringLiteral("passwordEdit"));
  m_pPassword->setEchoMode(QLineEdit::Password);
  m_pLogin = new QPushButton(QStringLiteral("Login"), this);
  m_pLogin->setObjectName(QStringLiteral("loginButton"));
  // Enter is this window's own business (see eventFilter), never the button's.
  m_pLogin->setAutoDefault(false);
  m_pLogin->setDefault(false);
  m_pLogin->setMinimumSize(100, 0);
  m_pLogin->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(20, 20, 20, 20);
  grid->setHorizontalSpacing(14);
  grid->setVerticalSpacing(10);
  grid->addWidget(new QLabel(QString::fromUtf8("Kolmara QX 주소"), this), 0, 0);
  grid->addWidget(new QLabel(QString::fromUtf8("관리자 아이디"), this), 1, 0);
  grid->addWidget(new QLabel(QString::fromUtf8("비 밀 번 호"), this), 2, 0);
  grid->addWidget(m_pAddress, 0, 1);
  grid->addWidget(m_pId, 1, 1);
  grid->addWidget(m_pPassword, 2, 1);
  grid->addWidget(m_pLogin, 0, 2, 3, 1);
  grid->setColumnStretch(1, 1);
  grid->setColumnMinimumWidth(1, 240);

  for (QWidget* w : std::initializer_list<QWidget*>{m_pAddress, m_pId, m_pPassword, m_pLogin})
    w->installEventFilter(this);
  connect(m_pLogin, &QPushButton::clicked, this, &CLoginDlg::OnLoginButton);

  m_pAddress->setText(Profile().value(ProfileKey()).toString());
}

CLoginDlg::~CLoginDlg() {
  AbandonWorker();
  // Without a hand-over the connection still names this window as its target.
  if (!m_bHandedOver && m_store.m_pConnection) m_store.m_pConnection->SetNotifyWindow(nullptr);
}

void CLoginDlg::SetFields(const QString& address, const QString& id, const QString& password) {
  m_pAddress->setText(address);
  m_pId->setText(id);
  m_pPassword->setText(password);
}

bool CLoginDlg::eventFilter(QObject* watched, QEvent* event) {
  if (IsEnter(event)) {
    if (watched == m_pAddress)
      m_pId->setFocus(Qt::TabFocusReason);
    else if (watched == m_pId)
      m_pPassword->setFocus(Qt::TabFocusReason);
    else if (watched == m_pPassword)
      OnLoginButton();
    return true;  // consumed everywhere: Enter neither closes the window nor presses the button
  }
  return QDialog::eventFilter(watched, event);
}

void CLoginDlg::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);  // Escape cancels
}

void CLoginDlg::OnLoginButton() {
  if (m_nLoginState.load() != kIdle) {
    m_prompt.Message(this, QString::fromUtf8(kMsgConnecting));
    return;
  }
  const LoginCredentials credentials = CheckLoginCredentials(m_pId->text(), m_pPassword->text());
  if (!credentials.ok) {
    m_prompt.Message(this, credentials.message);
    return;
  }
  const QString typed = m_pAddress->text();
  const DeviceAddress address = ParseDeviceAddress(typed);
  if (!address.ok) {
    m_prompt.Message(this, QString::fromUtf8(kMsgCannotConnect));
    return;
  }
  m_store.m_strAddress = address.host;
  if (!m_store.m_pConnection) m_store.m_pConnection = std::make_unique<CMySocket>(&m_store);

  // The last attempt's worker has finished or is about to: it ends right
  // after the call that brought the state back to idle.
  if (m_worker.joinable()) m_worker.join();
  m_nLoginState = kConnecting;
  m_bWorkerDone = false;
  m_worker = std::thread(&CLoginDlg::ConnectAndLogin, this, address.host, address.port, credentials.idAnsi,
                         credentials.passwordAnsi, typed);
}

// Worker thread: touches no widget, only the connection and the state word.
void CLoginDlg::ConnectAndLogin(QString host, int port, QByteArray id, QByteArray password, QString typed) {
  struct Done {
    std::atomic<bool>& flag;
    ~Done() { flag = true; }
  } done{m_bWorkerDone};
  CMySocket* connection = m_store.m_pConnection.get();
  if (connection->IsConnected()) {
    // Refused before: the connection is still open, only the login goes again.
    connection->SendLogin(View(id), View(password));
    return;
  }
  QString target = host;
  // A host text too long for the connection is left to it to refuse.
  if (HasAsciiLetter(host) && static_cast<std::size_t>(WideToAnsiBytes(host).size()) <= CMySocket::kMaxHostBytes) {
    const std::optional<QString> address = LookUp(host);
    if (!address) {
      QMetaObject::invokeMethod(this, [this] { OnConnectFailed(); }, Qt::QueuedConnection);
      return;
    }
    target = *address;
  }
  if (!connection->Connect(&m_target, target, port)) {
    QMetaObject::invokeMethod(this, [this] { OnConnectFailed(); }, Qt::QueuedConnection);
    return;
  }
  // Queued before the login goes out, so the profile is written before the
  // reply (posted to the same queue) is handled.
  QMetaObject::invokeMethod(this, [this, typed] { OnConnected(typed); }, Qt::QueuedConnection);
  connection->SendLogin(View(id), View(password));
}

void CLoginDlg::OnConnected(const QString& typed) {
  Profile().setValue(ProfileKey(), typed);
  if (m_nLoginState.load() == kConnecting) m_nLoginState = kLoginSent;
}

void CLoginDlg::OnConnectFailed() {
  if (m_bClosing) return;
  m_prompt.Message(this, QString::fromUtf8(kMsgCannotConnect));
  m_nLoginState = kIdle;
}

void CLoginDlg::customEvent(QEvent* event) {
  if (event->type() == static_cast<QEvent::Type>(kReplyEventType)) {
    OnUserReplyMsg(static_cast<ReplyEvent*>(event)->notification());
    return;
  }
  QDialog::customEvent(event);
}

void CLoginDlg::OnUserReplyMsg(const Notification& n) {
  DebugOutput("HHHHHHHHHH OnUserReplyMsg........");
  if (m_bClosing || m_bHandedOver) return;
  if (n.code == kNotifyConnectionEnded) {
    // The connection is gone: the next press must connect again rather
    // than wait for a reply that cannot come.
    m_nLoginState = kIdle;
    return;
  }
  if (n.code != CMD_LOGIN) return;
  if (const std::optional<std::int32_t> capacity = LoginCapacity(n.value)) {
    m_nLoginState = kLoginSent;
    m_store.m_nViewIdCapacity = *capacity;
    m_store.m_bLoggedIn = 1;
    accept();
    return;
  }
  m_store.m_bLoggedIn = 0;
  m_prompt.Message(this, QString::fromUtf8(kMsgLoginFailed));
  m_nLoginState = kIdle;
}

std::optional<QString> CLoginDlg::LookUp(const QString& host) {
  // The system's resolver knows no way to be interrupted and may take tens
  // of seconds when no DNS server answers; a closed window must not wait for
  // it. The lookup runs on a thread that owns nothing but this state and is
  // left behind when the window goes.
  struct State {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::optional<std::string> address;
  };
  auto state = std::make_shared<State>();
  NameLookup lookup = m_lookup ? m_lookup : NameLookup(SystemLookup);
  const QByteArray name = WideToAnsiBytes(host);
  std::thread([state, lookup = std::move(lookup), name = name.toStdString()] {
    std::optional<std::string> address = lookup(name);
    std::lock_guard lock(state->mutex);
    state->address = std::move(address);
    state->finished = true;
    state->done.notify_all();
  }).detach();

  std::unique_lock lock(state->mutex);
  while (!state->finished) {
    if (m_bAbandoned.load()) return std::nullopt;
    state->done.wait_for(lock, std::chrono::milliseconds(20));
  }
  if (!state->address) return std::nullopt;
  return QString::fromStdString(*state->address);
}

void CLoginDlg::AbandonWorker() {
  if (!m_worker.joinable()) return;
  m_bAbandoned = true;
  // A connect under way gives up at once instead of waiting for the system;
  // one asked for before the worker reaches Connect still ends it.
  if (!m_bWorkerDone.load() && m_store.m_pConnection) m_store.m_pConnection->AbortConnect();
  m_worker.join();
}

void CLoginDlg::reject() {
  m_bClosing = true;
  AbandonWorker();
  QDialog::reject();
}

}  // namespace kolmara
