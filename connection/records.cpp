#include "connection/records.h"

#include <cstdio>
#include <QCryptographicHash>
#include <cstring>
#include <string>

#include "connection/conversions.h"

namespace kolmara {

std::uint16_t ReadU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

std::uint32_t ReadU32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}

void WriteU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

void WriteU32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

bool WriteFieldText(std::uint8_t* field, std::size_t width, std::string_view text) {
  text = UpToNul(text);
  if (text.size() + 1 > width) return false;
  std::memset(field, 0, width);
  if (!text.empty()) std::memcpy(field, text.data(), text.size());
  return true;
}

bool WriteFieldTextOnly(std::uint8_t* field, std::size_t width, std::string_view text) {
  text = UpToNul(text);
  if (text.size() + 1 > width) return false;
  if (!text.empty()) std::memcpy(field, text.data(), text.size());
  field[text.size()] = 0;
  return true;
}

namespace {
template <std::size_t N>
std::array<std::uint8_t, N> ReadBytes(const std::uint8_t* p) {
  std::array<std::uint8_t, N> out;
  std::memcpy(out.data(), p, N);
  return out;
}
}  // namespace

NetworkSettingsBlock NetworkSettingsBlock::FromBytes(const std::uint8_t* data) {
  NetworkSettingsBlock block;
  std::memcpy(block.bytes.data(), data, kBlockSize);
  return block;
}

std::string_view NetworkSettingsBlock::Company() const { return FieldText(&bytes[kCompany], kCompanyWidth); }
std::string_view NetworkSettingsBlock::DdnsName() const { return FieldText(&bytes[kDdnsName], kDdnsNameWidth); }
std::string_view NetworkSettingsBlock::Email() const { return FieldText(&bytes[kEmail], kEmailWidth); }
std::string_view NetworkSettingsBlock::NtpServer() const { return FieldText(&bytes[kNtpServer], kNtpServerWidth); }
std::string_view NetworkSettingsBlock::MacText() const { return FieldText(&bytes[kMacText], kMacTextWidth); }
Mac NetworkSettingsBlock::MacAddress() const { return ReadBytes<6>(&bytes[kMac]); }
Ipv4 NetworkSettingsBlock::IpAddress() const { return ReadBytes<4>(&bytes[kIp]); }
Ipv4 NetworkSettingsBlock::Gateway() const { return ReadBytes<4>(&bytes[kGateway]); }
Ipv4 NetworkSettingsBlock::Netmask() const { return ReadBytes<4>(&bytes[kNetmask]); }
void NetworkSettingsBlock::SetMacAddress(const Mac& mac) { std::memcpy(&bytes[kMac], mac.data(), 6); }
void NetworkSettingsBlock::SetIpAddress(const Ipv4& ip) { std::memcpy(&bytes[kIp], ip.data(), 4); }
void NetworkSettingsBlock::SetGateway(const Ipv4& ip) { std::memcpy(&bytes[kGateway], ip.data(), 4); }
void NetworkSettingsBlock::SetNetmask(const Ipv4& ip) { std::memcpy(&bytes[kNetmask], ip.data(), 4); }

NetworkSettingsBlock BuildSettingsForm(const NetworkSettingsFields& f) {
  NetworkSettingsBlock block;  // all zero
  block.SetTcpControlPort(f.tcpControlPort ? f.tcpControlPort : kDefaultTcpControlPort);
  block.SetWebSslPort(f.webSslPort ? f.webSslPort : kDefaultWebSslPort);
  block.SetRelayPort(f.relayPort ? f.relayPort : kDefaultRelayPort);
  block.SetWebServerPort(f.webServerPort ? f.webServerPort : kDefaultWebServerPort);
  block.SetMacAddress(f.mac);
  block.SetIpAddress(f.ip);
  block.SetGateway(f.gateway);
  block.SetNetmask(f.netmask);
  block.SetDhcp(f.dhcp);
  block.SetWebServerOff(f.webServerOff);
  block.SetServiceFlags(f.upnp ? 1u : 0u);
  return block;
}

std::string FormatMacUpper(const Mac& mac) {
  char text[18];
  std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2], mac[3], mac[4],
                mac[5]);
  return text;
}

