// The main window: the reply dispatch as a table, tab requests on a scripted
// peer, the product summary and administrator pages, endings while boxes are
// open, the page key filter, and a login against the substitute device.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QtTest>
#include <cstdlib>

#include "app/kolmara_setting_dlg.h"
#include "app/login_dlg.h"
#include "connection/global_data.h"
#include "connection/my_socket.h"
#include "connection/records.h"
#include "device/sim_device.h"
#include "pages/account_page.h"
#include "tests/support/prompt_recording.h"
#include "test_peer.h"

using namespace kolmara;
using kolmara::testing::PeerRequest;
using kolmara::testing::TestPeer;

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

Notification Note(int code, std::int32_t value) { return Notification{code, value, std::nullopt}; }

Notification BlockNote(int code, const std::array<std::uint8_t, kBlockSize>& bytes) {
  Notification n{code, 0, std::nullopt};
  n.block = bytes;
  return n;
}

QString FirstText(const std::vector<std::uint8_t>& body, std::size_t offset) {
  return QString::fromLatin1(reinterpret_cast<const char*>(body.data()) + offset);
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<CGlobalData> m_store;
  std::unique_ptr<CRecordingPrompt> m_prompt;
  std::unique_ptr<TestPeer> m_peer;

  QString Field(CKolmaraSettingDlg& w, const char* name) {
    return w.findChild<QLineEdit*>(QString::fromLatin1(name))->text();
  }
  // A connection to the scripted peer, opened as the login window leaves it.
  void ConnectToPeer() {
    m_peer = std::make_unique<TestPeer>();
    QVERIFY(m_peer->Start());
    m_store->m_pConnection = std::make_unique<CMySocket>(m_store.get());
    QVERIFY(m_store->m_pConnection->Connect(nullptr, QStringLiteral("127.0.0.1"), m_peer->Port()));
  }

 private slots:
  void initTestCase() {
    // The server time is shown in the PC's zone; fix it for the table below.
    setenv("TZ", "Asia/Seoul", 1);
    tzset();
    QStandardPaths::setTestModeEnabled(true);
  }

  void init() {
    m_store = std::make_unique<CGlobalData>();
    m_prompt = std::make_unique<CRecordingPrompt>();
  }

  void cleanup() {
    m_store.reset();
    m_peer.reset();
    m_prompt.reset();
  }

  void dispatch_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("message");  // empty: nothing shown
    QTest::addColumn<bool>("ends");
    QTest::addColumn<int>("capacity");  // the store starts at 10
    QTest::addColumn<int>("limit");     // ... and 0
    QTest::addColumn<int>("loggedIn");  // ... and 7

    auto row = [](const char* name, int code, int value, const char* message, bool ends = false,
                  int capacity = 10, int limit = 0, int loggedIn = 7) {
      QTest::newRow(name) << code << value << U(message) << ends << capacity << limit << loggedIn;
    };
    const char* loginFailed = "로그인 실패입니다. 관리자 아이디 및 비밀번호를 확인하세요.";
    row("login 101", kNotifyLogin, 101, "", false, 1, 0, 1);
    row("login 150", kNotifyLogin, 150, "", false, 50, 0, 1);
    row("login 249", kNotifyLogin, 249, "", false, 100, 0, 1);
    row("login 100", kNotifyLogin, 100, loginFailed, false, 10, 0, 0);
    row("login 250", kNotifyLogin, 250, loginFailed, false, 10, 0, 0);
    row("admin 101", kNotifyAdminChanged, 101, "관리자 아이디/비밀번호가 변경 되었습니다.");
    row("admin 102", kNotifyAdminChanged, 102, "");
    row("view-id list", kNotifyViewIdTable, 3, "");
    row("view-id saved 101", kNotifyViewIdWritten, 101, "센터아이디가 설정 되었습니다.");
    row("view-id saved 0", kNotifyViewIdWritten, 0, "센터아이디 설정이 실패 하였습니다.");
    row("wol table", kNotifyWolTable, 101, "");
    row("wol saved 101", kNotifyWolWritten, 101, "WOL이 설정 되었습니다.");
    row("wol saved 1", kNotifyWolWritten, 1, "WOL이 설정이 실패하였습니다.");
    row("ddns id 101", kNotifyDdnsCheck, 101, "사용가능한 아이디입니다.");
    row("ddns id 102", kNotifyDdnsCheck, 102, "해당 아이디는 이미 사용 중입니다.");
    row("ddns id 103", kNotifyDdnsCheck, 103, "해당 맥어드레스가 이미 사용 중입니다.");
    row("ddns id 104", kNotifyDdnsCheck, 104, "알 수 없는 에러입니다. 다시 시도하세요.");
    row("product 101", kNotifyMacRegistered, 101, "net - 제품 등록 성공입니다., com - 제품 등록 성공입니다.");
    row("product 401", kNotifyMacRegistered, 401, "net - 이미 등록됨., com - 이미 등록됨.");
    row("product 402", kNotifyMacRegistered, 402, "net -  제품 등록 실패입니다., com -  제품 등록 실패입니다.");
    row("product 403", kNotifyMacRegistered, 403, "net - 이미 등록됨.., com - 제품 등록 성공입니다.");
    row("product 404", kNotifyMacRegistered, 404, "net - 제품 등록 성공입니다., com - 이미 등록됨.");
    row("product 405", kNotifyMacRegistered, 405, "net - 제품 등록 실패입니다., com - 제품 등록 성공입니다.");
    row("product 406", kNotifyMacRegistered, 406, "net - 제품 등록 성공입니다., com - 제품 등록 실패입니다.");
    row("product 407", kNotifyMacRegistered, 407, "net - 제품 등록 실패입니다., com - 이미 등록됨.");
    row("product 408", kNotifyMacRegistered, 408, "net - 이미 등록됨., com - 제품 등록 실패입니다.");
    row("product 409", kNotifyMacRegistered, 409, "제품 등록에 실패했습니다.(Unknown Error)");
    row("ddns 101", kNotifyDdnsRegistered, 101, "net - DDNS 등록 성공입니다, com - DDNS 등록 성공입니다");
    row("ddns 401", kNotifyDdnsRegistered, 401, "net - 제품등록이 필요합니다., com - 제품등록이 필요합니다.");
    row("ddns 402", kNotifyDdnsRegistered, 402, "net - 이미 등록됨., com - 이미 등록됨.");
    row("ddns 403", kNotifyDdnsRegistered, 403, "net - DDNS 등록 성공입니다., com - 제품등록이 필요합니다.");
    row("ddns 404", kNotifyDdnsRegistered, 404, "net - 제품등록이 필요합니다., com - DDNS 등록 성공입니다.");
    row("ddns 405", kNotifyDdnsRegistered, 405, "net - DDNS 등록 성공입니다., com -  이미 등록됨.");
    row("ddns 406", kNotifyDdnsRegistered, 406, "net - 이미 등록됨., com - DDNS 등록 성공입니다.");
    row("ddns 407", kNotifyDdnsRegistered, 407, "net - DDNS 등록 실패., com - DDNS 등록 실패.");
    row("ddns 408", kNotifyDdnsRegistered, 408, "net - DDNS 등록 성공., com - DDNS 등록 실패.");
    row("ddns 409", kNotifyDdnsRegistered, 409, "net - 등록 실패., com - DDNS 등록 성공.");
    row("ddns 410", kNotifyDdnsRegistered, 410, "DDNS 등록에 실패했습니다. 다시 시도하세요.");
    row("update 0", kNotifyUpdateStage, 0, "");
    row("update 8", kNotifyUpdateStage, 8, "");
    row("update 98", kNotifyUpdateStage, 98, "Update 실패입니다. - Update 할 수 있는 버전이 아닙니다.");
    row("update 99", kNotifyUpdateStage, 99, "Update서버 연결 실패입니다. - 1");
    row("update 100", kNotifyUpdateStage, 100, "");
    for (int silent : {kNotifyReply14, kNotifyReply15, kNotifyReply16, kNotifyReply17, kNotifyBulk21, kNotifyBulk22,
                       kNotifyReply23})
      QTest::addRow("silent %d", silent) << silent << 101 << QString() << false << 10 << 0 << 7;
    row("notice 101 restarts", kNotifyDeviceNotice, 101, "중계서버를 재시작 합니다.", true);
    row("notice 0", kNotifyDeviceNotice, 0, "");
    row("notice 1", kNotifyDeviceNotice, 1, "", false, 1);
    row("notice 99", kNotifyDeviceNotice, 99, "", false, 99);
    row("notice 100", kNotifyDeviceNotice, 100, "");
    row("notice 1000", kNotifyDeviceNotice, 1000, "");
    row("notice 1001", kNotifyDeviceNotice, 1001, "스케줄사용권한 설정이 변경되었습니다. 중계서버를 재시작해야 적용됩니다.");
    row("notice 5499", kNotifyDeviceNotice, 5499, "스케줄사용권한 설정이 변경되었습니다. 중계서버를 재시작해야 적용됩니다.");
    row("notice 5500", kNotifyDeviceNotice, 5500, "");
    row("notice 6000", kNotifyDeviceNotice, 6000, "");
    row("notice 6001", kNotifyDeviceNotice, 6001, "", false, 10, 1);
    row("notice 10000", kNotifyDeviceNotice, 10000, "", false, 10, 4000);
    row("notice 10001", kNotifyDeviceNotice, 10001, "");
    row("firmware 0 ends", kNotifyFirmwareUpdate, 0, "펌웨어 업그레이드가 완료되었습니다. 서버가 재부팅됩니다.", true);
    row("firmware 99", kNotifyFirmwareUpdate, 99, "Update서버 연결 오류입니다.");
    row("firmware 1", kNotifyFirmwareUpdate, 1, "");
    row("ntp 0", kNotifyNtpServer, 0, "NTP Server가 설정되었습니다.");
    row("ntp -5", kNotifyNtpServer, -5, "NTP Server가 설정되었습니다.");
    row("server time 0", kNotifyServerTime, 0, "현재 서버의 시간은 1970-01-01 09:00:00 입니다.");
    row("server time 2024", kNotifyServerTime, 1708560000, "현재 서버의 시간은 2024-02-22 09:00:00 입니다.");
    row("web upload 0", kNotifyWebUpload, 0, "WEB Page 업로드가 완료되었습니다.");
    row("web upload 7", kNotifyWebUpload, 7, "WEB Page 업로드가 완료되었습니다.");
    row("firmware upload 0", kNotifyFirmwareUpload, 0, "Firmware 업로드가 완료되었습니다.");
    row("firmware upload 1", kNotifyFirmwareUpload, 1, "업로드한 Firmware의 platform이 장비와 일치하지 않습니다.");
    row("firmware upload 2", kNotifyFirmwareUpload, 2, "업로드한 Firmware의 파일크기 오류입니다.");
    row("firmware upload 3", kNotifyFirmwareUpload, 3, "Firmware 업로드가 실패하였습니다. - UNKNOWN");
    row("connection closed", kNotifyConnectionEnded, 0, "서버접속이 해제 되었습니다.", true);
    row("code 0", 0, 101, "");
    row("code 26", 26, 101, "");
    row("code 254", 254, 101, "");
  }
  void dispatch() {
    QFETCH(int, code);
    QFETCH(int, value);
    QFETCH(QString, message);
    QFETCH(bool, ends);
    QFETCH(int, capacity);
    QFETCH(int, limit);
    QFETCH(int, loggedIn);
    m_store->m_bLoggedIn = 7;
    CKolmaraSettingDlg window(*m_store, *m_prompt);
    window.show();
    window.OnReplyNotification(Note(code, value));
    QCOMPARE(m_prompt->Messages(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(window.HasEnded(), ends);
    QCOMPARE(window.isVisible(), !ends);
    if (ends) QCOMPARE(window.result(), int(QDialog::Accepted));
    QCOMPARE(m_store->m_nViewIdCapacity, capacity);
    QCOMPARE(m_store->m_nConnectionLimit, limit);
    QCOMPARE(m_store->m_bLoggedIn, loggedIn);
  }

  void deviceInformationFillsTheStoreAndTheProductPage() {
    CKolmaraSettingDlg window(*m_store, *m_prompt);
    m_store->m_nViewIdCapacity = 25;
    DeviceInfoBlock b;
    b.SetFirmwareVersion("3.1.7");
    b.SetEngineVersion("24.2.1");
    b.SetDeviceName("QXPB4K");
    b.SetCompany("Kolmara");
    b.SetDdnsName("");
    b.SetEmail("a@b.c");
    b.SetMacAddress({0x00, 0x1A, 0x2B, 0x0C, 0xD4, 0xFF});
    b.SetDeviceValue280(5);
    b.SetDeviceByte272(9);
    b.SetBlankMode(2);
    b.SetConnectionLimit(700);
    window.OnReplyNotification(BlockNote(kNotifyDeviceInfo, b.bytes));

    QCOMPARE(Field(window, "macAddressEdit"), QStringLiteral("00:1a:2b:0c:d4:ff"));
    QCOMPARE(Field(window, "ddnsEdit"), QStringLiteral(".kolmaraqx.net"));
    QCOMPARE(Field(window, "engineVersionEdit"), QStringLiteral("24.2.1"));
    QCOMPARE(Field(window, "firmwareVersionEdit"), QStringLiteral("3.1.7"));
    QCOMPARE(Field(window, "maxViewIdEdit"), QStringLiteral("25"));
    QCOMPARE(Field(window, "maxConnectionEdit"), QStringLiteral("700"));  // stored before the page reads it
    QCOMPARE(m_store->m_strEngineVersion, QStringLiteral("24.02.01"));
    QCOMPARE(m_store->m_strDeviceName, QStringLiteral("QXPB4K"));
    QCOMPARE(m_store->m_nDeviceValue280, 10);
    QCOMPARE(m_store->m_nDeviceByte272, 9);
    QCOMPARE(m_store->m_nBlankMode.load(), 2);
    QVERIFY(m_prompt->Messages().isEmpty());

    // A second block replaces every field, empty ones included.
    DeviceInfoBlock second;
    second.SetEngineVersion("25.1.3");
    second.SetDdnsName("box");
    second.SetDeviceValue280(3000);
    window.OnReplyNotification(BlockNote(kNotifyDeviceInfo, second.bytes));
    QCOMPARE(Field(window, "firmwareVersionEdit"), QString());
    QCOMPARE(Field(window, "companyEdit"), QString());
    QCOMPARE(Field(window, "ddnsEdit"), QStringLiteral("box.kolmaraqx.net"));
    QCOMPARE(Field(window, "macAddressEdit"), QStringLiteral("00:00:00:00:00:00"));
    QCOMPARE(m_store->m_strEngineVersion, QStringLiteral("25.01.03"));
    QCOMPARE(m_store->m_strDeviceName, QString());
    QCOMPARE(m_store->m_nDeviceValue280, 2040);
  }

  // The tables come as copies with their notifications; the window puts them
  // into the store before any page looks.
  void tableNotificationsFillTheStore() {
    CKolmaraSettingDlg window(*m_store, *m_prompt);
    m_store->ViewIdSlot(200)[0] = 0x77;  // past the 101 slots a table clears
    window.OnReplyNotification(
        Notification{kNotifyViewIdTable, 3, std::nullopt, std::make_shared<TableBytes>(kViewIdWireMinimum, 0x41)});
    window.OnReplyNotification(
        Notification{kNotifyWolTable, 150, std::nullopt, std::make_shared<TableBytes>(kWolTableSize, 0x42)});
    QCOMPARE(m_store->m_nViewIdCount, 3);
    QCOMPARE(int(m_store->ViewIdSlot(100)[kViewIdRecordSize - 1]), 0x41);
    QCOMPARE(int(m_store->ViewIdSlot(200)[0]), 0x77);
    QCOMPARE(m_store->m_nWolCount, 101);
    QCOMPARE(int(m_store->m_WolTable[kWolTableSize - 1]), 0x42);
    QVERIFY(m_prompt->Messages().isEmpty());
  }

  void productFieldsAreEmptyBeforeTheFirstBlock() {
    CKolmaraSettingDlg window(*m_store, *m_prompt);
    for (const char* name : {"firmwareVersionEdit", "deviceNameEdit", "engineVersionEdit", "macAddressEdit",
                             "companyEdit", "ddnsEdit", "emailEdit", "maxViewIdEdit", "maxConnectionEdit"})
      QCOMPARE(Field(window, name), QString());
  }

  void tabsAndCaptions() {
    CKolmaraSettingDlg window(*m_store, *m_prompt);
    const QStringList captions{"Product Summary",      "Change ID/Password",    "View ID Management",
                               "Wake On Lan",          "Network/DDNS Setting",  "Kolmara Online Update",
                               "Web Page Upload",      "Kolmara Offline Update"};
    const QStringList classes{"CProductinfoPage", "CAccountPage", "CCenteridPage", "CWolPage",
                              "CNetworkPage",     "CUpdatePage",  "CWebPage",      "CFirmwarePage"};
    QTabWidget* tabs = window.TabControl();
    QCOMPARE(tabs->count(), 8);
    for (int i = 0; i < 8; ++i) {
      QCOMPARE(tabs->tabText(i), captions[i]);
      QCOMPARE(tabs->widget(i)->objectName(), classes[i]);
    }
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(window.windowTitle(), QStringLiteral("KolmaraSetting"));
  }

  void tabSwitchSendsItsRequestOnlyWhileConnected() {
    ConnectToPeer();
    CKolmaraSettingDlg window(*m_store, *m_prompt);
    window.show();
    // Opening asks for the device information once.
    QTRY_COMPARE(m_peer->RequestCodes(), std::vector<std::uint8_t>{CMD_GET_INFO});
    QTabWidget* tabs = window.TabControl();
    for (int i : {1, 2, 3, 4, 5, 6, 7, 0}) tabs->setCurrentIndex(i);
    const std::vector<std::uint8_t> expected{CMD_GET_INFO, CMD_GET_VIEWID_LIST, CMD_GET_WOL_TABLE, CMD_GET_NETWORK,
                                             CMD_GET_INFO};
    QTRY_COMPARE(m_peer->RequestCodes(), expected);
    const std::vector<PeerRequest> requests = m_peer->Requests();
    QCOMPARE(requests[1].value, 101);
    QCOMPARE(requests[2].value, 101);
    QCOMPARE(requests[3].value, 0);

    // The peer answered the information requests through the event queue.
    QTRY_COMPARE(Field(window, "macAddressEdit"), QStringLiteral("00:00:00:00:00:00"));

    // Online update stage 8 asks the device to flash, while connected.
    window.OnReplyNotification(Note(kNotifyUpdateStage, 8));
    QTRY_COMPARE(m_peer->RequestCodes().back(), std::uint8_t{CMD_FIRMWARE_UPDATE});

    m_store->m_pConnection->Disconnect();
    const std::size_t before = m_peer->Requests().size();
    for (int i : {1, 2, 3, 4, 0}) tabs->setCurrentIndex(i);
    window.OnReplyNotification(Note(kNotifyUpdateStage, 8));
    QTest::qWait(100);
    QCOMPARE(m_peer->Requests().size(), before);
    QCOMPARE(tabs->currentIndex(), 0);  // the switch still happens
  }

  void lostConnectionEndsTheWindowThroughTheEventQueue() {
    ConnectToPeer();
    CKolmaraSettingDlg window(*m_store, *m_prompt);
    window.show();
    QTRY_COMPARE(m_peer->Requests().size(), std::size_t{1});
    m_peer->CloseClient();
    QTRY_VERIFY(window.HasEnded());
    QCOMPARE(m_prompt->Messages(), QStringList{U("서버접속이 해제 되었습니다.")});
  }

  void connectionLostBeforeTheWindowTookOverEndsIt() {
    // The device closes just after accepting the login: its end goes to the
    // login window, which ignores it (here: to no window at all).
    ConnectToPeer();
    QVERIFY(m_store->m_pConnection->SendLogin("admin", "admin"));
    QTRY_COMPARE(m_peer->Requests().size(), std::size_t{1});  // the peer holds the client now
    m_peer->CloseClient();
    QTRY_VERIFY(!m_store->m_pConnection->IsConnected());
    CKolmaraSettingDlg window(*m_store, *m_prompt);
    window.show();
    QTRY_VERIFY(window.HasEnded());
    QCOMPARE(m_prompt->Messages(), QStringList{U("서버접속이 해제 되었습니다.")});
    QCOMPARE(m_peer->RequestCodes(), std::vector<std::uint8_t>{CMD_LOGIN});  // no request into the void

    // The receive thread's own notice, had it come here too, is not told twice.
    window.OnReplyNotification(Note(kNotifyConnectionEnded, 0));
    QCOMPARE(m_prompt->Messages().size(), 1);
  }

  void endingWaitsForTheBoxesThatAreOpen() {
    CKolmaraSettingDlg window(*m_store, *m_prompt);
    window.show();
    bool endedWhileOpen = true;
    m_prompt->DuringNextMessage([&] {
      window.OnReplyNotification(Note(kNotifyConnectionEnded, 0));
      endedWhileOpen = window.HasEnded();
    });
    window.OnReplyNotification(Note(kNotifyViewIdWritten, 101));
    QCOMPARE(m_prompt->Messages(),
             (QStringList{U("센터아이디가 설정 되었습니다."), U("서버접속이 해제 되었습니다.")}));
    QVERIFY(!endedWhileOpen);
    QVERIFY(window.HasEnded());
    QCOMPARE(window.result(), int(QDialog::Accepted));

    // A second ending request is harmless.
    window.OnReplyNotification(Note(kNotifyDeviceNotice, 101));
    QVERIFY(window.HasEnded());
    QCOMPARE(m_prompt->Messages().size(), 3);
  }

  void endingWaitsForAPageBox() {
    CKolmaraSettingDlg window(*m_store, *m_prompt);
    window.show();
    auto* account = window.findChild<CAccountPage*>();
    bool endedWhileOpen = true;
    m_prompt->DuringNextMessage([&] {
      window.OnReplyNotification(Note(kNotifyFirmwareUpdate, 0));
      endedWhileOpen = window.HasEnded();
    });
    account->OnChange();  // empty fields: the page's own message box
    QCOMPARE(m_prompt->Messages().front(), U("관리자 아이디를 입력하세요."));
    QVERIFY(!endedWhileOpen);
    QVERIFY(window.HasEnded());
  }

  void accountPageChecksInOrder_data() {
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("confirm");
    QTest::addColumn<QString>("message");
    QTest::newRow("all empty") << "" << "" << "" << U("관리자 아이디를 입력하세요.");
    QTest::newRow("password empty") << "admin" << "" << "secret"
                                    << U("관리자 아이디/비밀번호를 변경하려면 새 비밀번호를 입력하세요.");
    QTest::newRow("case differs") << "admin" << "Secret" << "secret" << U("비밀번호확인이 일치하지 않습니다.");
    QTest::newRow("valid while down") << "admin" << "secret" << "secret" << QString();
  }
  void accountPageChecksInOrder() {
    QFETCH(QString, id);
    QFETCH(QString, password);
    QFETCH(QString, confirm);
    QFETCH(QString, message);
    CKolmaraSettingDlg window(*m_store, *m_prompt);
    window.TabControl()->setCurrentIndex(1);
    window.findChild<QLineEdit*>("newIdEdit")->setText(id);
    window.findChild<QLineEdit*>("newPasswordEdit")->setText(password);
    window.findChild<QLineEdit*>("confirmPasswordEdit")->setText(confirm);
    QTest::mouseClick(window.findChild<QPushButton*>("changeButton"), Qt::LeftButton);
    QCOMPARE(m_prompt->Messages(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(window.findChild<QLineEdit*>("newIdEdit")->text(), id);  // fields are never cleared
  }

  void accountPageSendsTheNewCredentials() {
    ConnectToPeer();
    CKolmaraSettingDlg window(*m_store, *m_prompt);
    window.findChild<QLineEdit*>("newIdEdit")->setText(QStringLiteral(" boss "));
    window.findChild<QLineEdit*>("newPasswordEdit")->setText(QStringLiteral("pa ss"));
    window.findChild<QLineEdit*>("confirmPasswordEdit")->setText(QStringLiteral("pa ss"));
    QTest::mouseClick(window.findChild<QPushButton*>("changeButton"), Qt::LeftButton);
    QTRY_COMPARE(m_peer->RequestCodes(), (std::vector<std::uint8_t>{CMD_GET_INFO, CMD_SET_ADMIN}));
    const PeerRequest r = m_peer->Requests().back();
    QCOMPARE(r.value, 124);
    QCOMPARE(FirstText(r.body, 4), QStringLiteral(" boss "));
    QCOMPARE(FirstText(r.body, 44), QStringLiteral("pa ss"));
    QVERIFY(m_prompt->Messages().isEmpty());

    // Too long for the body: refused with the limit, nothing sent.
    window.findChild<QLineEdit*>("newPasswordEdit")->setText(QString(80, QLatin1Char('p')));
    window.findChild<QLineEdit*>("confirmPasswordEdit")->setText(QString(80, QLatin1Char('p')));
    QTest::mouseClick(window.findChild<QPushButton*>("changeButton"), Qt::LeftButton);
    QCOMPARE(m_prompt->Messages().size(), 1);
    QVERIFY(m_prompt->Messages().front().contains(QStringLiteral("79")));
    QTest::qWait(50);
    QCOMPARE(m_peer->Requests().size(), std::size_t{2});
  }

  void enterAndEscapeInsideAPageAreSwallowed() {
    CKolmaraSettingDlg window(*m_store, *m_prompt);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.TabControl()->setCurrentIndex(1);
    auto* id = window.findChild<QLineEdit*>("newIdEdit");
    auto* button = window.findChild<QPushButton*>("changeButton");
    id->setFocus();
    for (QWidget* target : std::initializer_list<QWidget*>{id, button}) {
      target->setFocus();
      QTest::keyClick(target, Qt::Key_Return);
      QTest::keyClick(target, Qt::Key_Enter);
      QTest::keyClick(target, Qt::Key_Escape);
    }
    QVERIFY(window.isVisible());
    QVERIFY(m_prompt->Messages().isEmpty());  // the button was never pressed

    // Right after a tab switch the focus is on the window: Enter there must
    // not end it (and lose what the pages hold), Escape still does.
    window.TabControl()->setCurrentIndex(0);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(&window));
    QTest::keyClick(&window, Qt::Key_Return);
    QTest::keyClick(&window, Qt::Key_Enter, Qt::KeypadModifier);
    QVERIFY(window.isVisible());
    QTest::keyClick(&window, Qt::Key_Escape);
    QVERIFY(!window.isVisible());
    QCOMPARE(window.result(), int(QDialog::Rejected));
  }

  void enlargingTheWindowScalesOnlyTheTabStrip() {
    CKolmaraSettingDlg window(*m_store, *m_prompt);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(window.Resizer().ReferenceSize().width() > 0);
    const QSize reference = window.Resizer().ReferenceSize();
    const QRect before = window.TabControl()->geometry();
    window.resize(reference.width() * 2, reference.height());
    QTRY_COMPARE(window.TabControl()->geometry().width(), before.width() * 2);
    QCOMPARE(window.TabControl()->geometry().left(), before.left() * 2);
    QCOMPARE(window.TabControl()->geometry().top(), before.top());
    window.resize(reference.width() - 50, reference.height() - 50);
    QTRY_COMPARE(window.TabControl()->geometry(), before);
  }

  void demoLoginShowsTheSubstituteDevice() {
    device::SimConfig config;
    config.viewIdCapacity = 42;
    device::SimDevice sim(config);
    QVERIFY(sim.Start());
    {
      CLoginDlg login(*m_store, *m_prompt);
      login.SetFields(QStringLiteral("127.0.0.1:%1").arg(sim.Port()), "admin", "admin");
      login.show();
      login.OnLoginButton();
      QTRY_COMPARE(login.result(), int(QDialog::Accepted));
      login.HandOver();
      CKolmaraSettingDlg window(*m_store, *m_prompt);
      window.show();
      QTRY_COMPARE(Field(window, "firmwareVersionEdit"), QStringLiteral("3.2.7"));
      QCOMPARE(Field(window, "deviceNameEdit"), QStringLiteral("QXPB4K"));
      QCOMPARE(Field(window, "macAddressEdit"), QStringLiteral("00:1a:2b:3c:4d:5e"));
      QCOMPARE(Field(window, "maxViewIdEdit"), QStringLiteral("42"));
      QCOMPARE(Field(window, "maxConnectionEdit"), QStringLiteral("32"));
      QCOMPARE(m_store->m_strEngineVersion, QStringLiteral("24.02.01"));
      QVERIFY(m_prompt->Messages().isEmpty());
    }
    // The window closed the connection when it went.
    QVERIFY(!m_store->m_pConnection->IsConnected());
    sim.Stop();
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
