#include "pages/viewid_logic.h"

#include <algorithm>
#include <cstring>

#include "connection/conversions.h"
#include "connection/global_data.h"
#include "connection/records.h"

namespace kolmara {
namespace {

// The list shows IDs and names through the ANSI code page, so characters it
// lacks appear as '?', as they did when they were typed.
QString ShownText(std::string_view utf8) {
  const std::optional<QByteArray> ansi = Utf8ToAnsi(utf8);
  if (!ansi) return QString();
  return AnsiToWide(std::string_view(ansi->constData(), ansi->size()));
}

}  // namespace

std::vector<ViewIdRow> ListViewIds(const CGlobalData& store) {
  const std::int32_t count = std::clamp<std::int32_t>(store.m_nViewIdCount, 0, kViewIdStoreSlots);
  std::vector<ViewIdRow> rows;
  rows.reserve(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    const ViewIdRecord r = ViewIdRecord::FromBytes(store.m_pViewIdTable.get() + i * kViewIdRecordSize);
    ViewIdRow row;
    row.number = i + 1;
    row.id = ShownText(r.Id());
    row.name = ShownText(r.Name());
    row.group = r.GroupNumber();
    row.superUser = r.SuperUser();
    row.noFileTransfer = r.NoFileTransfer() != 0;
    row.noLogDelete = r.NoLogDelete() != 0;
    row.noServerControl = r.NoServerControl() != 0;
    row.noRemoteControl = r.NoRemoteControl() != 0;
    rows.push_back(std::move(row));
  }
  return rows;
}

QString ViewIdCapacityLabel(std::int32_t capacity) {
  return QString::fromUtf8("Max View ID : %1 개").arg(capacity);
}

}  // namespace kolmara
