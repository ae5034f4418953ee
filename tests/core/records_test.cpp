// The records: network settings block, device information block, view-ID
// record and Wake-on-LAN entry, and the two ways of writing a text field.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "connection/conversions.h"
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

// ---- text fields written in place --------------------------------------

// Bytes that differ from offset to offset and are never 0, so a byte that a
// writer touches (or zeroes) by mistake shows up.
template <std::size_t N>
std::array<std::uint8_t, N> Filled() {
  std::array<std::uint8_t, N> out;
  for (std::size_t i = 0; i < N; ++i) out[i] = static_cast<std::uint8_t>(i % 251 + 1);
  return out;
}

// Every byte of `after` equals `before` outside the ranges [from, to).
template <std::size_t N>
void ExpectOnlyChanged(const std::array<std::uint8_t, N>& before, const std::array<std::uint8_t, N>& after,
                       std::initializer_list<Range> written, const std::string& what) {
  for (std::size_t i = 0; i < N; ++i) {
    const bool inside = std::any_of(written.begin(), written.end(), [i](Range r) { return i >= r.from && i < r.to; });
    if (!inside) {
      EXPECT_EQ(after[i], before[i]) << what << ": offset " << i << " was written";
    }
  }
}

struct TextCase {
  const char* name;
  std::size_t text;  // length of the text written (0: empty text)
  bool fits;
};

// Shorter than the old content, empty, exact fit with its NUL, one too long.
std::vector<TextCase> TextCases(std::size_t width) {
  return {{"short", 3, true}, {"empty", 0, true}, {"exact fit", width - 1, true}, {"too long", width, false}};
}

TEST(WriteFieldTextOnly, CopiesTextAndNulAndLeavesTheTailAsItWas) {
  constexpr std::size_t kWidth = 16;
  for (const TextCase& c : TextCases(kWidth)) {
    auto bytes = Filled<kWidth + 4>();  // two guard bytes on each side of the field
    const auto before = bytes;
    const std::string text(c.text, 't');
    ASSERT_EQ(WriteFieldTextOnly(&bytes[2], kWidth, text), c.fits) << c.name;
    if (!c.fits) {
      EXPECT_EQ(bytes, before) << c.name << ": a refused text writes nothing";
      continue;
    }
    EXPECT_EQ(FieldText(&bytes[2], kWidth), text) << c.name;
    EXPECT_EQ(bytes[2 + c.text], 0) << c.name;
    ExpectOnlyChanged(before, bytes, {{2, 2 + c.text + 1}}, c.name);
  }
}

TEST(WriteFieldTextOnly, TextEndsAtItsFirstNul) {
  auto bytes = Filled<8>();
  const auto before = bytes;
  ASSERT_TRUE(WriteFieldTextOnly(bytes.data(), 8, std::string_view("ab\0cdefghijk", 12)));
  EXPECT_EQ(FieldText(bytes.data(), 8), "ab");
  ExpectOnlyChanged(before, bytes, {{0, 3}}, "NUL inside");
}

TEST(WriteFieldText, ZeroFillsTheWholeFieldForBlocksBuiltFromZero) {
  auto bytes = Filled<12>();
  ASSERT_TRUE(WriteFieldText(&bytes[1], 10, "abc"));
  EXPECT_THAT(std::vector<std::uint8_t>(bytes.begin() + 4, bytes.begin() + 11), Each(0));
  EXPECT_EQ(bytes[0], 1);
  EXPECT_EQ(bytes[11], 12);
}

// One text field of a record: where it lies and the setter that writes it.
template <typename Record>
struct TextField {
  const char* name;
  std::size_t offset, width;
  std::function<bool(Record&, std::string_view)> set;
  std::function<std::string_view(const Record&)> get;
};

template <typename Record>
void CheckTextFields(const std::vector<TextField<Record>>& fields) {
  for (const auto& f : fields) {
    for (const TextCase& c : TextCases(f.width)) {
      const std::string what = std::string(f.name) + " / " + c.name;
      Record r;
      r.bytes = Filled<sizeof r.bytes>();
      const Record before = r;
      const std::string text(c.text, 'k');
      ASSERT_EQ(f.set(r, text), c.fits) << what;
      if (!c.fits) {
        EXPECT_EQ(r.bytes, before.bytes) << what << ": a refused text writes nothing";
        continue;
      }
      EXPECT_EQ(f.get(r), text) << what;
      EXPECT_EQ(r.bytes[f.offset + c.text], 0) << what;
      ExpectOnlyChanged(before.bytes, r.bytes, {{f.offset, f.offset + c.text + 1}}, what);
    }
  }
}

TEST(ViewIdRecord, TextSettersWriteTextAndNulOnly) {
  using R = ViewIdRecord;
  CheckTextFields<R>({
      {"ID", 0, 80, &R::SetId, &R::Id},
      {"PasswordHash", 80, 140, &R::SetPasswordHash, &R::PasswordHash},
      {"Name", 220, 80, &R::SetName, &R::Name},
      {"Password", 345, 43, &R::SetPassword, &R::Password},
  });
}

