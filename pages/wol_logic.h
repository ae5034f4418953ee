#pragma once
// The Wake-on-LAN entry and what the Wake-on-LAN page lists of the table,
// apart from the widgets so that the command-line client lists the same rows.
#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "protocol/catalogue.h"

namespace kolmara {

class CGlobalData;

// Wake-on-LAN entry, 124 bytes; the table is 101 of them back to back:
//   0  4  not interpreted: the device's bytes, never written by the tool
//   4  40 PC name, UTF-8, NUL-terminated
//   44 80 MAC address text, UTF-8, normally "ab:39:22:44:12:aa"
struct WolEntry {
  static constexpr std::size_t kName = 4, kNameWidth = 40, kMac = 44, kMacWidth = 80;

  std::array<std::uint8_t, kWolEntrySize> bytes{};

  static WolEntry FromBytes(const std::uint8_t* data);

  std::string_view Name() const;     // UTF-8
  std::string_view MacText() const;  // UTF-8
};
static_assert(sizeof(WolEntry) == kWolEntrySize);

struct WolRow {
  int number = 0;  // 1-based
  QString name;
  QString mac;
};

// Entries 0..count-1 of the store's table. The count is the device's header
// value; it is kept within 0..101 so that a wrong one never reads past the
// table.
std::vector<WolRow> ListWolEntries(const CGlobalData& store);

}  // namespace kolmara
