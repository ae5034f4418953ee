// Feeds arbitrary state files to the substitute device's loader. Checks that
// a load either gives a state or says why not, that an accepted state holds
// only what its fields and tables have room for, and that saving it and
// loading it back changes nothing.
#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <string>

#include "device/device_state.h"
#include "protocol/frame.h"

namespace {

using namespace kolmara;
using namespace kolmara::device;

#define CHECK(condition) \
  do {                   \
    if (!(condition)) __builtin_trap(); \
  } while (0)

void CheckText(const std::string& text, std::size_t room) {
  CHECK(text.size() + 1 <= room);
  CHECK(text.find('\0') == std::string::npos);
}

void CheckFits(const DeviceState& s) {
  CheckText(s.adminId, kTextBodyFirstRoom);
  CheckText(s.adminPassword, kTextBodySecondRoom);
  CheckText(s.ntpServer, NetworkSettingsBlock::kNtpServerWidth);
  CheckText(s.platform, DeviceInfoBlock::kDeviceNameWidth);
  CheckText(s.engineVersion, DeviceInfoBlock::kEngineVersionWidth);
  CheckText(s.firmwareVersion, DeviceInfoBlock::kFirmwareVersionWidth);
  CheckText(s.company, DeviceInfoBlock::kCompanyWidth);
  CheckText(s.ddnsName, DeviceInfoBlock::kDdnsNameWidth);
  CheckText(s.email, DeviceInfoBlock::kEmailWidth);
  CHECK(s.viewIdCount >= 0 && static_cast<std::size_t>(s.viewIdCount) <= kViewIdStoreSlots);
  CHECK(s.wolCount >= 0 && static_cast<std::size_t>(s.wolCount) <= kWolEntries);
  CHECK(s.viewIdTable.size() == kViewIdStoreBytes);
  CHECK(s.wolTable.size() == kWolTableSize);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const DeviceState defaults;
  const QByteArray json(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  std::string error;
  const std::optional<DeviceState> state = StateFromJson(json, defaults, &error);
  CHECK(state.has_value() == error.empty());
  if (!state) return 0;
  CheckFits(*state);
  // Saved and loaded again, the state is the same: nothing of it is lost or
  // reinterpreted on the way.
  const QByteArray saved = StateToJson(*state);
  std::string again;
  const std::optional<DeviceState> reloaded = StateFromJson(saved, defaults, &again);
  CHECK(reloaded.has_value());
  CheckFits(*reloaded);
  CHECK(StateToJson(*reloaded) == saved);
  return 0;
}
