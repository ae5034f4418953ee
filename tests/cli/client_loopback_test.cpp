// The client against a device on loopback: the substitute device for every
// command, a scripted peer where the exact bytes or a misbehaving device
// matter.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdlib>
#include <fstream>

#include "cli_test_support.h"
#include "connection/conversions.h"
#include "connection/records.h"
#include "device/sim_device.h"
#include "pages/viewid_logic.h"
#include "pages/wol_logic.h"

namespace kolmara::cli::test {
namespace {

constexpr char kPassword[] = "s3cret!";

QJsonObject ParseJson(const std::string& text) {
  QJsonParseError error;
  const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError) << text;
  EXPECT_TRUE(doc.isObject()) << text;
  return doc.object();
}

QStringList SortedKeys(const QJsonObject& o) {
  QStringList keys = o.keys();
  keys.sort();
  return keys;
}

void PutText(std::vector<std::uint8_t>& bytes, std::size_t offset, const std::string& text) {
  std::memcpy(bytes.data() + offset, text.data(), text.size());
  bytes[offset + text.size()] = 0;
}

std::string WriteTempFile(const std::string& name, const std::string& contents) {
  const std::string path = ::testing::TempDir() + std::to_string(::getpid()) + "-" + name;
  std::ofstream(path, std::ios::binary) << contents;
  return path;
}

class ClientOnDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    device::SimConfig config;
    config.adminPassword = kPassword;
    config.viewIdCapacity = 20;
    m_device = std::make_unique<device::SimDevice>(config);
    std::string error;
    ASSERT_TRUE(m_device->Start(&error)) << error;

    device::DeviceState s = m_device->State();
    s.company = "콜마라 \xF0\x9F\x98\x80";  // the emoji has no place in code page 949
    s.ddnsName = "mybox";
    s.email = "ops@example.org";
    s.ntpServer = "time.example.org";
    s.network.SetTcpControlPort(9600);
    s.network.SetWebSslPort(9500);  // shown as 443
    s.network.SetServiceFlags(0xFFFFFFFFu);
    // Two view IDs.
    s.viewIdCount = 2;
    std::uint8_t* r0 = s.viewIdTable.data();
    PutText(s.viewIdTable, ViewIdRecord::kId, "oper1");
    PutText(s.viewIdTable, ViewIdRecord::kName, "김철수");
    WriteU32(r0 + ViewIdRecord::kGroupNumber, 7);
    r0[ViewIdRecord::kSuperUser] = 1;
    r0[ViewIdRecord::kNoLogDelete] = 1;
    std::uint8_t* r1 = r0 + kViewIdRecordSize;
    PutText(s.viewIdTable, kViewIdRecordSize + ViewIdRecord::kId, "oper2");
    WriteU32(r1 + ViewIdRecord::kGroupNumber, 0);
    r1[ViewIdRecord::kNoRemoteControl] = 1;
    // Two Wake-on-LAN entries.
    s.wolCount = 2;
    PutText(s.wolTable, WolEntry::kName, "사무실PC");
    PutText(s.wolTable, WolEntry::kMac, "ab:39:22:44:12:aa");
    PutText(s.wolTable, kWolEntrySize + WolEntry::kName, "PC2");
    PutText(s.wolTable, kWolEntrySize + WolEntry::kMac, "AB-39-22-44-12-AB");
    m_device->SetState(s);
  }

  std::string Host() const { return "127.0.0.1:" + std::to_string(m_device->Port()); }

  RunResult Run(std::vector<std::string> words, std::map<std::string, std::string> env = {},
                ITerminal* terminal = nullptr) {
    std::vector<std::string> args{"--host", Host(), "--id", "admin", "--timeout", "5"};
    args.insert(args.end(), words.begin(), words.end());
    env.emplace("KOLMARA_PASSWORD", kPassword);
    return RunInProcess(args, env, terminal);
  }

  std::unique_ptr<device::SimDevice> m_device;
};

