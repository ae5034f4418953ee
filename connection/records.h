#pragma once
// The records that travel between the tool and the device: the two 368-byte
// blocks, the view-ID record and the Wake-on-LAN entry. Both ends use them.
// Each is a plain byte image of the wire layout (no padding, no alignment
// assumed); every accessor reads or writes exactly its field and nothing
// beyond it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/catalogue.h"

namespace kolmara {

using Mac = std::array<std::uint8_t, 6>;
using Ipv4 = std::array<std::uint8_t, 4>;  // a.b.c.d as a, b, c, d

// Little-endian helpers shared by every record type.
std::uint16_t ReadU16(const std::uint8_t* p);
std::uint32_t ReadU32(const std::uint8_t* p);
void WriteU16(std::uint8_t* p, std::uint16_t v);
void WriteU32(std::uint8_t* p, std::uint32_t v);
// Writes text + NUL at `field` and zero-fills the rest of the field; refuses
// (returns false, field untouched) when the text and its NUL do not fit
// `width`. A text ends at its first NUL. For blocks built from zero, where
// nothing behind the text may leak from an earlier content.
bool WriteFieldText(std::uint8_t* field, std::size_t width, std::string_view text);
// Writes text + NUL at `field` and nothing else: the bytes behind the NUL keep
// what the field held. The device's tables are edited in place and sent back
// whole, so a slot's tail is the device's (or an earlier record's) and must
// travel back as it came. Same refusal as WriteFieldText.
bool WriteFieldTextOnly(std::uint8_t* field, std::size_t width, std::string_view text);

// Network settings block, settings form (reply 8, request 9):
//   0   4  not interpreted           206 65 e-mail (ANSI)
//   4   2  TCP control port          271 1  DHCP (1 = DHCP)
//   6   2  web SSL port              272 2  not interpreted
//   8   2  relay port                274 2  web server off (1 = off)
//   10  2  web server port           276 8  not interpreted
//   12  96 not interpreted           284 4  service flags, bit 0 = UPnP
//   108 40 company (UTF-8)           288 40 not interpreted
//   148 40 DDNS name (ANSI)          328 40 NTP server (ANSI)
//   188 6  MAC    194 4 IP    198 4 gateway    202 4 netmask
// DDNS registration form (request 12):
//   0 28 zero, 28 80 MAC text (ANSI), 108 40 company (UTF-8), 148 40 DDNS
//   name, 188 18 zero, 206 65 e-mail, 271 97 zero
struct NetworkSettingsBlock {
  static constexpr std::size_t kTcpControlPort = 4, kWebSslPort = 6, kRelayPort = 8,
                               kWebServerPort = 10, kCompany = 108, kCompanyWidth = 40,
                               kDdnsName = 148, kDdnsNameWidth = 40, kMac = 188, kIp = 194,
                               kGateway = 198, kNetmask = 202, kEmail = 206, kEmailWidth = 65,
                               kDhcp = 271, kWebServerOff = 274, kServiceFlags = 284,
                               kNtpServer = 328, kNtpServerWidth = 40, kMacText = 28,
                               kMacTextWidth = 80;

  std::array<std::uint8_t, kBlockSize> bytes{};

  static NetworkSettingsBlock FromBytes(const std::uint8_t* data);

  std::uint16_t TcpControlPort() const { return ReadU16(&bytes[kTcpControlPort]); }
  std::uint16_t WebSslPort() const { return ReadU16(&bytes[kWebSslPort]); }
  std::uint16_t RelayPort() const { return ReadU16(&bytes[kRelayPort]); }
  std::uint16_t WebServerPort() const { return ReadU16(&bytes[kWebServerPort]); }
  std::string_view Company() const;   // UTF-8
  std::string_view DdnsName() const;  // ANSI
  Mac MacAddress() const;
  Ipv4 IpAddress() const;
  Ipv4 Gateway() const;
  Ipv4 Netmask() const;
  std::string_view Email() const;     // ANSI
  bool Dhcp() const { return bytes[kDhcp] == 1; }
  std::uint8_t DhcpByte() const { return bytes[kDhcp]; }
  bool WebServerOff() const { return ReadU16(&bytes[kWebServerOff]) == 1; }
  std::uint32_t ServiceFlags() const { return ReadU32(&bytes[kServiceFlags]); }
  bool Upnp() const { return (ServiceFlags() & 1u) != 0; }
  std::string_view NtpServer() const;  // ANSI
  std::string_view MacText() const;    // registration form only

