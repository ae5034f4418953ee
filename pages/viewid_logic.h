#pragma once
// What the view-ID page lists of the table, apart from the widgets so that
// the command-line client lists the same rows.
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

// One row of the page's list.
struct ViewIdRow {
  int number = 0;       // 1-based
  QString id;           // UTF-8 shown through the ANSI code page
  QString name;         // likewise
  std::int32_t group = 0;
  int superUser = 0;    // the byte as a number, as the list column shows it
  bool noFileTransfer = false;
  bool noLogDelete = false;
  bool noServerControl = false;
  bool noRemoteControl = false;
};

// The valid records 0..N-1 of the store's table. A count below 0 lists
// nothing, and one above the store's 512 slots lists only those: the device
// chooses the count, the store's size is ours.
std::vector<ViewIdRow> ListViewIds(const CGlobalData& store);

// The page's capacity label, "Max View ID : %d 개".
QString ViewIdCapacityLabel(std::int32_t capacity);

}  // namespace kolmara