TEST_F(ClientOnDevice, InfoShowsTheProductSummary) {
  const RunResult r = Run({"--json", "info"});
  ASSERT_EQ(r.rc, kExitOk) << r.err;
  EXPECT_EQ(r.err, "");
  const QJsonObject o = ParseJson(r.out);
  EXPECT_EQ(SortedKeys(o), QStringList({"company", "ddns", "device_name", "email", "firmware_version",
                                        "mac_address", "max_connection", "max_view_id", "server_engine_version"}));
  EXPECT_EQ(o["firmware_version"].toString(), "3.2.7");
  EXPECT_EQ(o["device_name"].toString(), "QXPB4K");
  EXPECT_EQ(o["server_engine_version"].toString(), "24.2.1");  // as received, not normalised
  EXPECT_EQ(o["mac_address"].toString(), "00:1a:2b:3c:4d:5e");
  EXPECT_EQ(o["company"].toString(), QString::fromUtf8("콜마라 ?"));
  EXPECT_EQ(o["ddns"].toString(), "mybox.kolmaraqx.net");
  EXPECT_EQ(o["email"].toString(), "ops@example.org");
  EXPECT_EQ(o["max_view_id"].toInt(), 20);     // from the login reply
  EXPECT_EQ(o["max_connection"].toInt(), 32);  // from the block

  const RunResult table = Run({"info"});
  ASSERT_EQ(table.rc, kExitOk) << table.err;
  EXPECT_NE(table.out.find("Server Engine Version : 24.2.1\n"), std::string::npos) << table.out;
  EXPECT_NE(table.out.find("Max View ID           : 20\n"), std::string::npos) << table.out;
}

TEST_F(ClientOnDevice, TimeShowsTheDeviceClockInLocalTime) {
  // POSIX zone text, so no zone database is needed: nine hours east of UTC.
  const char* old = std::getenv("TZ");
  const std::string saved = old ? old : "";
  setenv("TZ", "KST-9", 1);
  const auto before = std::time(nullptr);
  const RunResult r = Run({"--json", "time"});
  const RunResult text = Run({"time"});
  if (old) setenv("TZ", saved.c_str(), 1); else unsetenv("TZ");
  tzset();

  ASSERT_EQ(r.rc, kExitOk) << r.err;
  const QJsonObject o = ParseJson(r.out);
  const qint64 seconds = o["seconds_since_1970"].toInteger();
  EXPECT_NEAR(static_cast<double>(seconds), static_cast<double>(before), 5.0);
  const std::time_t shifted = static_cast<std::time_t>(seconds) + 9 * 3600;
  std::tm utc{};
  gmtime_r(&shifted, &utc);
  char expected[32];
  std::strftime(expected, sizeof expected, "%Y-%m-%d %H:%M:%S", &utc);
  EXPECT_EQ(o["local_time"].toString().toStdString(), expected);

  ASSERT_EQ(text.rc, kExitOk) << text.err;
  EXPECT_EQ(text.out.rfind("현재 서버의 시간은 ", 0), 0u) << text.out;
  EXPECT_NE(text.out.find(" 입니다.\n"), std::string::npos) << text.out;
}

TEST_F(ClientOnDevice, NetworkShowListsEveryFieldOfThePage) {
  const RunResult r = Run({"network", "show", "--json"});
  ASSERT_EQ(r.rc, kExitOk) << r.err;
  const QJsonObject o = ParseJson(r.out);
  EXPECT_EQ(SortedKeys(o), QStringList({"company", "config_port", "ddns", "dhcp", "email", "gateway", "ip",
                                        "mac_address", "netmask", "ntp_server", "relay_port", "tcp_control_port",
                                        "upnp", "web_server_off", "web_server_port", "web_ssl_port"}));
  EXPECT_EQ(o["ip"].toString(), "192.168.0.50");
  EXPECT_EQ(o["netmask"].toString(), "255.255.255.0");
  EXPECT_EQ(o["gateway"].toString(), "192.168.0.1");
  EXPECT_EQ(o["mac_address"].toString(), "00:1A:2B:3C:4D:5E");
  EXPECT_FALSE(o["dhcp"].toBool());
  EXPECT_TRUE(o["upnp"].toBool());
  EXPECT_EQ(o["tcp_control_port"].toInt(), 9600);
  EXPECT_EQ(o["web_ssl_port"].toInt(), 443);
  EXPECT_EQ(o["relay_port"].toInt(), 9501);
  EXPECT_EQ(o["web_server_port"].toInt(), 80);
  EXPECT_EQ(o["config_port"].toInt(), 9502);
  EXPECT_FALSE(o["web_server_off"].toBool());
  EXPECT_EQ(o["ddns"].toString(), "mybox");
  EXPECT_EQ(o["email"].toString(), "ops@example.org");
  EXPECT_EQ(o["company"].toString(), QString::fromUtf8("콜마라 ?"));
  EXPECT_EQ(o["ntp_server"].toString(), "time.example.org");
}

