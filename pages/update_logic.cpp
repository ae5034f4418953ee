#include "pages/update_logic.h"

#include "protocol/catalogue.h"

namespace kolmara {
namespace {

constexpr const char* F = kUpdateFinishedText;
constexpr const char* S = "Start";

constexpr UpdateProgressRow kProgress[] = {
    {0, 0, {S, nullptr, nullptr, nullptr, nullptr}, false, false},
    {1, 1, {F, S, nullptr, nullptr, nullptr}, false, false},
    {2, 2, {F, F, S, nullptr, nullptr}, false, false},
    {3, 3, {F, F, F, S, nullptr}, false, false},
    {4, 5, {F, F, F, F, nullptr}, false, false},
    {6, 7, {F, F, F, F, S}, false, false},
    // The device has fetched everything: the tool asks it to flash.
    {8, 8, {F, F, F, F, "Start F/W Update"}, true, true},
    {98, 98, {}, true, false},
    {99, 99, {}, true, false},
};

constexpr UpdateProgressRow kFirmwareUpdated = {0, 0, {F, F, F, F, kUpdateFirmwareFinishedText}, true, false};

}  // namespace

std::span<const UpdateProgressRow> OnlineUpdateProgressTable() { return kProgress; }

const UpdateProgressRow* FindUpdateProgress(std::int32_t value) {
  for (const UpdateProgressRow& row : kProgress)
    if (value >= row.from && value <= row.to) return &row;
  return nullptr;
}

const UpdateProgressRow* UpdatePageChange(int code, std::int32_t value) {
  if (code == kNotifyUpdateStage) return FindUpdateProgress(value);
  if (code == kNotifyFirmwareUpdate && value == 0) return &kFirmwareUpdated;
  return nullptr;
}

}  // namespace kolmara
