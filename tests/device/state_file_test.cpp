// The device's state file: refused when corrupt, written whole, read back
// after a restart, and the rules the device answers by.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "device/device_state.h"
#include "tests/device/device_fixture.h"

namespace kolmara::device::testing {
namespace {

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  ASSERT_EQ(f.write(bytes), bytes.size());
}

class StateFile : public DeviceFixture {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.isValid());
    m_path = m_dir.filePath("qx-state.json");
    StartDevice(Config());
  }
  SimConfig Config() const {
    SimConfig c;
    c.stateFile = m_path.toStdString();
    return c;
  }

  QTemporaryDir m_dir;
  QString m_path;
};

TEST_F(StateFile, MissingFileIsCreatedAtStart) {
  ASSERT_TRUE(QFile::exists(m_path));
  std::string error;
  const auto s = StateFromJson(ReadAll(m_path), DeviceState{}, &error);
  ASSERT_TRUE(s.has_value()) << error;
  EXPECT_EQ(s->adminId, "admin");
}

TEST_F(StateFile, SettingsSurviveARestart) {
  ASSERT_EQ(Login(), 110);
  ASSERT_TRUE(Socket().SendAdminAccount("root", "비밀번호"));  // not ASCII
  EXPECT_EQ(Expect(3).value, 101);
  std::vector<std::uint8_t> table(kViewIdStoreBytes, 0);
  for (std::size_t i = 0; i < 120 * kViewIdRecordSize; ++i) table[i] = static_cast<std::uint8_t>(i % 253 + 1);
  std::memcpy(m_store.m_pViewIdTable.get(), table.data(), table.size());
  m_store.m_nViewIdCount = 120;
  ASSERT_TRUE(Socket().SendViewIdList(m_store.m_nViewIdCount, m_store.m_pViewIdTable.get()));
  EXPECT_EQ(Expect(5).value, 101);
  for (std::size_t i = 0; i < kWolTableSize; ++i) m_store.m_WolTable[i] = static_cast<std::uint8_t>(i * 7);
  m_store.m_nWolCount = 12;
  ASSERT_TRUE(Socket().SendWolTable(m_store.m_nWolCount, m_store.m_WolTable.data()));
  EXPECT_EQ(Expect(7).value, 101);
  ASSERT_TRUE(Socket().SetNtpServer("ntp.example.kr"));
  EXPECT_EQ(Expect(19).value, 101);
  NetworkSettingsFields f;
  f.ip = {172, 16, 1, 2};
  f.dhcp = true;
  ASSERT_TRUE(Socket().SendNetworkSettings(BuildSettingsForm(f).bytes.data()));
  EXPECT_EQ(m_queue.Next(kWait)->code, kNotifyConnectionEnded);
  Socket().Disconnect();
  const DeviceState before = m_device->State();

  StartDevice(Config());  // a new device on the same file
  const DeviceState after = m_device->State();
  EXPECT_EQ(after.adminId, "root");
  EXPECT_EQ(after.adminPassword, before.adminPassword);
  EXPECT_EQ(after.viewIdCount, 120);
  EXPECT_TRUE(after.viewIdTable == table);
  EXPECT_EQ(after.wolCount, 12);
  EXPECT_TRUE(after.wolTable == before.wolTable);
  EXPECT_EQ(after.ntpServer, "ntp.example.kr");
  EXPECT_EQ(after.network.bytes, before.network.bytes);
  EXPECT_TRUE(after.network.Dhcp());
  EXPECT_EQ(Login("root", before.adminPassword), 110);
}

// The sample tables seed a new file only: tables the device saved win.
TEST_F(StateFile, SampleDataSeedsANewFileButNeverReplacesASavedOne) {
  SimConfig c = Config();
  c.sampleData = true;
  StartDevice(c);  // the file was created empty by SetUp
  EXPECT_EQ(m_device->State().viewIdCount, 0);
  EXPECT_EQ(m_device->State().wolCount, 0);

  c.stateFile = m_dir.filePath("fresh.json").toStdString();
  StartDevice(c);
  EXPECT_EQ(m_device->State().wolCount, 5);
  std::string error;
  const auto saved = StateFromJson(ReadAll(QString::fromStdString(c.stateFile)), DeviceState{}, &error);
  ASSERT_TRUE(saved.has_value()) << error;
  EXPECT_EQ(saved->viewIdCount, 5);
  EXPECT_EQ(saved->wolTable, m_device->State().wolTable);
}

TEST_F(StateFile, WritesLeaveNoTemporaryFilesBehind) {
  ASSERT_EQ(Login(), 110);
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(Socket().SetNtpServer("ntp" + std::to_string(i)));
    EXPECT_EQ(Expect(19).value, 101);
  }
  EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"qx-state.json"});
}

TEST_F(StateFile, AChangeThatCannotBeSavedIsAnsweredAsAFailureAndDropped) {
  ASSERT_EQ(Login(), 110);
  // A folder where the file was: the rename onto it fails, even for root.
  ASSERT_TRUE(QFile::remove(m_path));
  ASSERT_TRUE(QDir().mkdir(m_path));
  ASSERT_TRUE(Socket().SendAdminAccount("root", "pw"));
  EXPECT_EQ(Expect(3).value, 0);
  EXPECT_EQ(m_device->State().adminId, "admin");
  ASSERT_TRUE(Socket().SetNtpServer("ntp.example.org"));
  EXPECT_EQ(Expect(19).value, 0);
}

