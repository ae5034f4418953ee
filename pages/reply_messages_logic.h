#pragma once
// What the administrator is told about each reply notification, as data, so
// that the main window's dispatch and the command-line client share one
// table; and what each notification writes into the store, for the same
// reason. What a page shows of a reply is the page's own (CSettingPage::OnReply).
#include <QString>
#include <cstdint>
#include <optional>
#include <span>

#include "connection/notify.h"

namespace kolmara {

class CGlobalData;

inline constexpr char kMsgConnectionClosed[] = "서버접속이 해제 되었습니다.";

struct ReplyOutcome {
  QString message;          // empty: nothing is shown
  bool endsWindow = false;  // the main window ends once the message is closed
};

// The message and ending for notification `code` with header value `value`.
// Codes 2, 4, 6 and 8 carry data and never produce a message.
ReplyOutcome DescribeReply(int code, std::int32_t value);

// One fixed-text rule of the dispatch tables; `from`..`to` inclusive, and a
// rule with `anyValue` matches whatever value no earlier rule of its code took.
struct ReplyMessageRule {
  NotifyCode code;
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

// What a device notice (notification 15) reports besides its messages:
// 1..99 a new view-ID capacity, 6001..10000 a connection limit of value - 6000.
std::optional<std::int32_t> DeviceNoticeCapacity(std::int32_t value);
std::optional<std::int32_t> DeviceNoticeConnectionLimit(std::int32_t value);

// Every store write of the dispatch, on the thread that handles the
// notification: the login's capacity and logged-in flag (1), the device
// information block's values (2), the view-ID table (4: the first 101 slots
// zeroed, then the records received, the count held at 512), the
// Wake-on-LAN table (6: count held within 0..101) and the device notices
// (15). The window, the client and the tests all write the store through it.
void ApplyNotificationToStore(const Notification& n, CGlobalData& store);

}  // namespace kolmara
