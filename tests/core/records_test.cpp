// The network settings block and the device information block.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "connection/records.h"

namespace kolmara {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;

// Offsets [from, to) that a built form must leave zero.
struct Range {
  std::size_t from, to;
};

void ExpectZero(const std::array<std::uint8_t, kBlockSize>& bytes, std::initializer_list<Range> ranges) {
  for (const Range r : ranges)
    for (std::size_t i = r.from; i < r.to; ++i) EXPECT_EQ(bytes[i], 0) << "offset " << i;
}

NetworkSettingsFields SomeFields() {
  NetworkSettingsFields f;
  f.tcpControlPort = 9600;
  f.webSslPort = 8443;
  f.relayPort = 9601;
  f.webServerPort = 8080;
  f.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  f.ip = {192, 168, 0, 20};
  f.gateway = {192, 168, 0, 1};
  f.netmask = {255, 255, 255, 0};
  f.dhcp = true;
  f.webServerOff = true;
  f.upnp = true;
  return f;
}

TEST(NetworkSettingsBlock, ReceivedFlagsAndDhcp) {
  NetworkSettingsBlock b;
  b.bytes[284] = b.bytes[285] = b.bytes[286] = b.bytes[287] = 0xFF;
  EXPECT_TRUE(b.Upnp());
  b.bytes[284] = 0xFE;
  EXPECT_FALSE(b.Upnp()) << "only bit 0 means UPnP";

  struct Case {
    std::uint8_t byte;
    bool dhcp;
  };
  for (const Case c : {Case{0, false}, Case{1, true}, Case{2, false}, Case{0xFF, false}}) {
    b.bytes[271] = c.byte;
    EXPECT_EQ(b.Dhcp(), c.dhcp) << int(c.byte);
  }
  b.bytes[274] = 1;
  EXPECT_TRUE(b.WebServerOff());
  b.bytes[274] = 2;
  EXPECT_FALSE(b.WebServerOff());
}

TEST(NetworkSettingsBlock, FieldsReadAtTheirOffsets) {
  NetworkSettingsBlock b;
  b.bytes[4] = 0x1C, b.bytes[5] = 0x25;    // 9500
  b.bytes[6] = 0xBB, b.bytes[7] = 0x01;    // 443
  b.bytes[10] = 0x50;                      // 80
  for (int i = 0; i < 4; ++i) b.bytes[194 + i] = static_cast<std::uint8_t>(10 + i);
  std::memcpy(&b.bytes[328], "pool.ntp.org", 12);
  EXPECT_EQ(b.TcpControlPort(), 9500);
  EXPECT_EQ(b.WebSslPort(), 443);
  EXPECT_EQ(b.WebServerPort(), 80);
  EXPECT_THAT(b.IpAddress(), ElementsAre(10, 11, 12, 13));
  EXPECT_EQ(b.NtpServer(), "pool.ntp.org");
  // The NTP field is the last 40 bytes; a field without NUL ends with the block.
  std::memset(&b.bytes[328], 'n', 40);
  EXPECT_EQ(b.NtpServer(), std::string(40, 'n'));
}

TEST(NetworkSettingsBlock, BuiltSettingsFormIsZeroWhereNoFieldSetsIt) {
  // Received from a device with everything set: nothing of it may leak into the form.
  const NetworkSettingsBlock built = BuildSettingsForm(SomeFields());
  ExpectZero(built.bytes, {{0, 4}, {12, 188}, {206, 271}, {272, 274}, {276, 284}, {285, 368}});
  EXPECT_EQ(built.bytes[284], 1) << "UPnP checked carries flags value 1";
  EXPECT_EQ(built.ServiceFlags(), 1u);
  EXPECT_EQ(built.TcpControlPort(), 9600);
  EXPECT_EQ(built.WebSslPort(), 8443);
  EXPECT_EQ(built.RelayPort(), 9601);
  EXPECT_EQ(built.WebServerPort(), 8080);
  EXPECT_THAT(built.MacAddress(), ElementsAre(0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E));
  EXPECT_THAT(built.Gateway(), ElementsAre(192, 168, 0, 1));
  EXPECT_THAT(built.Netmask(), ElementsAre(255, 255, 255, 0));
  EXPECT_TRUE(built.Dhcp());
  EXPECT_TRUE(built.WebServerOff());
}

TEST(NetworkSettingsBlock, ZeroPortsBecomeTheDefaults) {
  NetworkSettingsFields f;
  f.tcpControlPort = f.webSslPort = f.relayPort = f.webServerPort = 0;
  const NetworkSettingsBlock built = BuildSettingsForm(f);
  EXPECT_EQ(built.TcpControlPort(), 9500);
  EXPECT_EQ(built.WebSslPort(), 443);
  EXPECT_EQ(built.RelayPort(), 9501);
  EXPECT_EQ(built.WebServerPort(), 80);
  EXPECT_EQ(built.ServiceFlags(), 0u);
  EXPECT_EQ(built.DhcpByte(), 0);
}

TEST(NetworkSettingsBlock, RegistrationFormLayout) {
  const std::string mac = FormatMacUpper({0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E});
  EXPECT_EQ(mac, "00:1A:2B:3C:4D:5E");
  const RegistrationFormResult r = BuildRegistrationForm(mac, "\xED\x9A\x8C\xEC\x82\xAC", "mybox", "a@b.kr");
  ASSERT_TRUE(r.ok());
  const auto& b = r.block.bytes;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[28]), 17), "00:1A:2B:3C:4D:5E");
  EXPECT_EQ(b[45], 0);
  EXPECT_EQ(r.block.MacText(), mac);
  EXPECT_EQ(r.block.Company(), "\xED\x9A\x8C\xEC\x82\xAC");
  EXPECT_EQ(r.block.DdnsName(), "mybox");
  EXPECT_EQ(r.block.Email(), "a@b.kr");
  ExpectZero(b, {{0, 28}, {45, 108}, {188, 206}, {271, 368}});
}