TEST_F(StateFile, CorruptFileIsRefusedAndLeftUntouched) {
  m_device->Stop();
  const QByteArray valid = StateToJson(DeviceState{});
  const std::pair<const char*, QByteArray> cases[] = {
      {"empty", ""},
      {"not JSON", "{\"format\": 1, "},
      {"not an object", "[1, 2]"},
      {"wrong format", QByteArray(valid).replace("\"format\": 1", "\"format\": 7")},
      {"ID too long", QByteArray(valid).replace("\"adminId\": \"admin\"",
                                                "\"adminId\": \"" + QByteArray(40, 'a') + "\"")},
      {"ID not a text", QByteArray(valid).replace("\"adminId\": \"admin\"", "\"adminId\": 5")},
      {"bad MAC", QByteArray(valid).replace("00:1A:2B:3C:4D:5E", "00:1A:2B:3C:4D")},
      {"bad address", QByteArray(valid).replace("192.168.0.50", "192.168.0.500")},
      {"port out of range", QByteArray(valid).replace("\"relayPort\": 9501", "\"relayPort\": 70000")},
      {"view-ID count", QByteArray(valid).replace("\"count\": 0", "\"count\": 513")},
      {"count far out of range", QByteArray(valid).replace("\"count\": 0", "\"count\": 1e300")},
      {"count not whole", QByteArray(valid).replace("\"count\": 0", "\"count\": 2.5")},
      {"table not base64", QByteArray(valid).replace("\"table\": \"\"", "\"table\": \"***\"")},
  };
  for (const auto& [what, bytes] : cases) {
    ASSERT_TRUE(std::string_view(what) == "empty" || bytes != valid) << what;  // the replace took effect
    WriteAll(m_path, bytes);
    SimDevice device(Config());
    std::string error;
    EXPECT_FALSE(device.Start(&error)) << what;
    EXPECT_NE(error.find("is corrupt"), std::string::npos) << what << ": " << error;
    EXPECT_NE(error.find(m_path.toStdString()), std::string::npos) << error;
    EXPECT_EQ(ReadAll(m_path), bytes) << what;
  }
}

TEST(StateJson, TextsThatDoNotConvertAreKeptAsHex) {
  DeviceState s;
  s.company = "\xFF\xFE not UTF-8";
  s.adminPassword = "\x80\x81";  // not a character of the code page
  s.viewIdCount = 1;
  s.viewIdTable[5] = 9;
  s.wolTable[kWolTableSize - 1] = 3;  // the last byte, past any trimming
  const QByteArray json = StateToJson(s);
  EXPECT_TRUE(json.contains("\"hex\""));
  std::string error;
  const auto back = StateFromJson(json, DeviceState{}, &error);
  ASSERT_TRUE(back.has_value()) << error;
  EXPECT_EQ(back->company, s.company);
  EXPECT_EQ(back->adminPassword, s.adminPassword);
  EXPECT_TRUE(back->viewIdTable == s.viewIdTable);
  EXPECT_TRUE(back->wolTable == s.wolTable);
}

TEST(DeviceRules, FirmwareEditionLetterAgainstThePlatform) {
  struct Case {
    const char* platform;
    char first;
    std::int32_t expected;
  };
  const Case cases[] = {
      {"QXPA4K", 'E', 0}, {"QXPA4K", 'O', 1}, {"QXPB4K", 'O', 0}, {"QXPB4K", 'S', 1},
      {"QXPB5K", 'S', 0}, {"QXPB5K", 'E', 1}, {"QXPA5K", 'S', 0}, {"QXPA5K", 'O', 1},
      {"QXPZ9K", 'E', 0},  // a board without a rule takes any edition
      {"QXPZ9K", 'X', 1}, {"QXPA4K", 'F', 0}, {"QXPA4K", 'e', 1}, {"QXPA4K", '\0', 1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FirmwareVerdict(c.platform, static_cast<std::uint8_t>(c.first)), c.expected)
        << c.platform << " " << c.first;
}

TEST_F(StateFile, UploadsAreCheckedAgainstTheConfiguredPlatform) {
  SimConfig c = Config();
  c.platform = "QXPA4K";
  StartDevice(c);
  ASSERT_EQ(Login(), 110);
  for (const auto& [letter, expected] : {std::pair{'E', 0}, std::pair{'O', 1}}) {
    std::vector<std::uint8_t> image(2048, 0);
    image[0] = static_cast<std::uint8_t>(letter);
    ASSERT_TRUE(Socket().UploadFirmware(image.data(), image.size()));
    EXPECT_EQ(Expect(25).value, expected) << letter;
  }
  ASSERT_TRUE(Socket().RequestDeviceInfo());
  const Notification n = Expect(2);
  ASSERT_TRUE(n.block.has_value());
  EXPECT_EQ(DeviceInfoBlock::FromBytes(n.block->data()).DeviceName(), "QXPA4K");
}

}  // namespace
}  // namespace kolmara::device::testing