RegistrationFormResult BuildRegistrationForm(std::string_view macTextAnsi, std::string_view companyUtf8,
                                             std::string_view ddnsNameAnsi, std::string_view emailAnsi) {
  RegistrationFormResult r;
  if (!r.block.SetMacText(macTextAnsi)) r.status = RegistrationFormStatus::kMacTextTooLong;
  else if (!r.block.SetCompany(companyUtf8)) r.status = RegistrationFormStatus::kCompanyTooLong;
  else if (!r.block.SetDdnsName(ddnsNameAnsi)) r.status = RegistrationFormStatus::kDdnsNameTooLong;
  else if (!r.block.SetEmail(emailAnsi)) r.status = RegistrationFormStatus::kEmailTooLong;
  if (!r.ok()) r.block = NetworkSettingsBlock{};
  return r;
}

DeviceInfoBlock DeviceInfoBlock::FromBytes(const std::uint8_t* data) {
  DeviceInfoBlock block;
  std::memcpy(block.bytes.data(), data, kBlockSize);
  return block;
}

std::string_view DeviceInfoBlock::DeviceName() const { return FieldText(&bytes[kDeviceName], kDeviceNameWidth); }
std::string_view DeviceInfoBlock::Company() const { return FieldText(&bytes[kCompany], kCompanyWidth); }
std::string_view DeviceInfoBlock::DdnsName() const { return FieldText(&bytes[kDdnsName], kDdnsNameWidth); }
std::string_view DeviceInfoBlock::Email() const { return FieldText(&bytes[kEmail], kEmailWidth); }
std::string_view DeviceInfoBlock::EngineVersion() const {
  return FieldText(&bytes[kEngineVersion], kEngineVersionWidth);
}
std::string_view DeviceInfoBlock::FirmwareVersion() const {
  return FieldText(&bytes[kFirmwareVersion], kFirmwareVersionWidth);
}
Mac DeviceInfoBlock::MacAddress() const { return ReadBytes<6>(&bytes[kMac]); }
void DeviceInfoBlock::SetMacAddress(const Mac& mac) { std::memcpy(&bytes[kMac], mac.data(), 6); }

std::int32_t DeviceInfoBlock::DeviceValue280Clamped() const {
  const std::int32_t v = DeviceValue280();
  return v < kDeviceValueMin ? kDeviceValueMin : (v > kDeviceValueMax ? kDeviceValueMax : v);
}

ViewIdRecord ViewIdRecord::FromBytes(const std::uint8_t* data) {
  ViewIdRecord r;
  std::memcpy(r.bytes.data(), data, r.bytes.size());
  return r;
}

void ViewIdRecord::CopyTo(std::uint8_t* slot) const { std::memcpy(slot, bytes.data(), bytes.size()); }

std::string_view ViewIdRecord::Id() const { return FieldText(&bytes[kId], kIdWidth); }
std::string_view ViewIdRecord::PasswordHash() const { return FieldText(&bytes[kPasswordHash], kPasswordHashWidth); }
std::string_view ViewIdRecord::Name() const { return FieldText(&bytes[kName], kNameWidth); }
std::string_view ViewIdRecord::Password() const { return FieldText(&bytes[kPassword], kPasswordWidth); }

std::string ViewIdPasswordDigest(std::string_view ansiPassword) {
  const QByteArray digest = QCryptographicHash::hash(
      QByteArrayView(ansiPassword.data(), static_cast<qsizetype>(ansiPassword.size())), QCryptographicHash::Sha512);
  return digest.toHex().toUpper().toStdString();
}

WolEntry WolEntry::FromBytes(const std::uint8_t* data) {
  WolEntry e;
  std::memcpy(e.bytes.data(), data, e.bytes.size());
  return e;
}

void WolEntry::CopyTo(std::uint8_t* slot) const { std::memcpy(slot, bytes.data(), bytes.size()); }

std::string_view WolEntry::Name() const { return FieldText(&bytes[kName], kNameWidth); }
std::string_view WolEntry::MacText() const { return FieldText(&bytes[kMac], kMacWidth); }

}  // namespace kolmara