TEST_F(ClientOnDevice, ViewIdListDecodesTheRecords) {
  const RunResult r = Run({"viewid", "list", "--json"});
  ASSERT_EQ(r.rc, kExitOk) << r.err;
  const QJsonArray list = ParseJson(r.out)["view_ids"].toArray();
  ASSERT_EQ(list.size(), 2);
  const QJsonObject a = list[0].toObject();
  EXPECT_EQ(a["id"].toString(), "oper1");
  EXPECT_EQ(a["name"].toString(), QString::fromUtf8("김철수"));
  EXPECT_EQ(a["group"].toInt(), 7);
  EXPECT_TRUE(a["super_user"].toBool());
  EXPECT_FALSE(a["no_file_transfer"].toBool());
  EXPECT_TRUE(a["no_log_delete"].toBool());
  EXPECT_FALSE(a["no_server_control"].toBool());
  EXPECT_FALSE(a["no_remote_control"].toBool());
  const QJsonObject b = list[1].toObject();
  EXPECT_EQ(b["id"].toString(), "oper2");
  EXPECT_EQ(b["name"].toString(), "");
  EXPECT_FALSE(b["super_user"].toBool());
  EXPECT_TRUE(b["no_remote_control"].toBool());
  EXPECT_EQ(r.out.find(kPassword), std::string::npos);

  const RunResult table = Run({"viewid", "list"});
  ASSERT_EQ(table.rc, kExitOk) << table.err;
  EXPECT_NE(table.out.find("oper2"), std::string::npos) << table.out;
}

TEST_F(ClientOnDevice, WolListDecodesTheEntries) {
  const RunResult r = Run({"wol", "list", "--json"});
  ASSERT_EQ(r.rc, kExitOk) << r.err;
  const QJsonArray list = ParseJson(r.out)["entries"].toArray();
  ASSERT_EQ(list.size(), 2);
  EXPECT_EQ(list[0].toObject()["name"].toString(), QString::fromUtf8("사무실PC"));
  EXPECT_EQ(list[0].toObject()["mac"].toString(), "ab:39:22:44:12:aa");
  EXPECT_EQ(list[1].toObject()["mac"].toString(), "AB-39-22-44-12-AB");  // as stored, dashes kept
}

TEST_F(ClientOnDevice, AdminSetChangesTheCredentials) {
  const RunResult r = Run({"admin", "set", "--new-id", "boss"}, {{"KOLMARA_NEW_PASSWORD", "n3w pass"}});
  ASSERT_EQ(r.rc, kExitOk) << r.err;
  EXPECT_EQ(r.out, "관리자 아이디/비밀번호가 변경 되었습니다.\n");
  EXPECT_EQ(m_device->State().adminId, "boss");
  EXPECT_EQ(m_device->State().adminPassword, "n3w pass");
}

