#pragma once
// The login window: device address, administrator ID and password. The
// connect and the login request run on a worker thread; every widget and
// every message stays on the user-interface thread.
#include <QByteArray>
#include <QDialog>
#include <QString>
#include <atomic>
#include <thread>

#include "connection/host_lookup.h"
#include "connection/qt_notify.h"

class QLineEdit;
class QPushButton;

namespace kolmara {

class CGlobalData;
class IPrompt;

class CLoginDlg : public QDialog {
  Q_OBJECT

 public:
  enum LoginState { kIdle = 0, kConnecting = 1, kLoginSent = 2 };

  CLoginDlg(CGlobalData& store, IPrompt& prompt, QWidget* parent = nullptr);
  ~CLoginDlg() override;

  // Button "Login", and Enter in the password field.
  void OnLoginButton();
  int LoginState() const { return m_nLoginState.load(); }

  // Fills the three fields (the demo mode's substitute device).
  void SetFields(const QString& address, const QString& id, const QString& password);

  // After an accepted login the main window owns the notifications; from
  // then on this window must not take the connection's target back.
  void HandOver() { m_bHandedOver = true; }

  // The lookup of a device name, handed to the connection: tests put their
  // own here; the system's resolver otherwise.
  void SetNameLookup(NameLookup lookup) { m_lookup = std::move(lookup); }

  void reject() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void customEvent(QEvent* event) override;

 private:
  void ConnectAndLogin(QString host, int port, QByteArray id, QByteArray password, QString typed);
  void OnConnected(const QString& typed);
  void OnConnectFailed();
  void OnUserReplyMsg(const Notification& n);
  void AbandonWorker();

  CGlobalData& m_store;
  IPrompt& m_prompt;
  QtNotifyTarget m_target{this};
  QLineEdit* m_pAddress;
  QLineEdit* m_pId;
  QLineEdit* m_pPassword;
  QPushButton* m_pLogin;
  std::thread m_worker;
  std::atomic<int> m_nLoginState{kIdle};
  std::atomic<bool> m_bWorkerDone{true};
  NameLookup m_lookup;
  bool m_bClosing = false;
  bool m_bHandedOver = false;
};

}  // namespace kolmara
