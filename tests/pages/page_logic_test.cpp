// The Qt-free rules of the login window, the administrator page, the product
// summary, the online update page, the reply tables and the store writes of
// the dispatch.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <numeric>

#include "connection/global_data.h"
#include "connection/records.h"
#include "pages/account_logic.h"
#include "pages/login_logic.h"
#include "pages/productinfo_logic.h"
#include "pages/reply_messages_logic.h"
#include "pages/update_logic.h"

namespace kolmara {
namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

struct AdminCase {
  const char* name;
  QString id, password, confirm;
  const char* message;  // nullptr: accepted
};

TEST(CheckAdminChange, ChecksInOrderAndStopsAtTheFirstFailure) {
  const QString korean20 = QString(20, QChar(0xAC00));  // 가 x 20 = 40 bytes in code page 949
  const AdminCase cases[] = {
      {"all empty", "", "", "", kMsgAdminIdEmpty},
      {"ID empty beats a too long password", "", QString(100, 'p'), "x", kMsgAdminIdEmpty},
      {"password empty, confirmation filled", "admin", "", "secret", kMsgAdminPasswordEmpty},
      {"case differs", "admin", "Secret", "secret", kMsgAdminConfirmMismatch},
      {"mismatch beats a too long ID", QString(50, 'i'), "a", "b", kMsgAdminConfirmMismatch},
      {"ID of 39 bytes", QString(39, 'i'), "pw", "pw", nullptr},
      {"ID of 40 bytes", QString(40, 'i'), "pw", "pw", kMsgIdTooLong},
      {"Korean ID of 20 characters is 40 bytes", korean20, "pw", "pw", kMsgIdTooLong},
      {"Korean ID of 19 characters", korean20.left(19), "pw", "pw", nullptr},
      {"password of 79 bytes", "admin", QString(79, 'p'), QString(79, 'p'), nullptr},
      {"password of 80 bytes", "admin", QString(80, 'p'), QString(80, 'p'), kMsgPasswordTooLong},
  };
  for (const AdminCase& c : cases) {
    SCOPED_TRACE(c.name);
    const AdminChangeResult r = CheckAdminChange(c.id, c.password, c.confirm);
    EXPECT_EQ(r.ok, c.message == nullptr);
    EXPECT_EQ(r.message, c.message ? U(c.message) : QString());
  }
}

TEST(CheckAdminChange, KeepsSpacesAndConvertsToTheCodePage) {
  const AdminChangeResult r = CheckAdminChange(U(" 관리자 "), "pw 1", "pw 1");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.idAnsi, QByteArray("\x20\xB0\xFC\xB8\xAE\xC0\xDA\x20"));
  EXPECT_EQ(r.passwordAnsi, QByteArray("pw 1"));
}

TEST(CheckAdminChange, LimitMessagesNameTheLimit) {
  EXPECT_TRUE(U(kMsgIdTooLong).contains("39"));
  EXPECT_TRUE(U(kMsgPasswordTooLong).contains("79"));
}

TEST(CheckLoginCredentials, RefusesWhatDoesNotFitTheLoginBody) {
  EXPECT_TRUE(CheckLoginCredentials(QString(39, 'a'), QString(79, 'b')).ok);
  EXPECT_TRUE(CheckLoginCredentials("", "").ok);  // the device judges empty ones

  const LoginCredentials longId = CheckLoginCredentials(QString(40, 'a'), "pw");
  EXPECT_FALSE(longId.ok);
  EXPECT_EQ(longId.message, U(kMsgIdTooLong));

  const LoginCredentials longPassword = CheckLoginCredentials("admin", QString(40, QChar(0xAC00)));
  EXPECT_FALSE(longPassword.ok);
  EXPECT_EQ(longPassword.message, U(kMsgPasswordTooLong));
}