  void SetTcpControlPort(std::uint16_t v) { WriteU16(&bytes[kTcpControlPort], v); }
  void SetWebSslPort(std::uint16_t v) { WriteU16(&bytes[kWebSslPort], v); }
  void SetRelayPort(std::uint16_t v) { WriteU16(&bytes[kRelayPort], v); }
  void SetWebServerPort(std::uint16_t v) { WriteU16(&bytes[kWebServerPort], v); }
  bool SetCompany(std::string_view utf8) { return WriteFieldText(&bytes[kCompany], kCompanyWidth, utf8); }
  bool SetDdnsName(std::string_view ansi) { return WriteFieldText(&bytes[kDdnsName], kDdnsNameWidth, ansi); }
  void SetMacAddress(const Mac& mac);
  void SetIpAddress(const Ipv4& ip);
  void SetGateway(const Ipv4& ip);
  void SetNetmask(const Ipv4& ip);
  bool SetEmail(std::string_view ansi) { return WriteFieldText(&bytes[kEmail], kEmailWidth, ansi); }
  void SetDhcp(bool on) { bytes[kDhcp] = on ? 1 : 0; }
  void SetWebServerOff(bool off) { WriteU16(&bytes[kWebServerOff], off ? 1 : 0); }
  void SetServiceFlags(std::uint32_t flags) { WriteU32(&bytes[kServiceFlags], flags); }
  bool SetNtpServer(std::string_view ansi) { return WriteFieldText(&bytes[kNtpServer], kNtpServerWidth, ansi); }
  bool SetMacText(std::string_view ansi) { return WriteFieldText(&bytes[kMacText], kMacTextWidth, ansi); }
};
static_assert(sizeof(NetworkSettingsBlock) == kBlockSize);

// What the administrator sets in a settings form. Ports of 0 are replaced by
// the device defaults, so a sent form never carries a zero port.
struct NetworkSettingsFields {
  std::uint16_t tcpControlPort = 9500;
  std::uint16_t webSslPort = 443;
  std::uint16_t relayPort = 9501;
  std::uint16_t webServerPort = 80;
  Mac mac{};
  Ipv4 ip{};
  Ipv4 gateway{};
  Ipv4 netmask{};
  bool dhcp = false;
  bool webServerOff = false;
  bool upnp = false;
};

inline constexpr std::uint16_t kDefaultTcpControlPort = 9500;
inline constexpr std::uint16_t kDefaultWebSslPort = 443;
inline constexpr std::uint16_t kDefaultRelayPort = 9501;
inline constexpr std::uint16_t kDefaultWebServerPort = 80;

// Settings form: every byte no field sets is zero (company, DDNS, e-mail, NTP
// and all not-interpreted ranges included); the device takes only these.
NetworkSettingsBlock BuildSettingsForm(const NetworkSettingsFields& fields);

enum class RegistrationFormStatus { kOk, kMacTextTooLong, kCompanyTooLong, kDdnsNameTooLong, kEmailTooLong };

struct RegistrationFormResult {
  RegistrationFormStatus status = RegistrationFormStatus::kOk;
  NetworkSettingsBlock block;
  bool ok() const { return status == RegistrationFormStatus::kOk; }
};

// MAC text as "00:1A:2B:3C:4D:5E": upper-case, colon-separated.
std::string FormatMacUpper(const Mac& mac);

// DDNS registration form; texts that do not fit are refused, never cut.
RegistrationFormResult BuildRegistrationForm(std::string_view macTextAnsi, std::string_view companyUtf8,
                                             std::string_view ddnsNameAnsi, std::string_view emailAnsi);

// Device information block (reply 2), read only:
//   12 16 device name (ANSI)   108 40 company (UTF-8)   148 40 DDNS name (ANSI)
//   188 6 MAC   206 65 e-mail (ANSI)   272 1 device byte   273 1 blank mode
//   276 2 connection limit (u16)   280 4 device value (s32)
//   288 20 server engine version (ANSI)   308 20 firmware version (ANSI)
struct DeviceInfoBlock {
  static constexpr std::size_t kDeviceName = 12, kDeviceNameWidth = 16, kCompany = 108,
                               kCompanyWidth = 40, kDdnsName = 148, kDdnsNameWidth = 40, kMac = 188,
                               kEmail = 206, kEmailWidth = 65, kDeviceByte272 = 272, kBlankMode = 273,
                               kConnectionLimit = 276, kDeviceValue280 = 280, kEngineVersion = 288,
                               kEngineVersionWidth = 20, kFirmwareVersion = 308,
                               kFirmwareVersionWidth = 20;
  static constexpr std::int32_t kDeviceValueMin = 10, kDeviceValueMax = 2040;

