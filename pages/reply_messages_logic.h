#pragma once
// What the administrator is told about each reply notification, as data, so
// that the main window's dispatch and the command-line client share one
// table. The window-side effects (page refreshes, requests) stay with the
// dispatcher; the store-side ones are here too, for the same reason.
#include <QString>
#include <cstdint>
#include <span>

namespace kolmara {

class CGlobalData;

inline constexpr char kMsgConnectionClosed[] = "서버접속이 해제 되었습니다.";

struct ReplyOutcome {
  QString message;          // empty: nothing is shown
  bool endsWindow = false;  // the main window ends once the message is closed
};

// The message and ending for notification `code` with header value `value`.
// Codes 2 and 8 carry a block and never produce a message.
ReplyOutcome DescribeReply(int code, std::int32_t value);

// One fixed-text rule of the dispatch tables; `from`..`to` inclusive, and a
// rule with `anyValue` matches whatever value no earlier rule of its code took.
struct ReplyMessageRule {
  int code;
  std::int32_t from;
  std::int32_t to;
  bool anyValue;
  const char* text;  // UTF-8; nullptr: the value is known and shows nothing
  bool endsWindow;
};
std::span<const ReplyMessageRule> ReplyMessageRules();

// "현재 서버의 시간은 YYYY-MM-DD hh:mm:ss 입니다." in the PC's local time
// (daylight saving included). Empty when the C library cannot convert it.
QString ServerTimeMessage(std::int32_t secondsSince1970);

// The view-ID page's capacity label, "Max View ID : %d 개".
QString ViewIdCapacityLabel(std::int32_t capacity);

// The store writes of the dispatch, other than notification 2's block:
// code 1 (capacity and logged-in flag) and code 15 (capacity 1..99,
// connection limit from 6001..10000).
void ApplyReplyToStore(int code, std::int32_t value, CGlobalData& store);

// Online update progress (notification 12). Fields in the order of the
// update page's status controls 1040, 1041, 1042, 1043, 1047; nullptr leaves
// a field as it is.
inline constexpr int kUpdateStatusFields = 5;
inline constexpr int kUpdateStatusControlIds[kUpdateStatusFields] = {1040, 1041, 1042, 1043, 1047};

struct UpdateProgressRow {
  std::int32_t from;
  std::int32_t to;
  const char* fields[kUpdateStatusFields];
  bool enableStartButton;
  bool sendFirmwareUpdate;  // command 19, only while connected
  const char* message;      // UTF-8, or nullptr
};
std::span<const UpdateProgressRow> OnlineUpdateProgressTable();
// Nothing for a value without a row: such a value changes nothing.
const UpdateProgressRow* FindUpdateProgress(std::int32_t value);

// What the firmware-update result 0 (notification 18) writes on the update page.
inline constexpr char kUpdateFinishedText[] = "Finished";
inline constexpr char kUpdateFirmwareFinishedText[] = "F/W Update Finished";

}  // namespace kolmara
