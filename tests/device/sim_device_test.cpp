// The tool's own connection (CMySocket, CGlobalData, NotificationQueue)
// against the substitute device over loopback.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <numeric>

#include "connection/records.h"
#include "tests/device/device_fixture.h"

namespace kolmara::device::testing {
namespace {

using Sim = DeviceFixture;

// Bytes that differ from slot to slot and from offset to offset, so a shifted
// or dropped slot shows up.
std::vector<std::uint8_t> Pattern(std::size_t n, std::uint8_t seed) {
  std::vector<std::uint8_t> out(n);
  for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>((i * 131 + seed + i / 388) % 251 + 1);
  return out;
}

TEST_F(Sim, LoginIsAcceptedWithTheCapacityInTheValue) {
  EXPECT_EQ(Login(), 110);
  EXPECT_EQ(m_device->LoggedInCount(), 1u);
}

TEST_F(Sim, LoginValueFollowsTheConfiguredCapacity) {
  SimConfig c;
  c.viewIdCapacity = 100;
  StartDevice(c);
  EXPECT_EQ(Login(), 200);
}

TEST_F(Sim, WrongPasswordIsRefusedAndASecondLoginOnTheSameConnectionSucceeds) {
  EXPECT_EQ(Login("admin", "wrong"), 0);
  EXPECT_EQ(Login("nobody", "admin"), 0);
  ASSERT_TRUE(Socket().IsConnected());
  EXPECT_EQ(Login("admin", "admin"), 110);
  ASSERT_TRUE(Socket().RequestDeviceInfo());
  EXPECT_TRUE(Expect(2).block.has_value());
}

TEST_F(Sim, RequestBeforeLoginClosesTheConnection) {
  Connect();
  ASSERT_TRUE(Socket().RequestDeviceInfo());
  EXPECT_EQ(m_queue.Next(kWait)->code, kNotifyConnectionEnded);
  EXPECT_TRUE(m_queue.Snapshot().empty());
}

TEST_F(Sim, InformationBlockCarriesTheDeviceFields) {
  DeviceState s = m_device->State();
  s.company = "콜마라 주식회사";
  s.ddnsName = "qxbox";
  s.email = "admin@example.com";
  s.connectionLimit = 40;
  m_device->SetState(s);
  ASSERT_EQ(Login(), 110);
  ASSERT_TRUE(Socket().RequestDeviceInfo());
  const Notification n = Expect(2);
  ASSERT_TRUE(n.block.has_value());
  const DeviceInfoBlock b = DeviceInfoBlock::FromBytes(n.block->data());
  EXPECT_EQ(b.DeviceName(), "QXPB4K");
  EXPECT_EQ(b.EngineVersion(), "24.2.1");
  EXPECT_EQ(b.FirmwareVersion(), s.firmwareVersion);
  EXPECT_EQ(b.MacAddress(), s.mac);
  EXPECT_EQ(b.Company(), "콜마라 주식회사");
  EXPECT_EQ(b.DdnsName(), "qxbox");
  EXPECT_EQ(b.Email(), "admin@example.com");
  EXPECT_EQ(b.ConnectionLimit(), 40);
}

// Counts below, at and above the 101 slots a table always carries, and the
// most the store holds.
class ViewIdRoundTrip : public DeviceFixture, public ::testing::WithParamInterface<std::int32_t> {};

TEST_P(ViewIdRoundTrip, EveryByteOfEverySlotSurvivesWriteAndRead) {
  const std::int32_t count = GetParam();
  const std::size_t length = static_cast<std::size_t>(ViewIdTableLength(count));
  DeviceState s = m_device->State();
  s.viewIdCount = 2;
  s.viewIdTable = Pattern(kViewIdStoreBytes, 7);  // free slots hold bytes too
  m_device->SetState(s);
  ASSERT_EQ(Login(), 110);

  ASSERT_TRUE(Socket().RequestViewIdList());
  EXPECT_EQ(Expect(4).value, 2);
  EXPECT_EQ(0, std::memcmp(m_store.m_pViewIdTable.get(), s.viewIdTable.data(), kViewIdWireMinimum));

  const std::vector<std::uint8_t> written = Pattern(kViewIdStoreBytes, 99);
  std::memcpy(m_store.m_pViewIdTable.get(), written.data(), kViewIdStoreBytes);
  m_store.m_nViewIdCount = count;
  ASSERT_TRUE(Socket().SendViewIdList(m_store.m_nViewIdCount, m_store.m_pViewIdTable.get()));
  EXPECT_EQ(Expect(5).value, 101);
  const DeviceState after = m_device->State();
  EXPECT_EQ(after.viewIdCount, count);
  EXPECT_EQ(0, std::memcmp(after.viewIdTable.data(), written.data(), length));
  // Slots the body did not carry keep what the device held.
  EXPECT_EQ(0, std::memcmp(after.viewIdTable.data() + length, s.viewIdTable.data() + length,
                           kViewIdStoreBytes - length));

  std::memset(m_store.m_pViewIdTable.get(), 0, kViewIdStoreBytes);
  ASSERT_TRUE(Socket().RequestViewIdList());
  EXPECT_EQ(Expect(4).value, count);
  EXPECT_EQ(0, std::memcmp(m_store.m_pViewIdTable.get(), written.data(), length));
}

INSTANTIATE_TEST_SUITE_P(Counts, ViewIdRoundTrip, ::testing::Values(1, 3, 101, 102, 120, 512));

TEST_F(Sim, ViewIdCountOfZeroEmptiesTheTableWithoutABody) {
  DeviceState s = m_device->State();
  s.viewIdCount = 4;
  m_device->SetState(s);
  ASSERT_EQ(Login(), 110);
  m_store.m_nViewIdCount = 0;
  ASSERT_TRUE(Socket().SendViewIdList(m_store.m_nViewIdCount, m_store.m_pViewIdTable.get()));
  EXPECT_EQ(Expect(5).value, 101);
  ASSERT_TRUE(Socket().RequestViewIdList());
  EXPECT_EQ(Expect(4).value, 0);
  // Still in step: the next reply is read as a header, not as table bytes.
  ASSERT_TRUE(Socket().RequestServerTime());
  EXPECT_GT(Expect(23).value, 0);
}

// A test (or a state) may name more records than the device holds: the
// reply must still be a whole table of the 512 it has, never bytes from past it.
TEST_F(Sim, ViewIdCountAboveTheTableIsKeptAtItsSize) {
  DeviceState s = m_device->State();
  s.viewIdCount = 600;
  s.viewIdTable = Pattern(kViewIdStoreBytes, 13);
  m_device->SetState(s);
  EXPECT_EQ(m_device->State().viewIdCount, 512);
  ASSERT_EQ(Login(), 110);
  ASSERT_TRUE(Socket().RequestViewIdList());
  EXPECT_EQ(Expect(4).value, 512);
  EXPECT_EQ(0, std::memcmp(m_store.m_pViewIdTable.get(), s.viewIdTable.data(), kViewIdStoreBytes));
  ASSERT_TRUE(Socket().RequestServerTime());  // the stream is still in step
  EXPECT_GT(Expect(23).value, 0);
}

TEST_F(Sim, WakeOnLanTableRoundTripKeepsEveryByte) {
  DeviceState s = m_device->State();
  s.wolCount = 3;
  s.wolTable = Pattern(kWolTableSize, 5);
  m_device->SetState(s);
  ASSERT_EQ(Login(), 110);

  ASSERT_TRUE(Socket().RequestWolTable());
  EXPECT_EQ(Expect(6).value, 3);
  EXPECT_EQ(m_store.m_nWolCount, 3);
  EXPECT_EQ(0, std::memcmp(m_store.m_WolTable.data(), s.wolTable.data(), kWolTableSize));

  const std::vector<std::uint8_t> written = Pattern(kWolTableSize, 77);
  std::memcpy(m_store.m_WolTable.data(), written.data(), kWolTableSize);
  m_store.m_nWolCount = 101;
  ASSERT_TRUE(Socket().SendWolTable(m_store.m_nWolCount, m_store.m_WolTable.data()));
  EXPECT_EQ(Expect(7).value, 101);
  EXPECT_EQ(m_device->State().wolTable, written);

  m_store.m_WolTable.fill(0);
  ASSERT_TRUE(Socket().RequestWolTable());
  EXPECT_EQ(Expect(6).value, 101);
  EXPECT_EQ(0, std::memcmp(m_store.m_WolTable.data(), written.data(), kWolTableSize));
}

TEST_F(Sim, WakeOnLanCountOutsideTheTableIsRefusedAndNothingChanges) {
  ASSERT_EQ(Login(), 110);
  const DeviceState before = m_device->State();
  for (std::int32_t bad : {-1, 102}) {
    m_store.m_nWolCount = bad;
    m_store.m_WolTable.fill(0x55);
    ASSERT_TRUE(Socket().SendWolTable(m_store.m_nWolCount, m_store.m_WolTable.data()));
    EXPECT_EQ(Expect(7).value, 0) << bad;
  }
  EXPECT_EQ(m_device->State().wolTable, before.wolTable);
  EXPECT_EQ(m_device->State().wolCount, before.wolCount);
}

TEST_F(Sim, NetworkBlockCarriesSettingsAndDeviceTexts) {
  DeviceState s = m_device->State();
  s.company = "Kolmara";
  s.ddnsName = "qxbox";
  s.ntpServer = "time.example.org";
  m_device->SetState(s);
  ASSERT_EQ(Login(), 110);
  ASSERT_TRUE(Socket().RequestNetworkSettings());
  const Notification n = Expect(8);
  ASSERT_TRUE(n.block.has_value());
  const NetworkSettingsBlock b = NetworkSettingsBlock::FromBytes(n.block->data());
  EXPECT_EQ(b.TcpControlPort(), 9500);
  EXPECT_EQ(b.WebSslPort(), 443);
  EXPECT_EQ(b.RelayPort(), 9501);
  EXPECT_EQ(b.WebServerPort(), 80);
  EXPECT_EQ(b.IpAddress(), (Ipv4{192, 168, 0, 50}));
  EXPECT_EQ(b.MacAddress(), s.mac);
  EXPECT_EQ(b.Company(), "Kolmara");
  EXPECT_EQ(b.DdnsName(), "qxbox");
  EXPECT_EQ(b.NtpServer(), "time.example.org");
}

TEST_F(Sim, SavingNetworkSettingsRebootsAndTheNextLoginSeesThem) {
  ASSERT_EQ(Login(), 110);
  RawClient other(m_device->Port());
  ASSERT_TRUE(other.Login());

  NetworkSettingsFields f;
  f.tcpControlPort = 9600;
  f.webSslPort = 8443;
  f.relayPort = 9601;
  f.webServerPort = 8080;
  f.mac = {0xDE, 0xAD, 0xBE, 0xEF, 0x00, 0x01};  // the device keeps its own MAC
  f.ip = {10, 0, 0, 7};
  f.gateway = {10, 0, 0, 1};
  f.netmask = {255, 0, 0, 0};
  f.webServerOff = true;
  f.upnp = true;
  const NetworkSettingsBlock sent = BuildSettingsForm(f);
  ASSERT_TRUE(Socket().SendNetworkSettings(sent.bytes.data()));
  // No reply: the device closes every session as it reboots.
  EXPECT_EQ(m_queue.Next(kWait)->code, kNotifyConnectionEnded);
  EXPECT_TRUE(other.ClosedByPeer());

  Socket().Disconnect();
  ASSERT_EQ(Login(), 110);
  ASSERT_TRUE(Socket().RequestNetworkSettings());
  const Notification n = Expect(8);
  ASSERT_TRUE(n.block.has_value());
  const NetworkSettingsBlock b = NetworkSettingsBlock::FromBytes(n.block->data());
  EXPECT_EQ(b.TcpControlPort(), 9600);
  EXPECT_EQ(b.WebSslPort(), 8443);
  EXPECT_EQ(b.RelayPort(), 9601);
  EXPECT_EQ(b.WebServerPort(), 8080);
  EXPECT_EQ(b.IpAddress(), (Ipv4{10, 0, 0, 7}));
  EXPECT_EQ(b.Gateway(), (Ipv4{10, 0, 0, 1}));
  EXPECT_EQ(b.Netmask(), (Ipv4{255, 0, 0, 0}));
  EXPECT_FALSE(b.Dhcp());
  EXPECT_TRUE(b.WebServerOff());
  EXPECT_TRUE(b.Upnp());
  EXPECT_EQ(b.MacAddress(), m_device->State().mac);
}

TEST_F(Sim, OnlineUpdateReportsStagesZeroToEightInOrderThenTheFirmwareResult) {
  SimConfig c;
  c.updateStepMs = 5;
  StartDevice(c);
  ASSERT_EQ(Login(), 110);
  ASSERT_TRUE(Socket().StartOnlineUpdate());
  std::vector<std::int32_t> stages;
  for (int i = 0; i < 9; ++i) {
    const auto n = m_queue.Next(kWait);
    ASSERT_TRUE(n.has_value());
    ASSERT_EQ(n->code, 12);
    stages.push_back(n->value);
  }
  std::vector<std::int32_t> expected(9);
  std::iota(expected.begin(), expected.end(), 0);
  EXPECT_EQ(stages, expected);
  ASSERT_TRUE(Socket().StartFirmwareUpdate());
  const auto done = m_queue.Next(kWait);
  ASSERT_TRUE(done.has_value());
  EXPECT_EQ(done->code, 18);
  EXPECT_EQ(done->value, 0);
}

TEST_F(Sim, AdministratorChangeTakesEffectForTheNextLogin) {
  ASSERT_EQ(Login(), 110);
  ASSERT_TRUE(Socket().SendAdminAccount("root", "s3cret"));
  EXPECT_EQ(Expect(3).value, 101);
  Socket().Disconnect();
  EXPECT_EQ(Login("admin", "admin"), 0);
  EXPECT_EQ(Login("root", "s3cret"), 110);
}

TEST_F(Sim, AdministratorChangeWithAnEmptyTextIsRefused) {
  ASSERT_EQ(Login(), 110);
  ASSERT_TRUE(Socket().SendAdminAccount("root", ""));
  EXPECT_EQ(Expect(3).value, 0);
  ASSERT_TRUE(Socket().SendAdminAccount("", "pw"));
  EXPECT_EQ(Expect(3).value, 0);
  EXPECT_EQ(m_device->State().adminId, "admin");
  EXPECT_EQ(m_device->State().adminPassword, "admin");
}

TEST_F(Sim, DdnsNameCheckAnswersFreeTakenOrMacInUse) {
  struct Case {
    const char* name;
    const char* mac;
    std::int32_t expected;
  };
  const Case cases[] = {
      {"freebox", "00:1A:2B:3C:4D:5E", 101},
      {"kolmara", "00:1A:2B:3C:4D:5E", 102},  // another device's name
      {"KolMara", "00:1A:2B:3C:4D:5E", 102},  // names are not case-sensitive
      {"freebox", "00:1A:2B:00:00:01", 103},  // that MAC already has a name
      {"kolmara", "00:1a:2b:00:00:01", 101},  // the name's own MAC
      {"freebox", "", 101},                   // no settings block read yet
  };
  ASSERT_EQ(Login(), 110);
  for (const Case& c : cases) {
    ASSERT_TRUE(Socket().CheckDdnsId(c.name, c.mac));
    EXPECT_EQ(Expect(9).value, c.expected) << c.name << " " << c.mac;
  }
}

TEST_F(Sim, RegistrationsSucceedOnceThenReportAlreadyRegistered) {
  ASSERT_EQ(Login(), 110);
  ASSERT_TRUE(Socket().RegisterMac("00:1A:2B:3C:4D:5E"));
  EXPECT_EQ(Expect(10).value, 101);
  ASSERT_TRUE(Socket().RegisterMac("00:1A:2B:3C:4D:5E"));
  EXPECT_EQ(Expect(10).value, 401);

  const RegistrationFormResult form =
      BuildRegistrationForm("00:1A:2B:3C:4D:5E", "콜마라", "qxnew", "it@example.com");
  ASSERT_TRUE(form.ok());
  ASSERT_TRUE(Socket().RegisterDdns(form.block.bytes.data()));
  EXPECT_EQ(Expect(11).value, 101);
  ASSERT_TRUE(Socket().RegisterDdns(form.block.bytes.data()));
  EXPECT_EQ(Expect(11).value, 402);

  ASSERT_TRUE(Socket().RequestDeviceInfo());
  const Notification n = Expect(2);
  ASSERT_TRUE(n.block.has_value());
  const DeviceInfoBlock b = DeviceInfoBlock::FromBytes(n.block->data());
  EXPECT_EQ(b.DdnsName(), "qxnew");
  EXPECT_EQ(b.Company(), "콜마라");
  EXPECT_EQ(b.Email(), "it@example.com");
}

TEST_F(Sim, NtpServerIsStoredAndReported) {
  ASSERT_EQ(Login(), 110);
  for (const char* server : {"time.example.org", ""}) {
    ASSERT_TRUE(Socket().SetNtpServer(server));
    EXPECT_EQ(Expect(19).value, 101);
    ASSERT_TRUE(Socket().RequestNetworkSettings());
    const Notification n = Expect(8);
    ASSERT_TRUE(n.block.has_value());
    EXPECT_EQ(NetworkSettingsBlock::FromBytes(n.block->data()).NtpServer(), server);
  }
}

TEST_F(Sim, ServerTimeIsTheCurrentTime) {
  ASSERT_EQ(Login(), 110);
  const auto before = static_cast<std::int32_t>(std::time(nullptr));
  ASSERT_TRUE(Socket().RequestServerTime());
  const std::int32_t t = Expect(23).value;
  EXPECT_GE(t, before - 1);
  EXPECT_LE(t, static_cast<std::int32_t>(std::time(nullptr)) + 1);
}

TEST_F(Sim, WebArchiveUploadReadsExactlyTheAnnouncedBytes) {
  ASSERT_EQ(Login(), 110);
  const std::vector<std::uint8_t> archive = Pattern(300 * 1024 + 5, 3);
  ASSERT_TRUE(Socket().UploadWebArchive(archive.data(), archive.size()));
  EXPECT_EQ(Expect(24).value, 101);
  ASSERT_TRUE(Socket().UploadWebArchive(nullptr, 0));  // an empty file: header only
  EXPECT_EQ(Expect(24).value, 101);
  EXPECT_EQ(m_device->UploadedBytes(), archive.size());
  ASSERT_TRUE(Socket().RequestServerTime());  // the stream is still in step
  EXPECT_GT(Expect(23).value, 0);
}

TEST_F(Sim, FirmwareUploadChecksSizeAndEditionLetter) {
  struct Case {
    std::size_t size;
    char first;
    std::int32_t expected;
  };
  // The default device is a QXPB4K, which takes the KolmaraPro ("O") edition.
  const Case cases[] = {
      {1023, 'F', 2}, {1024, 'F', 0}, {4096, 'O', 0}, {4096, 'E', 1}, {4096, 'S', 1}, {4096, 'X', 1},
  };
  ASSERT_EQ(Login(), 110);
  for (const Case& c : cases) {
    std::vector<std::uint8_t> image(c.size, 0x20);
    image[0] = static_cast<std::uint8_t>(c.first);
    ASSERT_TRUE(Socket().UploadFirmware(image.data(), image.size()));
    EXPECT_EQ(Expect(25).value, c.expected) << c.size << " " << c.first;
  }
}

TEST_F(Sim, SeveralClientsAreServedAtOnce) {
  CGlobalData secondStore;
  NotificationQueue secondQueue;
  CMySocket second(&secondStore);
  ASSERT_EQ(Login(), 110);
  ASSERT_EQ(second.Connect(&secondQueue, "127.0.0.1", m_device->Port(), 5000ms), 1);
  ASSERT_TRUE(second.SendLogin("admin", "admin"));
  EXPECT_EQ(secondQueue.WaitFor(1, kWait)->value, 110);
  EXPECT_EQ(m_device->ClientCount(), 2u);

  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(Socket().RequestViewIdList());
    ASSERT_TRUE(second.RequestWolTable());
  }
  for (int i = 0; i < 5; ++i) {
    EXPECT_TRUE(m_queue.WaitFor(4, kWait).has_value());
    EXPECT_TRUE(secondQueue.WaitFor(6, kWait).has_value());
  }
  second.Disconnect();
  EXPECT_TRUE(Eventually([&] { return m_device->ClientCount() == 1; }));
}

// ---- what the device does unasked ------------------------------------------

TEST_F(Sim, UnaskedFramesReachTheToolAsTheirNotifications) {
  ASSERT_EQ(Login(), 110);
  m_device->SendFrameToAll(18, 6005);  // device notice: new connection limit
  EXPECT_EQ(Expect(15).value, 6005);

  m_device->SendFrameToAll(25, 1);     // blank mode: stored, nothing posted
  m_device->SendFrameToAll(40, 9);     // unknown code: a bare header
  m_device->SendFrameToAll(23, 4);     // the tool posts 22 for it
  const auto n = m_queue.Next(kWait);
  ASSERT_TRUE(n.has_value());
  EXPECT_EQ(n->code, 22);
  EXPECT_EQ(m_store.m_nBlankMode.load(), 1);

  const std::vector<std::uint8_t> bulk = Pattern(kBulk21Size, 9);
  m_device->SendFrameToAll(21, 7, bulk);
  EXPECT_EQ(Expect(20).value, 7);
  EXPECT_EQ(0, std::memcmp(m_store.m_pBulk21Buffer.get(), bulk.data(), kBulk21Size));
}

TEST_F(Sim, DrippedRepliesArriveWhole) {
  DeviceState s = m_device->State();
  s.viewIdCount = 5;
  s.viewIdTable = Pattern(kViewIdStoreBytes, 11);
  m_device->SetState(s);
  m_device->SetDripReplies(true);
  ASSERT_EQ(Login(), 110);
  ASSERT_TRUE(Socket().RequestDeviceInfo());
  const Notification info = Expect(2);
  ASSERT_TRUE(info.block.has_value());
  EXPECT_EQ(DeviceInfoBlock::FromBytes(info.block->data()).DeviceName(), "QXPB4K");
  ASSERT_TRUE(Socket().RequestViewIdList());
  EXPECT_EQ(Expect(4).value, 5);
  EXPECT_EQ(0, std::memcmp(m_store.m_pViewIdTable.get(), s.viewIdTable.data(), kViewIdWireMinimum));
}

TEST_F(Sim, SilentDeviceReadsRequestsButNeverAnswers) {
  ASSERT_EQ(Login(), 110);
  m_device->SetSilent(true);
  ASSERT_TRUE(Socket().SendAdminAccount("root", "pw"));
  EXPECT_FALSE(m_queue.Next(300ms).has_value());
  EXPECT_EQ(m_device->State().adminId, "root");  // the request itself was served
  m_device->SetSilent(false);
  ASSERT_TRUE(Socket().RequestServerTime());
  EXPECT_EQ(m_queue.Next(kWait)->code, 23);
}

TEST_F(Sim, HalfAFrameThenCloseEndsTheConnectionWithNothingPosted) {
  ASSERT_EQ(Login(), 110);
  const WireHeader h = EncodeHeader(2, 0);
  m_device->SendRawToAll({h.begin(), h.end()});
  m_device->SendRawToAll(std::vector<std::uint8_t>(100, 0xAB));  // 100 of the 368 body bytes
  m_device->CloseAllClients();
  const auto n = m_queue.Next(kWait);
  ASSERT_TRUE(n.has_value());
  EXPECT_EQ(n->code, kNotifyConnectionEnded);
  EXPECT_TRUE(Eventually([&] { return m_device->ClientCount() == 0; }));
}

}  // namespace
}  // namespace kolmara::device::testing
