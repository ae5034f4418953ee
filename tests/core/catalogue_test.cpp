// The reply and request catalogue as data.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "protocol/catalogue.h"

namespace kolmara {
namespace {

struct ReplyCase {
  std::uint8_t code;
  int notification;  // 0: none posted
  std::int32_t value;
  std::uint64_t bodyLength;
};

// Every row of the reply table, with the body length it prescribes for a
// value; the bulk and view-ID rows appear with values on both sides of their
// thresholds.
const ReplyCase kReplyCases[] = {
    {1, 1, 150, 0},       {2, 2, 0, 368},         {3, 3, 101, 0},        {4, 4, 0, 0},
    {4, 4, 3, 39188},     {5, 5, 101, 0},         {6, 6, 0, 12524},      {6, 6, -1, 12524},
    {7, 7, 101, 0},       {8, 8, 0, 368},         {10, 9, 102, 0},       {11, 10, 401, 0},
    {12, 11, 409, 0},     {13, 12, 8, 0},         {14, 13, 0, 0},        {15, 14, 0, 0},
    {16, 16, 0, 0},       {17, 17, 0, 0},         {18, 15, 6001, 0},     {19, 18, 0, 0},
    {20, 24, 0, 0},       {21, 20, 0, 0},         {21, 20, 7, 45056},    {21, 20, -3, 0},
    {22, 21, 0, 0},       {22, 21, 7, 90112},     {23, 22, 0, 0},        {24, 23, 1700000000, 0},
    {25, 0, 1, 0},        {26, 19, 0, 0},         {41, 25, 2, 0},
};

class ReplyRow : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(ReplyRow, NotificationAndBodyLength) {
  const ReplyCase& c = GetParam();
  const ReplyRule* rule = FindReplyRule(c.code);
  ASSERT_NE(rule, nullptr);
  EXPECT_EQ(rule->notification, c.notification);
  EXPECT_EQ(ReplyBodyLength(*rule, c.value), c.bodyLength);
}

INSTANTIATE_TEST_SUITE_P(AllRows, ReplyRow, ::testing::ValuesIn(kReplyCases),
                         [](const auto& info) {
                           return "code" + std::to_string(info.param.code) + "_value" +
                                  (info.param.value < 0 ? "m" + std::to_string(-info.param.value)
                                                        : std::to_string(info.param.value));
                         });

TEST(ReplyTable, HoldsExactlyTheCataloguedCodes) {
  std::set<int> codes;
  for (const ReplyRule& rule : ReplyTable()) EXPECT_TRUE(codes.insert(rule.code).second) << int(rule.code);
  std::set<int> expected;
  for (const ReplyCase& c : kReplyCases) expected.insert(c.code);
  EXPECT_EQ(codes, expected);
  for (int code : {0, 9, 27, 40, 42, 255})
    EXPECT_EQ(FindReplyRule(static_cast<std::uint8_t>(code)), nullptr) << code;
}

TEST(ViewIdTableLength, FollowsTheCountRule) {
  struct Case {
    std::int32_t count;
    std::uint64_t length;
  };
  for (const Case c : {Case{0, 0}, Case{-5, 0}, Case{INT32_MIN, 0}, Case{1, 39188}, Case{101, 39188},
                       Case{102, 39576}, Case{120, 46560}, Case{600, 232800},
                       Case{INT32_MAX, std::uint64_t{INT32_MAX} * 388}})
    EXPECT_EQ(ViewIdTableLength(c.count), c.length) << c.count;
}

TEST(RequestTable, FixedValuesAndBodies) {
  struct Case {
    std::uint8_t code;
    const char* operation;
    bool fixedValue;
    std::int32_t value;
    RequestBody body;
  };
  using B = RequestBody;
  const Case cases[] = {
      {1, "SendLogin", true, 124, B::kTextBody},
      {2, "RequestDeviceInfo", true, 0, B::kNone},
      {3, "SendAdminAccount", true, 124, B::kTextBody},
      {4, "RequestViewIdList", true, 101, B::kNone},
      {5, "SendViewIdList", false, 0, B::kViewIdTable},
      {6, "RequestWolTable", true, 101, B::kNone},
      {7, "SendWolTable", false, 0, B::kWolTable},
      {8, "RequestNetworkSettings", true, 0, B::kNone},
      {9, "SendNetworkSettings", true, 0, B::kBlock},
      {10, "CheckDdnsId", true, 124, B::kTextBody},
      {11, "RegisterMac", true, 124, B::kTextBody},
      {12, "RegisterDdns", true, 124, B::kBlock},
      {13, "StartOnlineUpdate", true, 0, B::kNone},
      {19, "StartFirmwareUpdate", true, 0, B::kNone},
      {20, "UploadWebArchive", false, 0, B::kRaw},
      {24, "RequestServerTime", true, 0, B::kNone},
      {26, "SetNtpServer", true, 124, B::kTextBody},
      {41, "UploadFirmware", false, 0, B::kRaw},
  };
  EXPECT_EQ(RequestTable().size(), std::size(cases));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.operation);
    const RequestRule* rule = FindRequestRule(c.code);
    ASSERT_NE(rule, nullptr);
    EXPECT_STREQ(rule->operation, c.operation);
    EXPECT_EQ(rule->fixedValue, c.fixedValue);
    if (c.fixedValue) {
      EXPECT_EQ(rule->value, c.value);
    }
    EXPECT_EQ(rule->body, c.body);
  }
  EXPECT_EQ(FindRequestRule(25), nullptr) << "the blank mode is only ever a reply";
}

// What a device reads behind a request header: the registration form is 368
// bytes although its header says 124, and a raw upload is as long as its value.
TEST(RequestBodyLength, ByBodyKindAndValue) {
  const struct {
    std::uint8_t code;
    std::int32_t value;
    std::uint64_t length;
  } cases[] = {
      {CMD_LOGIN, 124, 124},          {CMD_GET_INFO, 0, 0},
      {CMD_SET_VIEWID_LIST, 0, 0},    {CMD_SET_VIEWID_LIST, -3, 0},
      {CMD_SET_VIEWID_LIST, 5, 39188}, {CMD_SET_VIEWID_LIST, 102, 39576},
      {CMD_SET_WOL_TABLE, 0, 12524},  {CMD_SET_NETWORK, 0, 368},
      {CMD_REGISTER_DDNS, 124, 368},  {CMD_UPLOAD_WEB, 5000, 5000},
      {CMD_UPLOAD_FIRMWARE, -1, 0},   {CMD_SET_NTP_SERVER, 124, 124},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "code " << int(c.code) << " value " << c.value);
    const RequestRule* rule = FindRequestRule(c.code);
    ASSERT_NE(rule, nullptr);
    EXPECT_EQ(RequestBodyLength(*rule, c.value), c.length);
  }
}

}  // namespace
}  // namespace kolmara
