#pragma once
// The command and reply catalogue as data: which frames the tool sends, which
// it accepts, how long each body is and where a received body goes.
#include <cstddef>
#include <cstdint>
#include <span>

namespace kolmara {

enum CommandCode : std::uint8_t {
  CMD_LOGIN = 1,
  CMD_GET_INFO = 2,
  CMD_SET_ADMIN = 3,
  CMD_GET_VIEWID_LIST = 4,
  CMD_SET_VIEWID_LIST = 5,
  CMD_GET_WOL_TABLE = 6,
  CMD_SET_WOL_TABLE = 7,
  CMD_GET_NETWORK = 8,
  CMD_SET_NETWORK = 9,
  CMD_CHECK_DDNS_ID = 10,
  CMD_REGISTER_MAC = 11,
  CMD_REGISTER_DDNS = 12,
  CMD_ONLINE_UPDATE = 13,
  CMD_DEVICE_NOTICE = 18,
  CMD_FIRMWARE_UPDATE = 19,
  CMD_UPLOAD_WEB = 20,
  CMD_BULK_21 = 21,  // no name of its own: a bulk block stored but never used
  CMD_BULK_22 = 22,
  CMD_GET_SERVER_TIME = 24,
  CMD_SET_BLANK_MODE = 25,
  CMD_SET_NTP_SERVER = 26,
  CMD_UPLOAD_FIRMWARE = 41,
};

// Sizes of the records and bodies that travel.
inline constexpr std::size_t kBlockSize = 368;            // information / network block
inline constexpr std::size_t kViewIdRecordSize = 388;
inline constexpr std::size_t kViewIdSlotsOnWire = 101;    // a table always carries 101 slots
inline constexpr std::size_t kViewIdStoreSlots = 512;     // what the store holds at most
inline constexpr std::size_t kViewIdWireMinimum = kViewIdRecordSize * kViewIdSlotsOnWire;  // 39,188
inline constexpr std::size_t kViewIdStoreBytes = kViewIdRecordSize * kViewIdStoreSlots;    // 198,656
inline constexpr std::size_t kWolEntrySize = 124;
inline constexpr std::size_t kWolEntries = 101;
inline constexpr std::size_t kWolTableSize = kWolEntrySize * kWolEntries;  // 12,524
inline constexpr std::size_t kBulk21Size = 45056;
inline constexpr std::size_t kBulk22Size = 90112;

// Reply notification codes, as the windows, the client and the tests name
// them. They follow the replies, not the requests: a DDNS check (request 10)
// is notified as 9, and codes 13..17 and 20..22 shift around the notices.
enum NotifyCode : int {
  kNotifyLogin = 1,
  kNotifyDeviceInfo = 2,
  kNotifyAdminChanged = 3,
  kNotifyViewIdTable = 4,
  kNotifyViewIdWritten = 5,
  kNotifyWolTable = 6,
  kNotifyWolWritten = 7,
  kNotifyNetwork = 8,
  kNotifyDdnsCheck = 9,
  kNotifyMacRegistered = 10,
  kNotifyDdnsRegistered = 11,
  kNotifyUpdateStage = 12,
  kNotifyReply14 = 13,
  kNotifyReply15 = 14,
  kNotifyDeviceNotice = 15,
  kNotifyReply16 = 16,
  kNotifyReply17 = 17,
  kNotifyFirmwareUpdate = 18,
  kNotifyNtpServer = 19,
  kNotifyBulk21 = 20,
  kNotifyBulk22 = 21,
  kNotifyReply23 = 22,
  kNotifyServerTime = 23,
  kNotifyWebUpload = 24,
  kNotifyFirmwareUpload = 25,
  kNotifyConnectionEnded = 255,
};

// Body length of a view-ID table for a count taken from a header value; the
// same rule in both directions. Counts above 101 are the device's to choose,
// so the result is 64-bit: 2^31 records would not fit a size_t on 32-bit.
constexpr std::uint64_t ViewIdTableLength(std::int32_t count) {
  if (count <= 0) return 0;
  if (count <= static_cast<std::int32_t>(kViewIdSlotsOnWire)) return kViewIdWireMinimum;
  return static_cast<std::uint64_t>(count) * kViewIdRecordSize;
}

// Where the receive thread puts a reply's body or value.
enum class ReplyDestination {
  kNothing,      // header only
  kInfoBlock,    // 368 bytes handed over with the notification (codes 2, 8)
  kViewIdTable,  // view-ID records handed over with the notification (count: the value)
  kWolTable,     // Wake-on-LAN table handed over likewise
  kBulk21,       // bulk value and, for a positive value, 45,056 bytes
  kBulk22,       // bulk value and, for a positive value, 90,112 bytes
  kBlankMode,    // value only, no notification
};

struct ReplyRule {
  std::uint8_t code;
  ReplyDestination destination;
  int notification;  // 0: none is posted
};

// The reply table. Codes not in it (9 included) are consumed as bare headers.
std::span<const ReplyRule> ReplyTable();
const ReplyRule* FindReplyRule(std::uint8_t code);

// Number of body bytes that follow a reply header with this rule and value.
std::uint64_t ReplyBodyLength(const ReplyRule& rule, std::int32_t value);

enum class RequestBody {
  kNone,
  kTextBody,       // 124 bytes, scrambled
  kViewIdTable,    // ViewIdTableLength(count), scrambled
  kWolTable,       // 12,524 bytes, scrambled
  kBlock,          // 368 bytes, scrambled
  kRaw,            // file bytes, not scrambled; header value is the length
};

struct RequestRule {
  std::uint8_t code;
  const char* operation;     // name of the sender on the connection
  bool fixedValue;           // header value is `value` (else: count or length)
  std::int32_t value;
  RequestBody body;
};

std::span<const RequestRule> RequestTable();
const RequestRule* FindRequestRule(std::uint8_t code);

// Number of body bytes that follow a request header with this rule and
// value; the device side reads requests by it.
std::uint64_t RequestBodyLength(const RequestRule& rule, std::int32_t value);

}  // namespace kolmara
