#pragma once
// What the product summary shows of a device information block, and what
// that block leaves in the store. Shared with the command-line client.
#include <QString>

#include "connection/records.h"

namespace kolmara {

class CGlobalData;

struct ProductSummary {
  QString firmwareVersion;  // as received
  QString deviceName;
  QString engineVersion;    // as received; the store keeps it normalised
  QString macAddress;       // "00:1a:2b:0c:d4:ff"
  QString company;          // UTF-8 on the wire, shown through the ANSI code page
  QString ddns;             // DDNS name + the DDNS suffix, also when the name is empty
  QString email;
  QString maxViewId;        // the store's view-ID capacity
  QString maxConnection;    // the store's connection limit
};

// "%02x:%02x:%02x:%02x:%02x:%02x"
QString FormatMacLower(const Mac& mac);

// The nine fields from the block and the store's two capacities.
ProductSummary BuildProductSummary(const DeviceInfoBlock& block, const CGlobalData& store);

// The dispatch's store writes on notification 2, before the page shows the
// block: blank mode (byte 273), byte 272, the value at 280 clamped to
// 10..2040 and the 16-bit connection limit.
void ApplyDeviceInfoToStore(const DeviceInfoBlock& block, CGlobalData& store);

// What showing the block leaves in the store for the firmware upload: the
// normalised engine version and the device name.
void StoreProductIdentity(const DeviceInfoBlock& block, CGlobalData& store);

}  // namespace kolmara