TEST(LoginCapacity, AcceptsOnly101To249AndClampsTo100) {
  const struct { std::int32_t value; std::optional<std::int32_t> capacity; } cases[] = {
      {-101, std::nullopt}, {0, std::nullopt}, {100, std::nullopt}, {101, 1},  {150, 50},
      {200, 100},           {201, 100},        {249, 100},          {250, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(LoginCapacity(c.value), c.capacity);
  }
}

DeviceInfoBlock SampleBlock() {
  DeviceInfoBlock b;
  b.SetFirmwareVersion("3.1.7");
  b.SetEngineVersion("24.2.1");
  b.SetDeviceName("QXPB4K");
  b.SetCompany("Kolmara");
  b.SetDdnsName("mybox");
  b.SetEmail("admin@example.org");
  b.SetMacAddress({0x00, 0x1A, 0x2B, 0x0C, 0xD4, 0xFF});
  return b;
}

TEST(ProductSummary, ShowsTheBlockAndTheStoreCapacities) {
  CGlobalData store;
  store.m_nViewIdCapacity = 37;
  store.m_nConnectionLimit = 1500;
  const ProductSummary s = BuildProductSummary(SampleBlock(), store);
  EXPECT_EQ(s.firmwareVersion, "3.1.7");
  EXPECT_EQ(s.engineVersion, "24.2.1");  // as received, not normalised
  EXPECT_EQ(s.deviceName, "QXPB4K");
  EXPECT_EQ(s.company, "Kolmara");
  EXPECT_EQ(s.ddns, "mybox.kolmaraqx.net");
  EXPECT_EQ(s.email, "admin@example.org");
  EXPECT_EQ(s.macAddress, "00:1a:2b:0c:d4:ff");
  EXPECT_EQ(s.maxViewId, "37");
  EXPECT_EQ(s.maxConnection, "1500");
}

TEST(ProductSummary, EmptyDdnsNameShowsTheSuffixAlone) {
  CGlobalData store;
  DeviceInfoBlock b = SampleBlock();
  b.SetDdnsName("");
  EXPECT_EQ(BuildProductSummary(b, store).ddns, ".kolmaraqx.net");
}

TEST(ProductSummary, CompanyCharactersOutsideTheCodePageBecomeQuestionMarks) {
  CGlobalData store;
  DeviceInfoBlock b = SampleBlock();
  b.SetCompany("A\xE0\xB8\x81" "B\xED\x95\x9C");  // A, Thai ko kai, B, 한 (UTF-8)
  EXPECT_EQ(BuildProductSummary(b, store).company, U("A?B한"));
}

TEST(ProductSummary, IdentityInTheStoreIsReplacedByEveryBlock) {
  CGlobalData store;
  StoreProductIdentity(SampleBlock(), store);
  EXPECT_EQ(store.m_strEngineVersion, "24.02.01");
  EXPECT_EQ(store.m_strDeviceName, "QXPB4K");

  DeviceInfoBlock second;
  second.SetEngineVersion("25.10.3");
  second.SetDeviceName("QXPB8K");
  StoreProductIdentity(second, store);
  EXPECT_EQ(store.m_strEngineVersion, "25.10.03");
  EXPECT_EQ(store.m_strDeviceName, "QXPB8K");
}

TEST(ApplyDeviceInfoToStore, ClampsValue280AndReadsTheLimitUnsigned) {
  const struct { std::int32_t raw, stored; } cases[] = {{5, 10}, {-1, 10}, {500, 500}, {3000, 2040}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.raw);
    CGlobalData store;
    DeviceInfoBlock b;
    b.SetDeviceValue280(c.raw);
    b.SetDeviceByte272(0xAB);
    b.SetBlankMode(3);
    b.SetConnectionLimit(65535);
    ApplyDeviceInfoToStore(b, store);
    EXPECT_EQ(store.m_nDeviceValue280, c.stored);
    EXPECT_EQ(store.m_nDeviceByte272, 0xAB);
    EXPECT_EQ(store.m_nBlankMode.load(), 3);
    EXPECT_EQ(store.m_nConnectionLimit, 65535);
  }
}

TEST(ApplyNotificationToStore, LoginAndDeviceNotices) {
  const struct {
    int code;
    std::int32_t value;
    std::int32_t capacity, limit, loggedIn;
  } cases[] = {
      // Start: capacity 10, limit 0, logged in 7 (so a write shows).
      {kNotifyLogin, 101, 1, 0, 1},           {kNotifyLogin, 249, 100, 0, 1},
      {kNotifyLogin, 250, 10, 0, 0},          {kNotifyLogin, 100, 10, 0, 0},
      {kNotifyDeviceNotice, 0, 10, 0, 7},     {kNotifyDeviceNotice, 1, 1, 0, 7},
      {kNotifyDeviceNotice, 99, 99, 0, 7},    {kNotifyDeviceNotice, 100, 10, 0, 7},
      {kNotifyDeviceNotice, 6000, 10, 0, 7},  {kNotifyDeviceNotice, 6001, 10, 1, 7},
      {kNotifyDeviceNotice, 10000, 10, 4000, 7}, {kNotifyDeviceNotice, 10001, 10, 0, 7},
      {kNotifyAdminChanged, 101, 10, 0, 7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.code << "/" << c.value);
    CGlobalData store;
    store.m_bLoggedIn = 7;
    ApplyNotificationToStore(Notification{c.code, c.value, std::nullopt, nullptr}, store);
    EXPECT_EQ(store.m_nViewIdCapacity, c.capacity);
    EXPECT_EQ(store.m_nConnectionLimit, c.limit);
    EXPECT_EQ(store.m_bLoggedIn, c.loggedIn);
  }
}

