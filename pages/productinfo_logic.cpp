#include "pages/productinfo_logic.h"

#include "connection/conversions.h"
#include "connection/device_address.h"
#include "connection/global_data.h"

namespace kolmara {

QString FormatMacLower(const Mac& mac) {
  return QString::asprintf("%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
}

ProductSummary BuildProductSummary(const DeviceInfoBlock& block, const CGlobalData& store) {
  ProductSummary s;
  s.firmwareVersion = AnsiToWide(block.FirmwareVersion());
  s.engineVersion = AnsiToWide(block.EngineVersion());
  s.deviceName = AnsiToWide(block.DeviceName());
  // Through the code page on purpose: what it cannot show becomes '?', as
  // everywhere else the device's texts are shown.
  const std::optional<QByteArray> companyAnsi = Utf8ToAnsi(block.Company());
  s.company = companyAnsi ? AnsiToWide(std::string_view(companyAnsi->constData(), companyAnsi->size())) : QString();
  s.ddns = AnsiToWide(block.DdnsName()) + QLatin1String(kDdnsSuffix);
  s.email = AnsiToWide(block.Email());
  s.macAddress = FormatMacLower(block.MacAddress());
  s.maxViewId = QString::number(store.m_nViewIdCapacity);
  s.maxConnection = QString::number(store.m_nConnectionLimit);
  return s;
}

void ApplyDeviceInfoToStore(const DeviceInfoBlock& block, CGlobalData& store) {
  store.m_nBlankMode.store(block.BlankMode());
  store.m_nDeviceByte272 = block.DeviceByte272();
  store.m_nDeviceValue280 = block.DeviceValue280Clamped();
  store.m_nConnectionLimit = block.ConnectionLimit();
}

void StoreProductIdentity(const DeviceInfoBlock& block, CGlobalData& store) {
  store.m_strEngineVersion = NormaliseVersion(block.EngineVersion());
  store.m_strDeviceName = AnsiToWide(block.DeviceName());
}

}  // namespace kolmara
