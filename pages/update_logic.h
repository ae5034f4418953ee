#pragma once
// What the online update page shows of the device's progress reports, apart
// from the widgets: the stages of an online update (notification 12) and
// the end of the firmware update it leads to (notification 18).
#include <cstdint>
#include <span>

namespace kolmara {

// The five status fields, in the order of their controls 1040 (firmware),
// 1041 (control server), 1042 (relay server), 1043 (watchdog) and 1047
// (update completion).
inline constexpr int kUpdateStatusFields = 5;
inline constexpr int kUpdateStatusControlIds[kUpdateStatusFields] = {1040, 1041, 1042, 1043, 1047};

struct UpdateProgressRow {
  std::int32_t from;
  std::int32_t to;
  const char* fields[kUpdateStatusFields];  // nullptr leaves a field as it is
  bool enableStartButton;
  bool sendFirmwareUpdate;  // command 19, only while connected
};
std::span<const UpdateProgressRow> OnlineUpdateProgressTable();
// Nothing for a value without a row: such a value changes nothing.
const UpdateProgressRow* FindUpdateProgress(std::int32_t value);

// What the firmware-update result 0 (notification 18) writes on the page.
inline constexpr char kUpdateFinishedText[] = "Finished";
inline constexpr char kUpdateFirmwareFinishedText[] = "F/W Update Finished";

// The page's change for notification `code` with `value`: a progress row for
// code 12, the finished row for code 18 with value 0, else nothing. The
// messages of these codes are the reply tables' (DescribeReply).
const UpdateProgressRow* UpdatePageChange(int code, std::int32_t value);

}  // namespace kolmara
