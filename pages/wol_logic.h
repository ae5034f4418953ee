#pragma once
// What the Wake-on-LAN page lists of the table, apart from the widgets so
// that the command-line client lists the same rows.
#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "connection/records.h"
#include "protocol/catalogue.h"

namespace kolmara {

class CGlobalData;

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