  std::array<std::uint8_t, kBlockSize> bytes{};

  static DeviceInfoBlock FromBytes(const std::uint8_t* data);

  std::string_view DeviceName() const;
  std::string_view Company() const;  // UTF-8
  std::string_view DdnsName() const;
  Mac MacAddress() const;
  std::string_view Email() const;
  std::uint8_t BlankMode() const { return bytes[kBlankMode]; }
  std::uint8_t DeviceByte272() const { return bytes[kDeviceByte272]; }
  std::uint16_t ConnectionLimit() const { return ReadU16(&bytes[kConnectionLimit]); }
  std::int32_t DeviceValue280() const { return static_cast<std::int32_t>(ReadU32(&bytes[kDeviceValue280])); }
  // The copy the store keeps: raised to 10, lowered to 2040.
  std::int32_t DeviceValue280Clamped() const;
  std::string_view EngineVersion() const;
  std::string_view FirmwareVersion() const;

  // The device side (substitute device, tests) fills the block with these.
  bool SetDeviceName(std::string_view ansi) { return WriteFieldText(&bytes[kDeviceName], kDeviceNameWidth, ansi); }
  bool SetCompany(std::string_view utf8) { return WriteFieldText(&bytes[kCompany], kCompanyWidth, utf8); }
  bool SetDdnsName(std::string_view ansi) { return WriteFieldText(&bytes[kDdnsName], kDdnsNameWidth, ansi); }
  void SetMacAddress(const Mac& mac);
  bool SetEmail(std::string_view ansi) { return WriteFieldText(&bytes[kEmail], kEmailWidth, ansi); }
  void SetBlankMode(std::uint8_t v) { bytes[kBlankMode] = v; }
  void SetDeviceByte272(std::uint8_t v) { bytes[kDeviceByte272] = v; }
  void SetConnectionLimit(std::uint16_t v) { WriteU16(&bytes[kConnectionLimit], v); }
  void SetDeviceValue280(std::int32_t v) { WriteU32(&bytes[kDeviceValue280], static_cast<std::uint32_t>(v)); }
  bool SetEngineVersion(std::string_view ansi) { return WriteFieldText(&bytes[kEngineVersion], kEngineVersionWidth, ansi); }
  bool SetFirmwareVersion(std::string_view ansi) { return WriteFieldText(&bytes[kFirmwareVersion], kFirmwareVersionWidth, ansi); }
};
static_assert(sizeof(DeviceInfoBlock) == kBlockSize);

// View-ID record, 388 bytes, the same in the store, on the wire and on the
// device:
//   0   80  ID, UTF-8, NUL-terminated (the page admits 1..36 letters/digits)
//   80  140 password digest: 128 upper-case hex digits of SHA-512, NUL;
//           bytes 209..219 are never written here
//   220 80  display name, UTF-8, may be empty
//   300 4   group number, signed 32-bit (0..100 on the page)
//   304 1   super user (1 = yes)
//   305 33  reserved
//   338 1   no file transfer      339 1 no log delete
//   340 1   no server control     341 1 no remote control
//   342 3   reserved
//   345 43  the password in plain text, ANSI code page, at most 24 bytes
// Text setters copy the text and its NUL only (WriteFieldTextOnly); flags are
// written as 0 or 1; reserved bytes are never written.
struct ViewIdRecord {
  static constexpr std::size_t kId = 0, kIdWidth = 80, kPasswordHash = 80, kPasswordHashWidth = 140,
                               kName = 220, kNameWidth = 80, kGroupNumber = 300, kSuperUser = 304,
                               kReserved305 = 305, kReserved305Width = 33, kNoFileTransfer = 338,
                               kNoLogDelete = 339, kNoServerControl = 340, kNoRemoteControl = 341,
                               kReserved342 = 342, kReserved342Width = 3, kPassword = 345,
                               kPasswordWidth = 43;
  static constexpr std::size_t kDigestDigits = 128;  // hex digits of a SHA-512 digest

