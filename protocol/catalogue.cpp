#include "protocol/catalogue.h"

#include <array>

#include "protocol/frame.h"

namespace kolmara {
namespace {

using D = ReplyDestination;

// Reply code -> destination, notification code. Notification numbers do not
// follow the command numbers everywhere (10 -> 9, 18 -> 15, 20 -> 24, ...).
constexpr std::array<ReplyRule, 26> kReplies{{
    {CMD_LOGIN, D::kNothing, kNotifyLogin},
    {CMD_GET_INFO, D::kInfoBlock, kNotifyDeviceInfo},
    {CMD_SET_ADMIN, D::kNothing, kNotifyAdminChanged},
    {CMD_GET_VIEWID_LIST, D::kViewIdTable, kNotifyViewIdTable},
    {CMD_SET_VIEWID_LIST, D::kNothing, kNotifyViewIdWritten},
    {CMD_GET_WOL_TABLE, D::kWolTable, kNotifyWolTable},
    {CMD_SET_WOL_TABLE, D::kNothing, kNotifyWolWritten},
    {CMD_GET_NETWORK, D::kInfoBlock, kNotifyNetwork},
    {CMD_CHECK_DDNS_ID, D::kNothing, kNotifyDdnsCheck},
    {CMD_REGISTER_MAC, D::kNothing, kNotifyMacRegistered},
    {CMD_REGISTER_DDNS, D::kNothing, kNotifyDdnsRegistered},
    {CMD_ONLINE_UPDATE, D::kNothing, kNotifyUpdateStage},
    {14, D::kNothing, kNotifyReply14},
    {15, D::kNothing, kNotifyReply15},
    {16, D::kNothing, kNotifyReply16},
    {17, D::kNothing, kNotifyReply17},
    {CMD_DEVICE_NOTICE, D::kNothing, kNotifyDeviceNotice},
    {CMD_FIRMWARE_UPDATE, D::kNothing, kNotifyFirmwareUpdate},
    {CMD_UPLOAD_WEB, D::kNothing, kNotifyWebUpload},
    {CMD_BULK_21, D::kBulk21, kNotifyBulk21},
    {CMD_BULK_22, D::kBulk22, kNotifyBulk22},
    {23, D::kNothing, kNotifyReply23},
    {CMD_GET_SERVER_TIME, D::kNothing, kNotifyServerTime},
    {CMD_SET_BLANK_MODE, D::kBlankMode, 0},
    {CMD_SET_NTP_SERVER, D::kNothing, kNotifyNtpServer},
    {CMD_UPLOAD_FIRMWARE, D::kNothing, kNotifyFirmwareUpload},
}};

using B = RequestBody;

constexpr std::array<RequestRule, 18> kRequests{{
    {CMD_LOGIN, "SendLogin", true, 124, B::kTextBody},
    {CMD_GET_INFO, "RequestDeviceInfo", true, 0, B::kNone},
    {CMD_SET_ADMIN, "SendAdminAccount", true, 124, B::kTextBody},
    {CMD_GET_VIEWID_LIST, "RequestViewIdList", true, 101, B::kNone},
    {CMD_SET_VIEWID_LIST, "SendViewIdList", false, 0, B::kViewIdTable},
    {CMD_GET_WOL_TABLE, "RequestWolTable", true, 101, B::kNone},
    {CMD_SET_WOL_TABLE, "SendWolTable", false, 0, B::kWolTable},
    {CMD_GET_NETWORK, "RequestNetworkSettings", true, 0, B::kNone},
    {CMD_SET_NETWORK, "SendNetworkSettings", true, 0, B::kBlock},
    {CMD_CHECK_DDNS_ID, "CheckDdnsId", true, 124, B::kTextBody},
    {CMD_REGISTER_MAC, "RegisterMac", true, 124, B::kTextBody},
    // The registration form is 368 bytes, yet the header says 124 all the same.
    {CMD_REGISTER_DDNS, "RegisterDdns", true, 124, B::kBlock},
    {CMD_ONLINE_UPDATE, "StartOnlineUpdate", true, 0, B::kNone},
    {CMD_FIRMWARE_UPDATE, "StartFirmwareUpdate", true, 0, B::kNone},
    {CMD_UPLOAD_WEB, "UploadWebArchive", false, 0, B::kRaw},
    {CMD_GET_SERVER_TIME, "RequestServerTime", true, 0, B::kNone},
    {CMD_SET_NTP_SERVER, "SetNtpServer", true, 124, B::kTextBody},
    {CMD_UPLOAD_FIRMWARE, "UploadFirmware", false, 0, B::kRaw},
}};

}  // namespace

std::span<const ReplyRule> ReplyTable() { return kReplies; }

const ReplyRule* FindReplyRule(std::uint8_t code) {
  for (const auto& rule : kReplies)
    if (rule.code == code) return &rule;
  return nullptr;
}

std::uint64_t ReplyBodyLength(const ReplyRule& rule, std::int32_t value) {
  switch (rule.destination) {
    case D::kInfoBlock: return kBlockSize;
    case D::kViewIdTable: return ViewIdTableLength(value);
    case D::kWolTable: return kWolTableSize;  // whatever the value
    case D::kBulk21: return value > 0 ? kBulk21Size : 0;
    case D::kBulk22: return value > 0 ? kBulk22Size : 0;
    case D::kNothing:
    case D::kBlankMode: return 0;
  }
  return 0;
}

std::span<const RequestRule> RequestTable() { return kRequests; }

const RequestRule* FindRequestRule(std::uint8_t code) {
  for (const auto& rule : kRequests)
    if (rule.code == code) return &rule;
  return nullptr;
}

std::uint64_t RequestBodyLength(const RequestRule& rule, std::int32_t value) {
  switch (rule.body) {
    case B::kNone: return 0;
    case B::kTextBody: return kTextBodySize;
    case B::kViewIdTable: return ViewIdTableLength(value);
    case B::kWolTable: return kWolTableSize;
    case B::kBlock: return kBlockSize;
    case B::kRaw: return value > 0 ? static_cast<std::uint64_t>(value) : 0;
  }
  return 0;
}

}  // namespace kolmara
