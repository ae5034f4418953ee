// The login window against a scripted peer on loopback: the login verdict,
// the profile, the Enter key, unreachable devices and closing mid-connect.
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QtTest>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "app/login_dlg.h"
#include "connection/global_data.h"
#include "connection/my_socket.h"
#include "pages/login_logic.h"
#include "tests/support/prompt_recording.h"
#include "test_peer.h"

using namespace kolmara;
using kolmara::testing::PeerRequest;
using kolmara::testing::TestPeer;

namespace {

QSettings Profile() { return QSettings(QStringLiteral("KolmaraSetting_Key"), QCoreApplication::applicationName()); }
QVariant SavedAddress() { return Profile().value(QStringLiteral("KolmaraSettingLogin/ControlServer")); }
QString U(const char* s) { return QString::fromUtf8(s); }

}  // namespace

class LoginWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<CGlobalData> m_store;
  std::unique_ptr<CRecordingPrompt> m_prompt;
  std::unique_ptr<CLoginDlg> m_login;
  std::unique_ptr<TestPeer> m_peer;

  QLineEdit* Edit(const char* name) { return m_login->findChild<QLineEdit*>(QString::fromLatin1(name)); }
  void Fill(const QString& address, const QString& id = QStringLiteral("admin"),
            const QString& password = QStringLiteral("admin")) {
    m_login->SetFields(address, id, password);
  }
  QString PeerAddress() const { return QStringLiteral("127.0.0.1:%1").arg(m_peer->Port()); }

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void init() {
    Profile().clear();
    m_store = std::make_unique<CGlobalData>();
    m_prompt = std::make_unique<CRecordingPrompt>();
    m_peer = std::make_unique<TestPeer>();
    QVERIFY(m_peer->Start());
    m_login = std::make_unique<CLoginDlg>(*m_store, *m_prompt);
    m_login->show();
  }

  void cleanup() {
    m_login.reset();
    m_store.reset();  // closes the connection before the peer goes
    m_peer.reset();
    m_prompt.reset();
  }

  void loginVerdict_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("capacity");
    QTest::newRow("101") << 101 << true << 1;
    QTest::newRow("150") << 150 << true << 50;
    QTest::newRow("200") << 200 << true << 100;
    QTest::newRow("249") << 249 << true << 100;
    QTest::newRow("100") << 100 << false << 10;
    QTest::newRow("250") << 250 << false << 10;
    QTest::newRow("-1") << -1 << false << 10;
  }
  void loginVerdict() {
    QFETCH(int, value);
    QFETCH(bool, accepted);
    QFETCH(int, capacity);
    m_peer->SetLoginReply(value);
    Fill(PeerAddress());
    m_login->OnLoginButton();
    if (accepted) {
      QTRY_COMPARE(m_login->result(), int(QDialog::Accepted));
      QVERIFY(m_prompt->Messages().isEmpty());
      QCOMPARE(m_store->m_bLoggedIn, 1);
    } else {
      QTRY_COMPARE(m_prompt->Messages(), QStringList{U(kMsgLoginFailed)});
      QCOMPARE(m_login->LoginState(), int(CLoginDlg::kIdle));
      QVERIFY(m_login->isVisible());
      QVERIFY(m_store->m_pConnection->IsConnected());  // kept for the next try
    }
    QCOMPARE(m_store->m_nViewIdCapacity, capacity);
    QCOMPARE(SavedAddress().toString(), PeerAddress());  // every successful connect writes it
    QCOMPARE(m_peer->RequestCodes(), std::vector<std::uint8_t>{CMD_LOGIN});
    const PeerRequest login = m_peer->Requests().front();
    QCOMPARE(login.value, 124);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(login.body.data()) + 4), QByteArray("admin"));
  }

  void secondPressAfterRefusalSendsOnlyTheLogin() {
    m_peer->SetLoginReply(250);
    Fill(PeerAddress());
    m_login->OnLoginButton();
    QTRY_COMPARE(m_prompt->Messages().size(), 1);
    QCOMPARE(SavedAddress().toString(), PeerAddress());
    Profile().setValue(QStringLiteral("KolmaraSettingLogin/ControlServer"), QStringLiteral("sentinel"));

    m_peer->SetLoginReply(150);
    Fill(PeerAddress(), QStringLiteral("admin"), QStringLiteral("right"));
    m_login->OnLoginButton();
    QTRY_COMPARE(m_login->result(), int(QDialog::Accepted));
    QCOMPARE(m_peer->Connections(), 1);
    QCOMPARE(m_peer->RequestCodes(), (std::vector<std::uint8_t>{CMD_LOGIN, CMD_LOGIN}));
    QCOMPARE(SavedAddress().toString(), QStringLiteral("sentinel"));
    QCOMPARE(m_store->m_nViewIdCapacity, 50);
  }

  void profileAddressIsReadWhenTheWindowOpens() {
    Profile().setValue(QStringLiteral("KolmaraSettingLogin/ControlServer"), QStringLiteral("box.example.org:9000"));
    CLoginDlg second(*m_store, *m_prompt);
    QCOMPARE(second.findChild<QLineEdit*>("addressEdit")->text(), QStringLiteral("box.example.org:9000"));
  }

  void enterMovesThroughTheFieldsAndLogsInOnlyFromThePassword() {
    Fill(PeerAddress());
    QVERIFY(QTest::qWaitForWindowActive(m_login.get()));
    Edit("addressEdit")->setFocus();
    QTest::keyClick(Edit("addressEdit"), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), Edit("idEdit"));
    QTest::keyClick(Edit("idEdit"), Qt::Key_Enter);
    QCOMPARE(QApplication::focusWidget(), Edit("passwordEdit"));
    QCOMPARE(m_login->LoginState(), int(CLoginDlg::kIdle));
    QCOMPARE(m_peer->Connections(), 0);

    // Enter on the button neither presses it nor closes the window.
    auto* button = m_login->findChild<QPushButton*>("loginButton");
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Return);
    QCOMPARE(m_login->LoginState(), int(CLoginDlg::kIdle));
    QVERIFY(m_login->isVisible());

    QTest::keyClick(Edit("passwordEdit"), Qt::Key_Return);
    QTRY_COMPARE(m_login->result(), int(QDialog::Accepted));
    QCOMPARE(m_peer->Connections(), 1);
  }

  void unreachableDeviceIsReported() {
    Fill(QStringLiteral("127.0.0.1:%1").arg(kolmara::testing::ClosedLoopbackPort()));
    m_login->OnLoginButton();
    QTRY_COMPARE(m_prompt->Messages(), QStringList{U(kMsgCannotConnect)});
    QCOMPARE(m_login->LoginState(), int(CLoginDlg::kIdle));
    QVERIFY(!SavedAddress().isValid());
    // Idle again: the next press tries again.
    Fill(PeerAddress());
    m_login->OnLoginButton();
    QTRY_COMPARE(m_login->result(), int(QDialog::Accepted));
  }

  void badPortIsRefusedWithoutConnecting_data() {
    QTest::addColumn<QString>("address");
    QTest::newRow("port 0") << "127.0.0.1:0";
    QTest::newRow("port 65536") << "127.0.0.1:65536";
    QTest::newRow("letters") << "127.0.0.1:http";
    QTest::newRow("empty port") << "127.0.0.1:";
  }
  void badPortIsRefusedWithoutConnecting() {
    QFETCH(QString, address);
    Fill(address);
    m_login->OnLoginButton();
    QCOMPARE(m_prompt->Messages(), QStringList{U(kMsgCannotConnect)});
    QCOMPARE(m_login->LoginState(), int(CLoginDlg::kIdle));
    QVERIFY(!m_store->m_pConnection || !m_store->m_pConnection->IsConnected());
  }

  void bareNameGetsTheDdnsSuffix() {
    // 50 letters + the suffix exceed the 63 bytes a host may have, so the
    // connect fails before any name lookup: the test stays off the network.
    const QString bare(50, QLatin1Char('b'));
    Fill(bare + QStringLiteral(":%1").arg(m_peer->Port()));
    m_login->OnLoginButton();
    QCOMPARE(m_store->m_strAddress, bare + QStringLiteral(".kolmaraqx.net"));
    QTRY_COMPARE(m_prompt->Messages(), QStringList{U(kMsgCannotConnect)});
    QCOMPARE(m_store->m_pConnection->LastConnectError(), ConnectError::kHostTooLong);
    QVERIFY(!SavedAddress().isValid());
  }

  void bareNameIsLookedUpWithTheSuffixAndKeptAsTyped() {
    auto asked = std::make_shared<std::vector<std::string>>();
    m_login->SetNameLookup([asked](const std::string& name) -> std::optional<std::string> {
      asked->push_back(name);
      if (name == "mybox.kolmaraqx.net") return "127.0.0.1";
      return std::nullopt;
    });
    const QString typed = QStringLiteral("mybox:%1").arg(m_peer->Port());
    Fill(typed);
    m_login->OnLoginButton();
    QTRY_COMPARE(m_login->result(), int(QDialog::Accepted));
    QCOMPARE(*asked, std::vector<std::string>{"mybox.kolmaraqx.net"});
    QCOMPARE(m_store->m_strAddress, QStringLiteral("mybox.kolmaraqx.net"));
    QCOMPARE(SavedAddress().toString(), typed);
    QCOMPARE(m_peer->Connections(), 1);
  }

  void failedLookupCannotConnect() {
    m_login->SetNameLookup([](const std::string&) { return std::optional<std::string>(); });
    Fill(QStringLiteral("nosuchbox"));
    m_login->OnLoginButton();
    QTRY_COMPARE(m_prompt->Messages(), QStringList{U(kMsgCannotConnect)});
    QCOMPARE(m_login->LoginState(), int(CLoginDlg::kIdle));
    QVERIFY(!SavedAddress().isValid());
  }

  void closeQuicklyWhileANameLookupHangs() {
    // A resolver with no DNS server to answer it: it returns when told, or
    // by itself after 3 s, so a window that waits for it fails rather than hangs.
    struct Gate {
      std::mutex mutex;
      std::condition_variable cv;
      bool open = false, finished = false;
    };
    auto gate = std::make_shared<Gate>();
    m_login->SetNameLookup([gate](const std::string&) -> std::optional<std::string> {
      std::unique_lock lock(gate->mutex);
      gate->cv.wait_for(lock, std::chrono::seconds(3), [&] { return gate->open; });
      gate->finished = true;
      gate->cv.notify_all();
      return "127.0.0.1";
    });
    Fill(QStringLiteral("hangingbox:%1").arg(m_peer->Port()));
    m_login->OnLoginButton();
    QTest::qWait(100);
    QCOMPARE(m_login->LoginState(), int(CLoginDlg::kConnecting));

    QElapsedTimer timer;
    timer.start();
    m_login->reject();
    QVERIFY2(timer.elapsed() < 1000, "closing waited for the name lookup");
    QCOMPARE(m_login->result(), int(QDialog::Rejected));

    // The lookup that answers late reaches nothing: no connect, no message.
    {
      std::unique_lock lock(gate->mutex);
      gate->open = true;
      gate->cv.notify_all();
      gate->cv.wait(lock, [&] { return gate->finished; });
    }
    QTest::qWait(100);
    QCOMPARE(m_peer->Connections(), 0);
    QVERIFY(m_prompt->Messages().isEmpty());
  }

  void dottedAddressIsUsedAsTyped() {
    Fill(PeerAddress());
    m_login->OnLoginButton();
    QTRY_COMPARE(m_login->result(), int(QDialog::Accepted));
    QCOMPARE(m_store->m_strAddress, QStringLiteral("127.0.0.1"));
    QCOMPARE(SavedAddress().toString(), PeerAddress());  // the port stays as typed
  }

  void credentialsTooLongAreRefusedBeforeConnecting() {
    Fill(PeerAddress(), QString(40, QLatin1Char('a')), QStringLiteral("pw"));
    m_login->OnLoginButton();
    QCOMPARE(m_prompt->Messages().size(), 1);
    QVERIFY(m_prompt->Messages().front().contains(QStringLiteral("39")));
    QCOMPARE(m_login->LoginState(), int(CLoginDlg::kIdle));
    QTest::qWait(50);
    QCOMPARE(m_peer->Connections(), 0);
  }

  void pressWhileWaitingShowsTheConnectingMessage() {
    m_peer->SetLoginReply(std::nullopt);
    Fill(PeerAddress());
    m_login->OnLoginButton();
    QTRY_COMPARE(m_login->LoginState(), int(CLoginDlg::kLoginSent));
    m_login->OnLoginButton();
    QCOMPARE(m_prompt->Messages(), QStringList{U(kMsgConnecting)});
    QCOMPARE(m_peer->Connections(), 1);
  }

  void lostConnectionReturnsToIdle() {
    m_peer->SetCloseAfterLogin(true);
    Fill(PeerAddress());
    m_login->OnLoginButton();
    QTRY_VERIFY(m_peer->Connections() == 1 && !m_store->m_pConnection->IsConnected());
    QTRY_COMPARE(m_login->LoginState(), int(CLoginDlg::kIdle));
    QVERIFY(m_prompt->Messages().isEmpty());  // the login window shows nothing for it

    m_peer->SetCloseAfterLogin(false);
    m_login->OnLoginButton();
    QTRY_COMPARE(m_login->result(), int(QDialog::Accepted));
    QCOMPARE(m_peer->Connections(), 2);
  }

  void stayResponsiveAndCloseQuicklyWhileAConnectHangs() {
    kolmara::testing::HangingListener hanging;
    Fill(QStringLiteral("127.0.0.1:%1").arg(hanging.Port()));
    m_login->OnLoginButton();
    QCOMPARE(m_login->LoginState(), int(CLoginDlg::kConnecting));
    QTest::qWait(300);  // the event loop runs while the worker blocks
    m_login->OnLoginButton();
    QCOMPARE(m_prompt->Messages(), QStringList{U(kMsgConnecting)});

    QElapsedTimer timer;
    timer.start();
    m_login->reject();
    QVERIFY2(timer.elapsed() < 2000, "closing waited for the connect");
    QCOMPARE(m_login->result(), int(QDialog::Rejected));
    QTest::qWait(100);
    QCOMPARE(m_prompt->Messages().size(), 1);  // no late "cannot connect" from the abandoned attempt
  }
};

QTEST_MAIN(LoginWindowTest)
#include "login_window_test.moc"