TEST(NetworkSettingsBlock, RegistrationTextsThatDoNotFitAreRefused) {
  const std::string mac = "00:1A:2B:3C:4D:5E";
  struct Case {
    std::string mac, company, ddns, email;
    RegistrationFormStatus status;
  };
  const Case cases[] = {
      {mac, std::string(39, 'c'), std::string(39, 'd'), std::string(64, 'e'), RegistrationFormStatus::kOk},
      {std::string(80, 'm'), "", "", "", RegistrationFormStatus::kMacTextTooLong},
      {mac, std::string(40, 'c'), "", "", RegistrationFormStatus::kCompanyTooLong},
      {mac, "", std::string(40, 'd'), "", RegistrationFormStatus::kDdnsNameTooLong},
      {mac, "", "", std::string(65, 'e'), RegistrationFormStatus::kEmailTooLong},
  };
  for (const Case& c : cases) {
    const RegistrationFormResult r = BuildRegistrationForm(c.mac, c.company, c.ddns, c.email);
    EXPECT_EQ(r.status, c.status);
    if (!r.ok()) {
      EXPECT_THAT(r.block.bytes, Each(0)) << "a refused form carries nothing";
    }
  }
}

TEST(NetworkSettingsBlock, TextThatDoesNotFitLeavesTheFieldUntouched) {
  NetworkSettingsBlock b;
  ASSERT_TRUE(b.SetNtpServer("time.example"));
  b.bytes[328 + 39] = 0x77;  // a stray byte after the text stays until the next write
  EXPECT_FALSE(b.SetNtpServer(std::string(40, 'x')));
  EXPECT_EQ(b.NtpServer(), "time.example");
  EXPECT_EQ(b.bytes[328 + 39], 0x77);
  EXPECT_TRUE(b.SetNtpServer(std::string(39, 'y')));
  EXPECT_EQ(b.NtpServer(), std::string(39, 'y'));
  EXPECT_EQ(b.bytes[367], 0);
  // A shorter text clears the rest of the field.
  EXPECT_TRUE(b.SetNtpServer("a"));
  EXPECT_THAT(std::vector<std::uint8_t>(b.bytes.begin() + 329, b.bytes.end()), Each(0));
}

TEST(DeviceInfoBlock, AllZeroBlock) {
  const DeviceInfoBlock b;
  EXPECT_EQ(b.DeviceName(), "");
  EXPECT_EQ(b.Company(), "");
  EXPECT_EQ(b.DdnsName(), "");
  EXPECT_EQ(b.Email(), "");
  EXPECT_EQ(b.EngineVersion(), "");
  EXPECT_EQ(b.FirmwareVersion(), "");
  EXPECT_THAT(b.MacAddress(), Each(0));
  EXPECT_EQ(b.ConnectionLimit(), 0);
  EXPECT_EQ(b.DeviceValue280Clamped(), 10);
}

TEST(DeviceInfoBlock, DeviceNameOfSixteenBytesWithoutNul) {
  DeviceInfoBlock b;
  std::memset(&b.bytes[12], 'N', 16);
  std::memset(&b.bytes[28], 'M', 80);  // the next room must not be read as part of the name
  EXPECT_EQ(b.DeviceName(), std::string(16, 'N'));
}

TEST(DeviceInfoBlock, NumbersAtTheirOffsets) {
  DeviceInfoBlock b;
  b.bytes[272] = 0xC8;
  b.bytes[273] = 3;
  b.bytes[276] = 0xFF, b.bytes[277] = 0xFF;
  EXPECT_EQ(b.DeviceByte272(), 0xC8);
  EXPECT_EQ(b.BlankMode(), 3);
  EXPECT_EQ(b.ConnectionLimit(), 65535) << "the field is unsigned";
  std::memcpy(&b.bytes[288], "24.2.1", 7);
  std::memcpy(&b.bytes[308], "3.1.0", 6);
  EXPECT_EQ(b.EngineVersion(), "24.2.1");
  EXPECT_EQ(b.FirmwareVersion(), "3.1.0");
}

TEST(DeviceInfoBlock, DeviceValue280KeptWithin10To2040) {
  struct Case {
    std::int32_t raw, kept;
  };
  for (const Case c : {Case{-1, 10}, Case{INT32_MIN, 10}, Case{9, 10}, Case{10, 10}, Case{500, 500},
                       Case{2040, 2040}, Case{2041, 2040}, Case{INT32_MAX, 2040}}) {
    DeviceInfoBlock b;
    b.SetDeviceValue280(c.raw);
    EXPECT_EQ(b.DeviceValue280(), c.raw);
    EXPECT_EQ(b.DeviceValue280Clamped(), c.kept) << c.raw;
  }
}

TEST(DeviceInfoBlock, SettersRefuseTextsThatDoNotFit) {
  DeviceInfoBlock b;
  EXPECT_TRUE(b.SetDeviceName(std::string(15, 'a')));
  EXPECT_FALSE(b.SetDeviceName(std::string(16, 'b')));
  EXPECT_EQ(b.DeviceName(), std::string(15, 'a'));
  EXPECT_EQ(b.bytes[28], 0);
  EXPECT_FALSE(b.SetFirmwareVersion(std::string(20, '9')));
  EXPECT_TRUE(b.SetFirmwareVersion(std::string(19, '9')));
  EXPECT_EQ(b.bytes[328], 0);
}

}  // namespace
}  // namespace kolmara