  std::array<std::uint8_t, kViewIdRecordSize> bytes{};

  static ViewIdRecord FromBytes(const std::uint8_t* data);
  void CopyTo(std::uint8_t* slot) const;

  std::string_view Id() const;            // UTF-8
  std::string_view PasswordHash() const;  // ASCII
  std::string_view Name() const;          // UTF-8
  std::int32_t GroupNumber() const { return static_cast<std::int32_t>(ReadU32(&bytes[kGroupNumber])); }
  std::uint8_t SuperUser() const { return bytes[kSuperUser]; }
  std::uint8_t NoFileTransfer() const { return bytes[kNoFileTransfer]; }
  std::uint8_t NoLogDelete() const { return bytes[kNoLogDelete]; }
  std::uint8_t NoServerControl() const { return bytes[kNoServerControl]; }
  std::uint8_t NoRemoteControl() const { return bytes[kNoRemoteControl]; }
  std::string_view Password() const;      // ANSI

  bool SetId(std::string_view utf8) { return WriteFieldTextOnly(&bytes[kId], kIdWidth, utf8); }
  bool SetPasswordHash(std::string_view hex) {
    return WriteFieldTextOnly(&bytes[kPasswordHash], kPasswordHashWidth, hex);
  }
  bool SetName(std::string_view utf8) { return WriteFieldTextOnly(&bytes[kName], kNameWidth, utf8); }
  void SetGroupNumber(std::int32_t group) { WriteU32(&bytes[kGroupNumber], static_cast<std::uint32_t>(group)); }
  void SetSuperUser(bool on) { bytes[kSuperUser] = on ? 1 : 0; }
  void SetNoFileTransfer(bool on) { bytes[kNoFileTransfer] = on ? 1 : 0; }
  void SetNoLogDelete(bool on) { bytes[kNoLogDelete] = on ? 1 : 0; }
  void SetNoServerControl(bool on) { bytes[kNoServerControl] = on ? 1 : 0; }
  void SetNoRemoteControl(bool on) { bytes[kNoRemoteControl] = on ? 1 : 0; }
  bool SetPassword(std::string_view ansi) { return WriteFieldTextOnly(&bytes[kPassword], kPasswordWidth, ansi); }
};
static_assert(sizeof(ViewIdRecord) == kViewIdRecordSize);

// The password digest the device compares: SHA-512 of the password's bytes
// (ANSI code page, no terminator) as 128 upper-case hexadecimal digits.
std::string ViewIdPasswordDigest(std::string_view ansiPassword);

// Wake-on-LAN entry, 124 bytes; the table is 101 of them back to back:
//   0  4  not interpreted: the device's bytes, never written by the setters
//   4  40 PC name, UTF-8, NUL-terminated, at most 39 bytes
//   44 80 MAC address text, UTF-8, normally "ab:39:22:44:12:aa"
// Text setters copy the text and its NUL only (WriteFieldTextOnly).
struct WolEntry {
  static constexpr std::size_t kDeviceBytes = 0, kDeviceBytesWidth = 4, kName = 4, kNameWidth = 40, kMac = 44,
                               kMacWidth = 80;

  std::array<std::uint8_t, kWolEntrySize> bytes{};

  static WolEntry FromBytes(const std::uint8_t* data);
  void CopyTo(std::uint8_t* slot) const;

  std::string_view Name() const;     // UTF-8
  std::string_view MacText() const;  // UTF-8

  bool SetName(std::string_view utf8) { return WriteFieldTextOnly(&bytes[kName], kNameWidth, utf8); }
  bool SetMacText(std::string_view utf8) { return WriteFieldTextOnly(&bytes[kMac], kMacWidth, utf8); }
};
static_assert(sizeof(WolEntry) == kWolEntrySize);

// The firmware image header (the first 1172 bytes of a "bin" image) joins
// these records when the firmware upload arrives, so that the page, the
// client and the substitute device read it with one reader.

}  // namespace kolmara