TEST_F(ClientOnDevice, AdminSetRefusalsShowThePageMessageAndSendNothing) {
  struct Case {
    const char* what;
    std::string newId;
    std::string fileContents;
    const char* message;
  };
  const Case cases[] = {
      {"empty ID", "", "pw\n", "관리자 아이디를 입력하세요."},
      {"empty password", "boss", "\n", "관리자 아이디/비밀번호를 변경하려면 새 비밀번호를 입력하세요."},
      {"confirmation differs in case", "boss", "Secret\nsecret\n", "비밀번호확인이 일치하지 않습니다."},
      {"ID beyond its field", std::string(40, 'a'), "pw\n",
       "관리자 아이디가 너무 깁니다. 39바이트(한글 19자) 이내로 입력하세요."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string file = WriteTempFile("newpw.txt", c.fileContents);
    const RunResult r = Run({"admin", "set", "--new-id", c.newId, "--new-password-file", file});
    EXPECT_EQ(r.rc, kExitRefused);
    EXPECT_EQ(r.err, std::string(c.message) + "\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(m_device->State().adminId, "admin");
    EXPECT_EQ(m_device->State().adminPassword, kPassword);
  }
  EXPECT_EQ(m_device->LoggedInCount(), 0u);
}

TEST_F(ClientOnDevice, NtpSetFollowsThePageRule) {
  const RunResult r = Run({"ntp", "set", "kr.pool.ntp.org"});
  ASSERT_EQ(r.rc, kExitOk) << r.err;
  EXPECT_EQ(r.out, "NTP Server가 설정되었습니다.\n");
  EXPECT_EQ(m_device->State().ntpServer, "kr.pool.ntp.org");

  // The page sends an empty name as it is.
  ASSERT_EQ(Run({"ntp", "set", ""}).rc, kExitOk);
  EXPECT_EQ(m_device->State().ntpServer, "");

  const RunResult tooLong = Run({"ntp", "set", std::string(40, 'n')});
  EXPECT_EQ(tooLong.rc, kExitRefused);
  EXPECT_EQ(tooLong.err, "NTP Server 주소가 너무 깁니다. 39바이트(한글 19자) 이내로 입력하세요.\n");
  EXPECT_EQ(m_device->State().ntpServer, "");
}

TEST_F(ClientOnDevice, WrongPasswordIsALoginRefusal) {
  const RunResult r = RunInProcess({"--host", Host(), "--id", "admin", "info"}, {{"KOLMARA_PASSWORD", "wrong"}});
  EXPECT_EQ(r.rc, kExitLoginRefused);
  EXPECT_EQ(r.err, "로그인 실패입니다. 관리자 아이디 및 비밀번호를 확인하세요.\n");
  EXPECT_EQ(r.out, "");
}

TEST_F(ClientOnDevice, SilentDeviceTimesOut) {
  m_device->SetSilent(true);
  const auto start = std::chrono::steady_clock::now();
  const RunResult r = RunInProcess({"--host", Host(), "--id", "admin", "--timeout", "0.5", "info"},
                                   {{"KOLMARA_PASSWORD", kPassword}});
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(r.rc, kExitConnection);
  EXPECT_EQ(r.err, "kolmarasetting-cli: no answer from the device within 0.5 s\n");
  EXPECT_GE(took, 450ms);
  EXPECT_LT(took, 3s);
}

TEST(ClientConnection, ClosedPortCannotConnect) {
  const RunResult r = RunInProcess({"--host", "127.0.0.1:" + std::to_string(ClosedPort()), "--id", "admin", "info"},
                                   {{"KOLMARA_PASSWORD", "x"}});
  EXPECT_EQ(r.rc, kExitConnection);
  EXPECT_EQ(r.err, "서버에 연결할 수 없습니다.\n");
}

// The login window's rule for ":PORT": its refusal, before any password is
// asked for or any connection made.
TEST(ClientConnection, PortOutsideItsRangeIsRefusedLikeTheWindowDoes) {
  ScriptedPeer peer([](const ReceivedFrame&) { return std::vector<PeerReply>{}; });
  const std::vector<std::string> hosts{"127.0.0.1:0", "127.0.0.1:65536", "127.0.0.1:http",
                                       "127.0.0.1:",  "mybox:-1",        peer.Host() + "99999"};
  for (const std::string& host : hosts) {
    SCOPED_TRACE(host);
    FakeTerminal terminal(true, {"typed"});
    const RunResult r = RunInProcess({"--host", host, "--id", "admin", "info"}, {}, &terminal);
    EXPECT_EQ(r.rc, kExitRefused);
    EXPECT_EQ(r.err, "서버에 연결할 수 없습니다.\nkolmarasetting-cli: the port in --host '" + host +
                         "' must be a number from 1 to 65535\n");
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(terminal.prompts.empty());
  }
  EXPECT_TRUE(peer.Frames().empty());
}

TEST(ClientConnection, PeerThatNeverAnswersTimesOutWithinTheBound) {
  ScriptedPeer peer([](const ReceivedFrame&) { return std::vector<PeerReply>{}; });
  const auto start = std::chrono::steady_clock::now();
  const RunResult r = RunInProcess({"--host", peer.Host(), "--id", "admin", "--timeout", "0.3", "time"},
                                   {{"KOLMARA_PASSWORD", "x"}});
  EXPECT_EQ(r.rc, kExitConnection);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
  EXPECT_EQ(peer.Frames().size(), 1u);  // the login, and nothing after the time-out
}

TEST(ClientConnection, ConnectionLostDuringACommand) {
  ScriptedPeer peer(ScriptedPeer::AcceptLoginThen([](const ReceivedFrame&) { return std::nullopt; }));
  const RunResult r =
      RunInProcess({"--host", peer.Host(), "--id", "admin", "--timeout", "5", "wol", "list"}, {{"KOLMARA_PASSWORD", "x"}});
  EXPECT_EQ(r.rc, kExitConnection);
  EXPECT_EQ(r.err, "서버접속이 해제 되었습니다.\n");
  EXPECT_EQ(r.out, "");
}

TEST(ClientConnection, DeviceAnswerOtherThanSuccessIsARefusal) {
  ScriptedPeer peer(ScriptedPeer::AcceptLoginThen([](const ReceivedFrame& f) {
    return std::vector<PeerReply>{{f.code, 102, {}}};
  }));
  const RunResult r = RunInProcess({"--host", peer.Host(), "--id", "admin", "--timeout", "5", "admin", "set",
                                    "--new-id", "boss"},
                                   {{"KOLMARA_PASSWORD", "x"}, {"KOLMARA_NEW_PASSWORD", "y"}});
  EXPECT_EQ(r.rc, kExitRefused);
  EXPECT_EQ(r.err, "kolmarasetting-cli: the device did not accept the change (answer 102)\n");
  EXPECT_EQ(r.out, "");
}

// Device notices may arrive while the client waits; it handles them as the
// main window does.
TEST(ClientConnection, DeviceNoticesWhileWaiting) {
  auto infoAfterNotice = [](std::int32_t notice) {
    return ScriptedPeer::AcceptLoginThen([notice](const ReceivedFrame& f) {
      DeviceInfoBlock b;
      b.SetConnectionLimit(40);
      return std::vector<PeerReply>{{CMD_DEVICE_NOTICE, notice, {}},
                                    {CMD_GET_INFO, 0, std::vector<std::uint8_t>(b.bytes.begin(), b.bytes.end())}};
    });
  };
  {
    SCOPED_TRACE("new view-ID capacity");
    ScriptedPeer peer(infoAfterNotice(55));
    const RunResult r = RunInProcess({"--host", peer.Host(), "--id", "a", "--json", "info"}, {{"KOLMARA_PASSWORD", "x"}});
    ASSERT_EQ(r.rc, kExitOk) << r.err;
    EXPECT_EQ(ParseJson(r.out)["max_view_id"].toInt(), 55);
    EXPECT_EQ(ParseJson(r.out)["max_connection"].toInt(), 40);
  }
  {
    SCOPED_TRACE("relay service restarts");
    ScriptedPeer peer(infoAfterNotice(101));
    const RunResult r = RunInProcess({"--host", peer.Host(), "--id", "a", "info"}, {{"KOLMARA_PASSWORD", "x"}});
    EXPECT_EQ(r.rc, kExitConnection);
    EXPECT_EQ(r.err, "중계서버를 재시작 합니다.\n");
    EXPECT_EQ(r.out, "");
  }
}

TEST(ClientConnection, LoginCapacityComesFromTheReplyValue) {
  struct Case {
    std::int32_t value;
    int rc;
  };
  for (const Case c : {Case{101, kExitOk}, Case{249, kExitOk}, Case{100, kExitLoginRefused},
                       Case{250, kExitLoginRefused}, Case{-1, kExitLoginRefused}}) {
    SCOPED_TRACE(c.value);
    ScriptedPeer peer([&c](const ReceivedFrame& f) {
      if (f.code == CMD_LOGIN) return std::vector<PeerReply>{{CMD_LOGIN, c.value, {}}};
      return std::vector<PeerReply>{{CMD_GET_SERVER_TIME, 0, {}}};
    });
    const RunResult r = RunInProcess({"--host", peer.Host(), "--id", "a", "time"}, {{"KOLMARA_PASSWORD", "x"}});
    EXPECT_EQ(r.rc, c.rc) << r.err;
  }
}

// The password reaches the login body from each of its sources, converted
// to the device's code page, and the ID goes beside it.
TEST(ClientPassword, EachSourceReachesTheLoginBody) {
  const std::string file = WriteTempFile("pw.txt", "from-file\r\nsecond line ignored\n");
  struct Case {
    const char* what;
    std::vector<std::string> extra;
    std::map<std::string, std::string> env;
    bool interactive;
    std::vector<std::string> typed;
    std::string expected;  // in the ANSI code page
  };
  const Case cases[] = {
      {"environment", {}, {{"KOLMARA_PASSWORD", "from-env"}}, false, {}, "from-env"},
      {"file", {"--password-file", file}, {}, false, {}, "from-file"},
      {"file wins over the environment", {"--password-file", file}, {{"KOLMARA_PASSWORD", "from-env"}}, true, {},
       "from-file"},
      {"prompt", {}, {}, true, {"typed"}, "typed"},
      {"Korean, in code page 949", {}, {{"KOLMARA_PASSWORD", "비번"}}, false, {}, "\xBA\xF1\xB9\xF8"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedPeer peer([](const ReceivedFrame&) { return std::vector<PeerReply>{{CMD_LOGIN, 0, {}}}; });
    FakeTerminal terminal(c.interactive, c.typed);
    std::vector<std::string> args{"--host", peer.Host(), "--id", "admin", "--timeout", "5"};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    args.push_back("info");
    const RunResult r = RunInProcess(args, c.env, &terminal);
    EXPECT_EQ(r.rc, kExitLoginRefused) << r.err;
    const auto frames = peer.Frames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].code, CMD_LOGIN);
    EXPECT_EQ(frames[0].value, 124);
    EXPECT_EQ(frames[0].FirstText(), "admin");
    EXPECT_EQ(frames[0].SecondText(), c.expected);
    EXPECT_EQ(terminal.prompts.size(), c.typed.size());
    for (const std::string& p : {std::string("from-env"), std::string("from-file"), std::string("typed")}) {
      EXPECT_EQ(r.out.find(p), std::string::npos);
      EXPECT_EQ(r.err.find(p), std::string::npos);
    }
  }
}

TEST(ClientPassword, NoSourceIsAUsageErrorBeforeAnyConnection) {
  ScriptedPeer peer([](const ReceivedFrame&) { return std::vector<PeerReply>{}; });
  FakeTerminal notATerminal(false);
  const RunResult r = RunInProcess({"--host", peer.Host(), "--id", "admin", "info"}, {}, &notATerminal);
  EXPECT_EQ(r.rc, kExitUsage);
  EXPECT_NE(r.err.find("no password"), std::string::npos) << r.err;
  EXPECT_TRUE(peer.Frames().empty());
  EXPECT_TRUE(notATerminal.prompts.empty());
}

TEST(ClientPassword, CredentialsBeyondTheLoginBodyAreRefusedBeforeConnecting) {
  ScriptedPeer peer([](const ReceivedFrame&) { return std::vector<PeerReply>{}; });
  const RunResult r = RunInProcess({"--host", peer.Host(), "--id", "admin", "info"},
                                   {{"KOLMARA_PASSWORD", std::string(80, 'p')}});
  EXPECT_EQ(r.rc, kExitRefused);
  EXPECT_EQ(r.err, "비밀번호가 너무 깁니다. 79바이트(한글 39자) 이내로 입력하세요.\n");
  EXPECT_TRUE(peer.Frames().empty());
}

TEST(ClientPassword, NewPasswordFromAPromptAskedTwice) {
  ScriptedPeer peer(ScriptedPeer::AcceptLoginThen([](const ReceivedFrame& f) {
    return std::vector<PeerReply>{{CMD_SET_ADMIN, 101, {}}};
  }));
  FakeTerminal terminal(true, {"login-pw", "new-pw", "new-pw"});
  const RunResult r =
      RunInProcess({"--host", peer.Host(), "--id", "admin", "admin", "set", "--new-id", " boss "}, {}, &terminal);
  ASSERT_EQ(r.rc, kExitOk) << r.err;
  EXPECT_EQ(terminal.prompts.size(), 3u);
  const auto frames = peer.Frames();
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].SecondText(), "login-pw");
  EXPECT_EQ(frames[1].code, CMD_SET_ADMIN);
  EXPECT_EQ(frames[1].FirstText(), " boss ");  // the page sends the ID as typed
  EXPECT_EQ(frames[1].SecondText(), "new-pw");
}

}  // namespace
}  // namespace kolmara::cli::test