TEST(ApplyNotificationToStore, DeviceInformationBlock) {
  CGlobalData store;
  DeviceInfoBlock b;
  b.SetDeviceValue280(3000);
  b.SetConnectionLimit(700);
  Notification n{kNotifyDeviceInfo, 0, std::nullopt, nullptr};
  ApplyNotificationToStore(n, store);  // no block: nothing to take
  EXPECT_EQ(store.m_nConnectionLimit, 0);
  n.block = b.bytes;
  ApplyNotificationToStore(n, store);
  EXPECT_EQ(store.m_nConnectionLimit, 700);
  EXPECT_EQ(store.m_nDeviceValue280, 2040);
}

std::shared_ptr<const TableBytes> TableOf(std::size_t length, std::uint8_t first) {
  auto t = std::make_shared<TableBytes>(length);
  std::iota(t->begin(), t->end(), first);
  return t;
}

// What the receive thread used to write straight into the store, now written
// from the notification's copy: the first 101 slots zeroed, then the records,
// later slots left as they were, the count held at 512.
TEST(ApplyNotificationToStore, ViewIdTableLandsAsItAlwaysDid) {
  const struct {
    std::int32_t count;
    std::size_t tableLength;  // what the reader hands over
    std::int32_t storedCount;
  } cases[] = {
      {0, 0, 0}, {-5, 0, -5}, {3, 39188, 3}, {101, 39188, 101}, {120, 46560, 120}, {600, 198656, 512},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.count);
    CGlobalData store;
    std::uint8_t* table = store.m_pViewIdTable.get();
    std::memset(table, 0xEE, kViewIdStoreBytes);
    const auto copy = TableOf(c.tableLength, 1);
    ApplyNotificationToStore(Notification{kNotifyViewIdTable, c.count, std::nullopt, copy}, store);
    EXPECT_EQ(store.m_nViewIdCount, c.storedCount);
    EXPECT_TRUE(std::equal(copy->begin(), copy->end(), table));
    const std::size_t zeroedEnd = std::max(c.tableLength, kViewIdWireMinimum);
    EXPECT_THAT(TableBytes(table + c.tableLength, table + zeroedEnd), ::testing::Each(0));
    EXPECT_THAT(TableBytes(table + zeroedEnd, table + kViewIdStoreBytes), ::testing::Each(0xEE));
  }
}

