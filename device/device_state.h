#pragma once
// What the substitute device remembers: its credentials, the fields of its
// information block, its network settings, its NTP server and its two
// tables. Texts are kept as the bytes that travel (ANSI code page unless the
// field says UTF-8), so a table written by the tool comes back byte for byte.
#include <QByteArray>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "connection/records.h"
#include "protocol/catalogue.h"

namespace kolmara::device {

// A DDNS name that some other device already holds, with that device's MAC text.
struct TakenDdnsName {
  std::string name;
  std::string macText;  // "00:1A:2B:3C:4D:5E"
};

struct DeviceState {
  std::string adminId = "admin";        // ANSI
  std::string adminPassword = "admin";  // ANSI

  // Information block fields.
  std::string platform = "QXPB4K";  // device name: the platform code
  std::string engineVersion = "24.2.1";
  std::string firmwareVersion = "3.2.7";
  Mac mac{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  std::string company;   // UTF-8
  std::string ddnsName;  // ANSI, without the DDNS domain
  std::string email;     // ANSI
  std::uint16_t connectionLimit = 32;
  std::uint8_t blankMode = 0;
  std::uint8_t deviceByte272 = 0;
  std::int32_t deviceValue280 = 100;

  // Only the network fields of this block mean anything (ports, addresses,
  // DHCP, web server switch, service flags); the texts of a reply to code 8
  // are filled from the fields above and from ntpServer.
  NetworkSettingsBlock network = DefaultNetwork();
  std::string ntpServer = "pool.ntp.org";  // ANSI

  std::int32_t viewIdCount = 0;
  std::vector<std::uint8_t> viewIdTable = std::vector<std::uint8_t>(kViewIdStoreBytes, 0);
  std::int32_t wolCount = 0;
  std::vector<std::uint8_t> wolTable = std::vector<std::uint8_t>(kWolTableSize, 0);

  // The DDNS services' view of the world; not a setting of the device.
  std::vector<TakenDdnsName> takenDdnsNames = DefaultTakenNames();
  bool macRegistered = false;
  bool ddnsRegistered = false;

  static NetworkSettingsBlock DefaultNetwork();
  static std::vector<TakenDdnsName> DefaultTakenNames();
};

// Replaces both tables by a few view IDs and Wake-on-LAN entries (Korean names
// among them) for the demo and the screenshots, written as the pages write
// them: texts through the ANSI code page, the password digest of its
// code-page bytes. A device never holds more view IDs than it allows, so at
// most `viewIdCapacity` of them are kept.
void FillSampleTables(DeviceState& state, int viewIdCapacity);

// Tables of the wrong size are brought to their size (cut or zero-padded),
// and a view-ID count above the 512 records the table holds becomes 512.
void NormaliseTables(DeviceState& state);

// The 368-byte bodies the device answers with.
DeviceInfoBlock BuildInfoBlock(const DeviceState& state);
NetworkSettingsBlock BuildNetworkReply(const DeviceState& state);
// Takes the network fields of a received settings form; everything else of
// the block is left as it was (the device's MAC is its own, not the tool's).
void TakeNetworkFields(DeviceState& state, const NetworkSettingsBlock& received);

// 101 free, 102 the name belongs to another MAC, 103 the MAC holds another name.
std::int32_t CheckDdnsName(const DeviceState& state, std::string_view name, std::string_view macText);

// Edition letter rule for an uploaded image by its first byte: 0 accepted
// ("F" flashbin, or the bin edition the platform needs), 1 otherwise.
std::int32_t FirmwareVerdict(std::string_view platform, std::uint8_t firstByte);

// The persisted part of the state as JSON, and back. Parsing checks every
// field (types, text rooms, table sizes, counts) and says what is wrong; the
// DDNS table and the registration flags are not persisted.
QByteArray StateToJson(const DeviceState& state);
std::optional<DeviceState> StateFromJson(const QByteArray& json, const DeviceState& defaults, std::string* error);

// Loading: a missing file is no error (found = false); a file that cannot be
// read or parsed is. Saving writes a temporary file in the same folder and
// renames it over the old one, so a crash never leaves half a file.
struct LoadResult {
  bool ok = false;
  bool found = false;
  DeviceState state;
  std::string error;
};
LoadResult LoadStateFile(const std::string& path, const DeviceState& defaults);
// The file and its temporary files are readable by their owner only.
bool SaveStateFile(const std::string& path, const DeviceState& state, std::string* error);
// Temporary files a killed device left beside the state file.
void RemoveStaleTemporaryFiles(const std::string& path);

}  // namespace kolmara::device
