#include "app/login_dlg.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <memory>

#include "app/app_icon.h"
#include "connection/device_address.h"
#include "connection/global_data.h"
#include "connection/my_socket.h"
#include "connection/reply_reader.h"
#include "pages/login_logic.h"
#include "pages/prompt.h"
#include "pages/reply_messages_logic.h"

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
  if (m_lookup) m_store.m_pConnection->SetNameLookup(m_lookup);

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
  if (!connection->Connect(&m_target, host, port)) {
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
  if (ReplyEvent* reply = AsReplyEvent(event)) {
    OnUserReplyMsg(reply->notification());
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
  if (n.code != kNotifyLogin) return;
  // The capacity and the logged-in flag, by the same rule as the main window.
  ApplyNotificationToStore(n, m_store);
  if (LoginCapacity(n.value)) {
    m_nLoginState = kLoginSent;
    accept();
    return;
  }
  m_prompt.Message(this, QString::fromUtf8(kMsgLoginFailed));
  m_nLoginState = kIdle;
}

void CLoginDlg::AbandonWorker() {
  if (!m_worker.joinable()) return;
  // A connect (or its name lookup) under way gives up at once instead of
  // waiting for the system; one asked for before the worker reaches Connect
  // still ends it.
  if (!m_bWorkerDone.load() && m_store.m_pConnection) m_store.m_pConnection->AbortConnect();
  m_worker.join();
}

void CLoginDlg::reject() {
  m_bClosing = true;
  AbandonWorker();
  QDialog::reject();
}

}  // namespace kolmara