TEST(ApplyNotificationToStore, WolTableCountIsKeptWithinTheTable) {
  const struct { std::int32_t value, stored; } cases[] = {{5, 5}, {0, 0}, {101, 101}, {102, 101}, {-1, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    CGlobalData store;
    const auto copy = TableOf(kWolTableSize, static_cast<std::uint8_t>(c.value));
    ApplyNotificationToStore(Notification{kNotifyWolTable, c.value, std::nullopt, copy}, store);
    EXPECT_EQ(store.m_nWolCount, c.stored);
    EXPECT_THAT(store.m_WolTable, ::testing::ElementsAreArray(*copy));
  }
}

// A notification built without a table (a test, a window's own notice)
// leaves the tables and the edits in them alone.
TEST(ApplyNotificationToStore, TableNotificationWithoutATableChangesNothing) {
  CGlobalData store;
  store.m_nViewIdCount = 2;
  store.m_nWolCount = 3;
  store.ViewIdSlot(0)[0] = 'e';
  store.WolEntry(0)[4] = 'w';
  ApplyNotificationToStore(Notification{kNotifyViewIdTable, 9, std::nullopt, nullptr}, store);
  ApplyNotificationToStore(Notification{kNotifyWolTable, 9, std::nullopt, nullptr}, store);
  EXPECT_EQ(store.m_nViewIdCount, 2);
  EXPECT_EQ(store.m_nWolCount, 3);
  EXPECT_EQ(store.ViewIdSlot(0)[0], 'e');
  EXPECT_EQ(store.WolEntry(0)[4], 'w');
}

TEST(DescribeReply, LoginFollowsTheCapacityRule) {
  for (const std::int32_t value : {-101, 0, 100, 101, 150, 249, 250}) {
    SCOPED_TRACE(value);
    const ReplyOutcome outcome = DescribeReply(kNotifyLogin, value);
    EXPECT_EQ(outcome.message, LoginCapacity(value) ? QString() : U(kMsgLoginFailed));
    EXPECT_FALSE(outcome.endsWindow);
  }
}

TEST(ServerTimeMessage, UsesThePcTimeZone) {
  const char* old = std::getenv("TZ");
  const std::string saved = old ? old : "";
  setenv("TZ", "Asia/Seoul", 1);
  EXPECT_EQ(ServerTimeMessage(0), U("현재 서버의 시간은 1970-01-01 09:00:00 입니다."));
  setenv("TZ", "UTC", 1);
  EXPECT_EQ(ServerTimeMessage(1708560000), U("현재 서버의 시간은 2024-02-22 00:00:00 입니다."));
  // Daylight saving counts: 1 July 2024 12:00 UTC is 14:00 in Berlin.
  setenv("TZ", "Europe/Berlin", 1);
  EXPECT_EQ(ServerTimeMessage(1719835200), U("현재 서버의 시간은 2024-07-01 14:00:00 입니다."));
  if (old) setenv("TZ", saved.c_str(), 1); else unsetenv("TZ");
  tzset();
}

TEST(OnlineUpdateProgress, TableCoversTheStagesAndNothingElse) {
  const struct { std::int32_t value; const char* f1047; bool found, enable, send; } cases[] = {
      {-1, nullptr, false, false, false}, {0, nullptr, true, false, false},
      {5, nullptr, true, false, false},   {7, "Start", true, false, false},
      {8, "Start F/W Update", true, true, true}, {9, nullptr, false, false, false},
      {98, nullptr, true, true, false},   {99, nullptr, true, true, false},
      {100, nullptr, false, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    const UpdateProgressRow* row = FindUpdateProgress(c.value);
    ASSERT_EQ(row != nullptr, c.found);
    if (!row) continue;
    EXPECT_STREQ(row->fields[4], c.f1047);
    EXPECT_EQ(row->enableStartButton, c.enable);
    EXPECT_EQ(row->sendFirmwareUpdate, c.send);
  }
  // A stage marks every earlier field finished.
  const UpdateProgressRow* three = FindUpdateProgress(3);
  EXPECT_STREQ(three->fields[0], "Finished");
  EXPECT_STREQ(three->fields[2], "Finished");
  EXPECT_STREQ(three->fields[3], "Start");
}

TEST(UpdatePageChange, StagesAndTheFirmwareUpdateResult) {
  EXPECT_EQ(UpdatePageChange(kNotifyUpdateStage, 3), FindUpdateProgress(3));
  EXPECT_EQ(UpdatePageChange(kNotifyUpdateStage, 9), nullptr);
  for (const std::int32_t value : {1, 99, -1}) EXPECT_EQ(UpdatePageChange(kNotifyFirmwareUpdate, value), nullptr);
  const UpdateProgressRow* done = UpdatePageChange(kNotifyFirmwareUpdate, 0);
  ASSERT_NE(done, nullptr);
  for (int i = 0; i < 4; ++i) EXPECT_STREQ(done->fields[i], "Finished");
  EXPECT_STREQ(done->fields[4], "F/W Update Finished");
  EXPECT_TRUE(done->enableStartButton);
  EXPECT_FALSE(done->sendFirmwareUpdate);
  EXPECT_EQ(UpdatePageChange(kNotifyViewIdTable, 0), nullptr) << "other codes leave the page alone";
}

// The two stage messages come from the reply tables, not from the page.
TEST(DescribeReply, UpdateStagesShowOnlyTheirFailures) {
  for (std::int32_t value = -1; value <= 100; ++value) {
    SCOPED_TRACE(value);
    const QString message = DescribeReply(kNotifyUpdateStage, value).message;
    if (value == 98)
      EXPECT_EQ(message, U("Update 실패입니다. - Update 할 수 있는 버전이 아닙니다."));
    else if (value == 99)
      EXPECT_EQ(message, U("Update서버 연결 실패입니다. - 1"));
    else
      EXPECT_TRUE(message.isEmpty());
  }
}

}  // namespace
}  // namespace kolmara
