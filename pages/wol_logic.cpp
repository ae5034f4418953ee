#include "pages/wol_logic.h"

#include <algorithm>
#include <cstring>

#include "connection/conversions.h"
#include "connection/global_data.h"

namespace kolmara {

std::vector<WolRow> ListWolEntries(const CGlobalData& store) {
  const std::int32_t count = std::clamp<std::int32_t>(store.m_nWolCount, 0, kWolEntries);
  std::vector<WolRow> rows;
  rows.reserve(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    const WolEntry e = WolEntry::FromBytes(store.m_WolTable.data() + i * kWolEntrySize);
    rows.push_back(WolRow{i + 1, Utf8ToWide(e.Name()), Utf8ToWide(e.MacText())});
  }
  return rows;
}

}  // namespace kolmara