TEST(WolEntry, TextSettersWriteTextAndNulOnlyAndNeverTheFirstFourBytes) {
  using E = WolEntry;
  CheckTextFields<E>({
      {"Name", 4, 40, &E::SetName, &E::Name},
      {"MAC", 44, 80, &E::SetMacText, &E::MacText},
  });
}

TEST(WolEntry, KoreanNameIsRefusedRatherThanCutInsideACharacter) {
  std::string thirteen;
  for (int i = 0; i < 13; ++i) thirteen += "\xED\x9A\x8C";  // 회, 3 bytes in UTF-8
  WolEntry e;
  e.bytes = Filled<kWolEntrySize>();
  ASSERT_TRUE(e.SetName(thirteen)) << "39 bytes fit the 40-byte field";
  EXPECT_EQ(e.Name(), thirteen);
  const WolEntry before = e;
  EXPECT_FALSE(e.SetName(thirteen + "\xED\x9A\x8C"));
  EXPECT_EQ(e.bytes, before.bytes);
}

TEST(ViewIdRecord, NumberAndFlagSettersWriteTheirBytesOnly) {
  ViewIdRecord r;
  r.bytes = Filled<kViewIdRecordSize>();
  const ViewIdRecord before = r;
  r.SetGroupNumber(-2);
  r.SetSuperUser(true);
  r.SetNoFileTransfer(false);
  r.SetNoLogDelete(true);
  r.SetNoServerControl(false);
  r.SetNoRemoteControl(true);
  EXPECT_EQ(r.GroupNumber(), -2);
  EXPECT_THAT(std::vector<std::uint8_t>(r.bytes.begin() + 300, r.bytes.begin() + 305),
              ElementsAre(0xFE, 0xFF, 0xFF, 0xFF, 1));
  EXPECT_THAT(std::vector<std::uint8_t>(r.bytes.begin() + 338, r.bytes.begin() + 342), ElementsAre(0, 1, 0, 1));
  // The reserved bytes 305..337 and 342..344 among them.
  ExpectOnlyChanged(before.bytes, r.bytes, {{300, 305}, {338, 342}}, "numbers and flags");
}

TEST(ViewIdRecord, FieldsReadFromASlotAndCopyBack) {
  std::vector<std::uint8_t> table(3 * kViewIdRecordSize, 0);
  std::uint8_t* slot = table.data() + kViewIdRecordSize;
  std::memcpy(slot + 0, "oper1", 6);
  std::memcpy(slot + 220, "\xEA\xB9\x80", 4);  // 김
  slot[300] = 7;
  slot[304] = 1;
  slot[339] = 1;
  std::memcpy(slot + 345, "pw", 3);
  ViewIdRecord r = ViewIdRecord::FromBytes(slot);
  EXPECT_EQ(r.Id(), "oper1");
  EXPECT_EQ(r.Name(), "\xEA\xB9\x80");
  EXPECT_EQ(r.GroupNumber(), 7);
  EXPECT_EQ(r.SuperUser(), 1);
  EXPECT_EQ(r.NoLogDelete(), 1);
  EXPECT_EQ(r.NoFileTransfer(), 0);
  EXPECT_EQ(r.Password(), "pw");
  ASSERT_TRUE(r.SetId("op"));
  r.CopyTo(slot);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(slot), 6), std::string("op\0r1\0", 6));
  EXPECT_THAT(std::vector<std::uint8_t>(table.begin(), table.begin() + kViewIdRecordSize), Each(0));
  EXPECT_THAT(std::vector<std::uint8_t>(table.begin() + 2 * kViewIdRecordSize, table.end()), Each(0));
}

TEST(ViewIdPasswordDigest, UpperCaseHexOfSha512OfTheGivenBytes) {
  // The examples of FIPS 180-4: "abc" and the empty message.
  EXPECT_EQ(ViewIdPasswordDigest("abc"),
            "DDAF35A193617ABACC417349AE20413112E6FA4E89A97EA20A9EEEE64B55D39A"
            "2192992A274FC1A836BA3C23A3FEEBBD454D4423643CE80E2A9AC94FA54CA49F");
  EXPECT_EQ(ViewIdPasswordDigest(""),
            "CF83E1357EEFB8BDF1542850D66D8007D620E4050B5715DC83F4A921D36CE9CE"
            "47D0D13C5D85F2B0FF8318D2877EEC2F63B931BD47417A81A538327AF927DA3E");
  ViewIdRecord r;
  ASSERT_TRUE(r.SetPasswordHash(ViewIdPasswordDigest("abc")));
  EXPECT_EQ(r.PasswordHash().size(), ViewIdRecord::kDigestDigits);
  EXPECT_EQ(r.bytes[80 + 128], 0);
}

}  // namespace
}  // namespace kolmara
