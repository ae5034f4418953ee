// CMySocket against a loopback peer that plays the device: what the receive
// thread reads, stores and posts, and what every sender puts on the wire.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>

#include <functional>
#include <future>
#include <string>

#include "connection/global_data.h"
#include "connection/my_socket.h"
#include "connection/records.h"
#include "pages/reply_messages_logic.h"
#include "test_support.h"

namespace kolmara {
namespace {

using namespace std::chrono_literals;
using test::Bytes;
using test::CodesAndValues;
using test::Frame;
using test::kMarkerNotification;
using test::kMarkerValue;
using test::MarkerFrame;
using test::RandomBytes;
using test::TakeExactly;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::Pair;

class Connected : public ::testing::Test {
 protected:
  void SetUp() override {
    m_store = std::make_unique<CGlobalData>();
    m_store->m_pConnection = std::make_unique<CMySocket>(m_store.get());
    m_socket = m_store->m_pConnection.get();
    ASSERT_EQ(m_socket->Connect(&m_queue, QStringLiteral("127.0.0.1"), m_peer.Port()), 1);
    ASSERT_TRUE(m_peer.Accept());
  }

  // Declared first so that the store (and its connection) goes before them.
  NotificationQueue m_queue;
  test::LoopbackPeer m_peer;
  std::unique_ptr<CGlobalData> m_store;
  CMySocket* m_socket = nullptr;
};

// ---- Replies -------------------------------------------------------------

struct ReplyCase {
  const char* name;
  std::uint8_t code;
  std::int32_t value;
  std::size_t bodyLength;  // what the device sends behind the header
  int notification;        // 0: nothing posted
};

const ReplyCase kReplies[] = {
    {"Login", 1, 150, 0, kNotifyLogin},
    {"DeviceInfo", 2, 0, 368, kNotifyDeviceInfo},
    {"AdminChanged", 3, 101, 0, kNotifyAdminChanged},
    {"ViewIdList", 4, 3, 39188, kNotifyViewIdTable},
    {"ViewIdWritten", 5, 101, 0, kNotifyViewIdWritten},
    {"WolTable", 6, 0, 12524, kNotifyWolTable},
    {"WolWritten", 7, 101, 0, kNotifyWolWritten},
    {"Network", 8, 0, 368, kNotifyNetwork},
    {"DdnsIdCheck", 10, 102, 0, kNotifyDdnsCheck},
    {"RegisterMac", 11, 401, 0, kNotifyMacRegistered},
    {"RegisterDdns", 12, 409, 0, kNotifyDdnsRegistered},
    {"OnlineUpdate", 13, 8, 0, kNotifyUpdateStage},
    {"Code14", 14, 1, 0, kNotifyReply14},
    {"Code15", 15, 1, 0, kNotifyReply15},
    {"Code16", 16, 1, 0, kNotifyReply16},
    {"Code17", 17, 1, 0, kNotifyReply17},
    {"DeviceNotice", 18, 6001, 0, kNotifyDeviceNotice},
    {"FirmwareUpdate", 19, 0, 0, kNotifyFirmwareUpdate},
    {"WebUpload", 20, 0, 0, kNotifyWebUpload},
    {"Bulk21", 21, 7, 45056, kNotifyBulk21},
    {"Bulk21Empty", 21, 0, 0, kNotifyBulk21},
    {"Bulk22", 22, 7, 90112, kNotifyBulk22},
    {"Bulk22Empty", 22, 0, 0, kNotifyBulk22},
    {"Code23", 23, 5, 0, kNotifyReply23},
    {"ServerTime", 24, 1700000000, 0, kNotifyServerTime},
    {"BlankMode", 25, 1, 0, 0},
    {"NtpSet", 26, 0, 0, kNotifyNtpServer},
    {"FirmwareUpload", 41, 2, 0, kNotifyFirmwareUpload},
    {"Code9Ignored", 9, 0, 0, 0},
    {"UnknownCode", 30, 99, 0, 0},
    {"CodeZero", 0, 0, 0, 0},
};

class ReplyRow : public Connected, public ::testing::WithParamInterface<ReplyCase> {};

// The marker frame behind the reply decodes only if the reply consumed
// exactly its body.
TEST_P(ReplyRow, ConsumesItsBodyAndPostsItsNotification) {
  const ReplyCase& c = GetParam();
  const Bytes body = RandomBytes(c.bodyLength, c.code);
  m_peer.Send(test::Concat({Frame(c.code, c.value, body), MarkerFrame()}));

  const auto got = TakeExactly(m_queue, c.notification ? 2 : 1);
  if (c.notification) {
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].code, c.notification);
    if (c.code == CMD_GET_INFO || c.code == CMD_GET_NETWORK) {
      ASSERT_TRUE(got[0].block.has_value()) << "the decoded block travels with the notification";
      EXPECT_THAT(*got[0].block, ElementsAreArray(body));
    } else {
      EXPECT_EQ(got[0].value, c.value);
      EXPECT_FALSE(got[0].block.has_value());
    }
    if (c.code == CMD_GET_VIEWID_LIST || c.code == CMD_GET_WOL_TABLE) {
      ASSERT_TRUE(got[0].table) << "the table travels with the notification";
      EXPECT_THAT(*got[0].table, ElementsAreArray(body));
    } else {
      EXPECT_FALSE(got[0].table);
    }
  }
  ASSERT_FALSE(got.empty());
  EXPECT_THAT(CodesAndValues({got.back()}), ElementsAre(Pair(kMarkerNotification, kMarkerValue)));
  EXPECT_TRUE(m_socket->IsConnected());
}

INSTANTIATE_TEST_SUITE_P(AllCodes, ReplyRow, ::testing::ValuesIn(kReplies),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Connected, BlankModeIsStoredAndNothingPosted) {
  m_peer.Send(test::Concat({Frame(25, 1), MarkerFrame()}));
  const auto got = TakeExactly(m_queue, 1);
  EXPECT_THAT(CodesAndValues(got), ElementsAre(Pair(kMarkerNotification, kMarkerValue)));
  EXPECT_EQ(m_store->m_nBlankMode.load(), 1);
}

TEST_F(Connected, WolTableGoesToTheStoreWithItsCountKeptWithinTheTable) {
  struct Case {
    std::int32_t value, stored;
  };
  for (const Case c : {Case{5, 5}, Case{0, 0}, Case{101, 101}, Case{102, 101}, Case{-1, 0}, Case{INT32_MAX, 101}}) {
    SCOPED_TRACE(c.value);
    const Bytes table = RandomBytes(kWolTableSize, static_cast<std::uint32_t>(c.value));
    const auto before = m_store->m_WolTable;
    m_peer.Send(Frame(6, c.value, table));
    const auto got = TakeExactly(m_queue, 1, 5s, 0ms);
    EXPECT_THAT(CodesAndValues(got), ElementsAre(Pair(kNotifyWolTable, c.value)));
    EXPECT_EQ(m_store->m_WolTable, before) << "the receive thread leaves the store's table alone";
    ASSERT_EQ(got.size(), 1u);
    ApplyNotificationToStore(got[0], *m_store);  // as the handling thread does
    EXPECT_EQ(m_store->m_nWolCount, c.stored);
    EXPECT_THAT(m_store->m_WolTable, ElementsAreArray(table));
  }
}

TEST_F(Connected, BulkBlocksAreReadOnlyForAPositiveValue) {
  struct Case {
    std::uint8_t code;
    std::int32_t value;
    int notification;
  };
  for (const Case c : {Case{21, 0, 20}, Case{21, 7, 20}, Case{22, 0, 21}, Case{22, 7, 21}, Case{21, -4, 20}}) {
    SCOPED_TRACE(::testing::Message() << int(c.code) << "/" << c.value);
    const std::size_t size = c.code == 21 ? kBulk21Size : kBulk22Size;
    std::uint8_t* buffer = c.code == 21 ? m_store->m_pBulk21Buffer.get() : m_store->m_pBulk22Buffer.get();
    std::memset(buffer, 0xEE, size);
    const Bytes body = c.value > 0 ? RandomBytes(size, c.code) : Bytes{};
    m_peer.Send(test::Concat({Frame(c.code, c.value, body), MarkerFrame()}));
    const auto got = TakeExactly(m_queue, 2, 5s, 0ms);
    EXPECT_THAT(CodesAndValues(got), ElementsAre(Pair(c.notification, c.value), Pair(kMarkerNotification, kMarkerValue)));
    EXPECT_EQ(c.code == 21 ? m_store->m_nBulk21Value : m_store->m_nBulk22Value, c.value);
    const Bytes stored(buffer, buffer + size);
    if (c.value > 0) {
      EXPECT_EQ(stored, body);
    } else {
      EXPECT_THAT(stored, Each(0xEE)) << "no body: the last one is kept";
    }
  }
}

struct ViewIdCase {
  std::int32_t count;
  std::size_t bodyLength;   // what the device sends
  std::int32_t storedCount;
  std::size_t keptSlots;    // slots taken from the body
};

class ViewIdReply : public Connected, public ::testing::WithParamInterface<ViewIdCase> {};

TEST_P(ViewIdReply, ReadsTheTableAndStaysInStep) {
  const ViewIdCase& c = GetParam();
  std::uint8_t* table = m_store->m_pViewIdTable.get();
  std::memset(table, 0xEE, kViewIdStoreBytes);
  const Bytes body = RandomBytes(c.bodyLength, 77);
  m_peer.Send(test::Concat({Frame(4, c.count, body), MarkerFrame()}));

  const auto got = TakeExactly(m_queue, 2);
  EXPECT_THAT(CodesAndValues(got), ElementsAre(Pair(kNotifyViewIdTable, c.count), Pair(kMarkerNotification, kMarkerValue)));
  EXPECT_THAT(Bytes(table, table + kViewIdStoreBytes), Each(0xEE)) << "the receive thread leaves the store alone";
  ASSERT_EQ(got.size(), 2u);
  ApplyNotificationToStore(got[0], *m_store);  // as the handling thread does
  EXPECT_EQ(m_store->m_nViewIdCount, c.storedCount);
  const std::size_t kept = c.keptSlots * kViewIdRecordSize;
  EXPECT_TRUE(std::equal(table, table + kept, body.begin())) << "records from the body";
  // The first 101 slots are zeroed before the body is read; slots beyond the
  // body keep what they held.
  const std::size_t zeroedEnd = std::max(kept, kViewIdWireMinimum);
  EXPECT_THAT(Bytes(table + kept, table + zeroedEnd), Each(0));
  EXPECT_THAT(Bytes(table + zeroedEnd, table + kViewIdStoreBytes), Each(0xEE));
}

INSTANTIATE_TEST_SUITE_P(Counts, ViewIdReply,
                         ::testing::Values(ViewIdCase{0, 0, 0, 0}, ViewIdCase{-5, 0, -5, 0},
                                           ViewIdCase{3, 39188, 3, 101}, ViewIdCase{101, 39188, 101, 101},
                                           ViewIdCase{102, 39576, 102, 102}, ViewIdCase{120, 46560, 120, 120},
                                           // More than the store holds: 512 kept, the rest consumed.
                                           ViewIdCase{600, 232800, 512, 512}),
                         [](const auto& info) {
                           const int n = info.param.count;
                           return n < 0 ? "minus" + std::to_string(-n) : std::to_string(n);
                         });

TEST_F(Connected, ByteByByteDeliveryDecodesTheSame) {
  DeviceInfoBlock info;
  info.SetDeviceName("QX-100");
  info.SetConnectionLimit(300);
  const Bytes block(info.bytes.begin(), info.bytes.end());
  m_peer.SendByteByByte(test::Concat({Frame(2, 0, block), Frame(18, 101), Frame(21, 0), MarkerFrame()}));
  const auto got = TakeExactly(m_queue, 4);
  ASSERT_EQ(got.size(), 4u);
  ASSERT_TRUE(got[0].block.has_value());
  EXPECT_EQ(DeviceInfoBlock::FromBytes(got[0].block->data()).DeviceName(), "QX-100");
  EXPECT_EQ(DeviceInfoBlock::FromBytes(got[0].block->data()).ConnectionLimit(), 300);
  EXPECT_THAT(CodesAndValues({got[1], got[2], got[3]}),
              ElementsAre(Pair(kNotifyDeviceNotice, 101), Pair(kNotifyBulk21, 0), Pair(kMarkerNotification, kMarkerValue)));
}

TEST_F(Connected, NotificationsGoToTheWindowSetLast) {
  NotificationQueue mainWindow;
  m_socket->SetNotifyWindow(&mainWindow);
  m_peer.Send(Frame(5, 101));
  EXPECT_THAT(CodesAndValues(TakeExactly(mainWindow, 1)), ElementsAre(Pair(kNotifyViewIdWritten, 101)));
  EXPECT_EQ(m_queue.Size(), 0u);
  m_store.reset();  // the 255 goes to the window still set
  EXPECT_THAT(CodesAndValues(TakeExactly(mainWindow, 1)), ElementsAre(Pair(kNotifyConnectionEnded, 0)));
}

// ---- Ends of the connection ------------------------------------------------

struct CutCase {
  const char* name;
  Bytes sent;  // what the device sends before it closes
};

class PeerCloses : public Connected, public ::testing::WithParamInterface<CutCase> {};

TEST_P(PeerCloses, PostsExactlyOne255AndNothingOfThePartialFrame) {
  const std::int32_t wolBefore = m_store->m_nWolCount = 42;
  m_peer.Send(GetParam().sent);
  m_peer.CloseClient();
  const auto got = TakeExactly(m_queue, 1, 5s, 100ms);
  EXPECT_THAT(CodesAndValues(got), ElementsAre(Pair(kNotifyConnectionEnded, 0)));
  EXPECT_FALSE(m_socket->IsConnected());
  EXPECT_EQ(m_store->m_nWolCount, wolBefore) << "a partial table is not stored";
  EXPECT_FALSE(m_socket->RequestDeviceInfo()) << "closed: nothing is sent";
}

Bytes Cut(Bytes frame, std::size_t keep) {
  frame.resize(keep);
  return frame;
}

INSTANTIATE_TEST_SUITE_P(
    Cuts, PeerCloses,
    ::testing::Values(CutCase{"Nothing", {}}, CutCase{"MidHeader", Cut(Frame(1, 150), 3)},
                      CutCase{"MidInfoBlock", Cut(Frame(2, 0, RandomBytes(368, 1)), 8 + 100)},
                      CutCase{"MidWolTable", Cut(Frame(6, 9, RandomBytes(kWolTableSize, 2)), 8 + 12523)},
                      CutCase{"MidViewIdTable", Cut(Frame(4, 600, RandomBytes(232800, 3)), 8 + 200000)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Connected, DisconnectPostsOne255AndASecondChangesNothing) {
  m_socket->Disconnect();
  EXPECT_FALSE(m_socket->IsConnected());
  EXPECT_THAT(CodesAndValues(TakeExactly(m_queue, 1, 5s, 100ms)), ElementsAre(Pair(kNotifyConnectionEnded, 0)));
  m_peer.WaitClientClosed();
  m_socket->Disconnect();
  EXPECT_FALSE(m_socket->IsConnected());
  EXPECT_EQ(m_queue.Next(100ms), std::nullopt);
}

TEST_F(Connected, SendsOnAClosedConnectionSendNothing) {
  m_socket->Disconnect();
  const Bytes block(kBlockSize, 1), file(100, 2);
  EXPECT_FALSE(m_socket->SendLogin("admin", "pw"));
  EXPECT_FALSE(m_socket->RequestDeviceInfo());
  EXPECT_FALSE(m_socket->SendViewIdList(m_store->m_nViewIdCount, m_store->m_pViewIdTable.get()));
  EXPECT_FALSE(m_socket->SendWolTable(m_store->m_nWolCount, m_store->m_WolTable.data()));
  EXPECT_FALSE(m_socket->SendNetworkSettings(block.data()));
  EXPECT_FALSE(m_socket->RegisterDdns(block.data()));
  EXPECT_FALSE(m_socket->SetNtpServer("pool.ntp.org"));
  EXPECT_FALSE(m_socket->UploadFirmware(file.data(), file.size()));
  EXPECT_FALSE(m_socket->SendRequest(13, 0, nullptr, 0, BodyEncoding::kScrambled));
  EXPECT_TRUE(m_peer.WaitClientClosed().empty());
  EXPECT_THAT(CodesAndValues(TakeExactly(m_queue, 1)), ElementsAre(Pair(kNotifyConnectionEnded, 0))) << "only the one from Disconnect";
}

TEST(BlockedSend, DisconnectMakesItReturn) {
  // A second peer that never reads: a large upload fills the socket buffers.
  NotificationQueue queue;
  test::LoopbackPeer silent;
  CGlobalData store;
  CMySocket& socket = *(store.m_pConnection = std::make_unique<CMySocket>(&store));
  ASSERT_EQ(socket.Connect(&queue, QStringLiteral("127.0.0.1"), silent.Port()), 1);
  ASSERT_TRUE(silent.Accept(/*read=*/false));
  const Bytes image(64 << 20, 0x5A);
  auto upload = std::async(std::launch::async, [&] { return socket.UploadFirmware(image.data(), image.size()); });
  ASSERT_EQ(upload.wait_for(300ms), std::future_status::timeout) << "the send should be blocked";
  socket.Disconnect();
  ASSERT_EQ(upload.wait_for(5s), std::future_status::ready);
  EXPECT_FALSE(upload.get());
  EXPECT_THAT(CodesAndValues(TakeExactly(queue, 1)), ElementsAre(Pair(kNotifyConnectionEnded, 0)));
}

TEST(Store, DestroyingItClosesItsOpenConnectionFirst) {
  NotificationQueue queue;
  test::LoopbackPeer peer;
  auto store = std::make_unique<CGlobalData>();
  store->m_pConnection = std::make_unique<CMySocket>(store.get());
  ASSERT_EQ(store->m_pConnection->Connect(&queue, QStringLiteral("127.0.0.1"), peer.Port()), 1);
  ASSERT_TRUE(peer.Accept());
  store.reset();
  EXPECT_THAT(CodesAndValues(TakeExactly(queue, 1)), ElementsAre(Pair(kNotifyConnectionEnded, 0)));
  peer.WaitClientClosed();
}

TEST(Store, NewStoreDefaults) {
  CGlobalData store;
  EXPECT_EQ(store.m_nViewIdCapacity, 10);
  EXPECT_EQ(store.m_nConnectionLimit, 0);
  EXPECT_EQ(store.m_nViewIdCount, 0);
  EXPECT_EQ(store.m_nWolCount, 0);
  EXPECT_EQ(store.m_bLoggedIn, 0);
  EXPECT_EQ(store.m_nBlankMode.load(), 0);
  EXPECT_TRUE(store.m_strAddress.isEmpty());
  EXPECT_TRUE(store.m_strDeviceName.isEmpty());
  EXPECT_TRUE(store.m_strEngineVersion.isEmpty());
  EXPECT_EQ(store.m_pConnection, nullptr);
  EXPECT_THAT(Bytes(store.m_pViewIdTable.get(), store.m_pViewIdTable.get() + kViewIdStoreBytes), Each(0));
  EXPECT_THAT(store.m_WolTable, Each(0));
}

TEST(Store, FirstStoreIsTheInstanceUntilItGoes) {
  ASSERT_EQ(CGlobalData::Instance(), nullptr);
  {
    CGlobalData first;
    CGlobalData second;
    EXPECT_EQ(CGlobalData::Instance(), &first);
  }
  EXPECT_EQ(CGlobalData::Instance(), nullptr);
}

TEST_F(Connected, NewStoreSendsAnAllZeroWolTable) {
  ASSERT_TRUE(m_socket->SendWolTable(m_store->m_nWolCount, m_store->m_WolTable.data()));
  m_socket->Disconnect();
  const Bytes wire = m_peer.WaitClientClosed();
  ASSERT_EQ(wire.size(), 8 + kWolTableSize);
  const FrameHeader h = DecodeHeader(wire.data());
  EXPECT_EQ(h.code, 7);
  EXPECT_EQ(h.value, 0);
  EXPECT_THAT(test::Unscrambled(wire.data() + 8, kWolTableSize), Each(0));
}

// ---- Senders ---------------------------------------------------------------

struct SenderCase {
  const char* name;
  std::function<bool(CMySocket&, CGlobalData&)> send;
  std::uint8_t code;
  std::int32_t value;
  Bytes body;  // plain
  bool scrambled;
};

Bytes TextBodyOf(std::string_view first, std::string_view second) {
  Bytes body(124, 0);
  std::memcpy(body.data() + 4, first.data(), first.size());
  std::memcpy(body.data() + 44, second.data(), second.size());
  return body;
}

const Bytes kViewIds = RandomBytes(kViewIdStoreBytes, 501);
const Bytes kWol = RandomBytes(kWolTableSize, 502);
const Bytes kBlock = RandomBytes(kBlockSize, 503);
const Bytes kFile = RandomBytes(3001, 504);

void FillTables(CGlobalData& store, std::int32_t viewIds, std::int32_t wol) {
  std::memcpy(store.m_pViewIdTable.get(), kViewIds.data(), kViewIds.size());
  std::memcpy(store.m_WolTable.data(), kWol.data(), kWol.size());
  store.m_nViewIdCount = viewIds;
  store.m_nWolCount = wol;
}

// What the pages do: send the store's table.
bool SendStoredViewIds(CMySocket& s, CGlobalData& d) { return s.SendViewIdList(d.m_nViewIdCount, d.m_pViewIdTable.get()); }
bool SendStoredWol(CMySocket& s, CGlobalData& d) { return s.SendWolTable(d.m_nWolCount, d.m_WolTable.data()); }

Bytes Prefix(const Bytes& b, std::size_t n) { return Bytes(b.begin(), b.begin() + n); }

const SenderCase kSenders[] = {
    {"SendLogin", [](CMySocket& s, CGlobalData&) { return s.SendLogin("admin", "pa55"); }, 1, 124,
     TextBodyOf("admin", "pa55"), true},
    {"RequestDeviceInfo", [](CMySocket& s, CGlobalData&) { return s.RequestDeviceInfo(); }, 2, 0, {}, true},
    {"SendAdminAccount", [](CMySocket& s, CGlobalData&) { return s.SendAdminAccount("root", "n3w"); }, 3, 124,
     TextBodyOf("root", "n3w"), true},
    {"RequestViewIdList", [](CMySocket& s, CGlobalData&) { return s.RequestViewIdList(); }, 4, 101, {}, true},
    {"SendViewIdList3",
     [](CMySocket& s, CGlobalData& d) { return FillTables(d, 3, 0), SendStoredViewIds(s, d); }, 5, 3,
     Prefix(kViewIds, 39188), true},
    {"SendViewIdList0",
     [](CMySocket& s, CGlobalData& d) { return FillTables(d, 0, 0), SendStoredViewIds(s, d); }, 5, 0, {}, true},
    {"SendViewIdList120",
     [](CMySocket& s, CGlobalData& d) { return FillTables(d, 120, 0), SendStoredViewIds(s, d); }, 5, 120,
     Prefix(kViewIds, 46560), true},
    {"SendViewIdList512",
     [](CMySocket& s, CGlobalData& d) { return FillTables(d, 512, 0), SendStoredViewIds(s, d); }, 5, 512, kViewIds,
     true},
    {"RequestWolTable", [](CMySocket& s, CGlobalData&) { return s.RequestWolTable(); }, 6, 101, {}, true},
    {"SendWolTable", [](CMySocket& s, CGlobalData& d) { return FillTables(d, 0, 5), SendStoredWol(s, d); }, 7, 5,
     kWol, true},
    {"RequestNetworkSettings", [](CMySocket& s, CGlobalData&) { return s.RequestNetworkSettings(); }, 8, 0, {},
     true},
    {"SendNetworkSettings", [](CMySocket& s, CGlobalData&) { return s.SendNetworkSettings(kBlock.data()); }, 9, 0,
     kBlock, true},
    {"CheckDdnsId", [](CMySocket& s, CGlobalData&) { return s.CheckDdnsId("mybox", "00:1A:2B:3C:4D:5E"); }, 10,
     124, TextBodyOf("mybox", "00:1A:2B:3C:4D:5E"), true},
    {"RegisterMac", [](CMySocket& s, CGlobalData&) { return s.RegisterMac("00:1A:2B:3C:4D:5E"); }, 11, 124,
     TextBodyOf("00:1A:2B:3C:4D:5E", ""), true},
    {"RegisterDdns", [](CMySocket& s, CGlobalData&) { return s.RegisterDdns(kBlock.data()); }, 12, 124, kBlock,
     true},
    {"StartOnlineUpdate", [](CMySocket& s, CGlobalData&) { return s.StartOnlineUpdate(); }, 13, 0, {}, true},
    {"StartFirmwareUpdate", [](CMySocket& s, CGlobalData&) { return s.StartFirmwareUpdate(); }, 19, 0, {}, true},
    {"UploadWebArchive", [](CMySocket& s, CGlobalData&) { return s.UploadWebArchive(kFile.data(), kFile.size()); },
     20, 3001, kFile, false},
    {"RequestServerTime", [](CMySocket& s, CGlobalData&) { return s.RequestServerTime(); }, 24, 0, {}, true},
    {"SetNtpServer", [](CMySocket& s, CGlobalData&) { return s.SetNtpServer("pool.ntp.org"); }, 26, 124,
     TextBodyOf("pool.ntp.org", ""), true},
    {"UploadFirmware", [](CMySocket& s, CGlobalData&) { return s.UploadFirmware(kFile.data(), kFile.size()); }, 41,
     3001, kFile, false},
    {"UploadEmptyFile", [](CMySocket& s, CGlobalData&) { return s.UploadFirmware(kFile.data(), 0); }, 41, 0, {},
     false},
};

class Sender : public Connected, public ::testing::WithParamInterface<SenderCase> {};

TEST_P(Sender, PutsExactlyItsFrameOnTheWire) {
  const SenderCase& c = GetParam();
  ASSERT_TRUE(c.send(*m_socket, *m_store));
  m_socket->Disconnect();  // the peer then sees the end of everything sent
  const Bytes wire = m_peer.WaitClientClosed();
  ASSERT_EQ(wire.size(), 8 + c.body.size());
  const FrameHeader h = DecodeHeader(wire.data());
  EXPECT_EQ(h.code, c.code);
  EXPECT_EQ(h.value, c.value);
  const Bytes body(wire.begin() + 8, wire.end());
  if (c.scrambled) {
    EXPECT_EQ(test::Unscrambled(body.data(), body.size()), c.body);
    if (!c.body.empty()) {
      EXPECT_NE(body, c.body);
    }
  } else {
    EXPECT_EQ(body, c.body) << "raw bodies go out as they are";
  }
  // The store keeps its plain records: senders scramble into a send area.
  if (c.code == 5) {
    EXPECT_TRUE(std::equal(kViewIds.begin(), kViewIds.end(), m_store->m_pViewIdTable.get()));
  }
  if (c.code == 7) {
    EXPECT_THAT(m_store->m_WolTable, ElementsAreArray(kWol));
  }
}

INSTANTIATE_TEST_SUITE_P(AllSenders, Sender, ::testing::ValuesIn(kSenders),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Connected, RefusedRequestsSendNothingAndKeepTheConnection) {
  const std::string longText(40, 'x'), longSecond(80, 'y');
  EXPECT_FALSE(m_socket->SendLogin(longText, "pw"));
  EXPECT_FALSE(m_socket->SendLogin("id", longSecond));
  EXPECT_FALSE(m_socket->SendAdminAccount(longText, ""));
  EXPECT_FALSE(m_socket->CheckDdnsId("id", longSecond));
  EXPECT_FALSE(m_socket->RegisterMac(longText));
  EXPECT_FALSE(m_socket->SetNtpServer(longText));
  FillTables(*m_store, 513, 0);  // more records than the store holds
  EXPECT_FALSE(SendStoredViewIds(*m_socket, *m_store));
  EXPECT_FALSE(m_socket->SendViewIdList(3, nullptr)) << "no records to send";
  EXPECT_FALSE(m_socket->SendWolTable(3, nullptr));
  const Bytes big(kViewIdStoreBytes + 1, 0);
  EXPECT_FALSE(m_socket->SendRequest(5, 513, big.data(), big.size(), BodyEncoding::kScrambled))
      << "a scrambled body larger than the send area";
  EXPECT_TRUE(m_socket->IsConnected());
  // Only this frame reaches the peer: nothing of the refused ones went before it.
  ASSERT_TRUE(m_socket->RequestServerTime());
  m_socket->Disconnect();
  const Bytes wire = m_peer.WaitClientClosed();
  ASSERT_EQ(wire.size(), 8u);
  EXPECT_EQ(DecodeHeader(wire.data()).code, 24);
}

TEST_F(Connected, ConcurrentSendersNeverInterleaveFrames) {
  constexpr int kPerThread = 50;
  auto burst = [&](bool wol) {
    for (int i = 0; i < kPerThread; ++i)
      ASSERT_TRUE(wol ? SendStoredWol(*m_socket, *m_store) : m_socket->SendLogin("a", "b"));
  };
  std::thread a(burst, true), b(burst, false);
  a.join();
  b.join();
  m_socket->Disconnect();
  const Bytes wire = m_peer.WaitClientClosed();
  std::size_t at = 0;
  int frames = 0;
  while (at + 8 <= wire.size()) {
    const FrameHeader h = DecodeHeader(wire.data() + at);
    ASSERT_TRUE(h.code == 7 || h.code == 1) << "frame " << frames << " at " << at;
    at += 8 + (h.code == 7 ? kWolTableSize : kTextBodySize);
    ++frames;
  }
  EXPECT_EQ(at, wire.size());
  EXPECT_EQ(frames, 2 * kPerThread);
}

// ---- Connecting ------------------------------------------------------------

TEST_F(Connected, ConnectOnAnOpenConnectionReturns0AndLeavesItOpen) {
  NotificationQueue other;
  EXPECT_EQ(m_socket->Connect(&other, QStringLiteral("127.0.0.1"), m_peer.Port()), 0);
  EXPECT_EQ(m_socket->LastConnectError(), ConnectError::kAlreadyConnected);
  EXPECT_TRUE(m_socket->IsConnected());
  m_peer.Send(Frame(7, 101));
  EXPECT_THAT(CodesAndValues(TakeExactly(m_queue, 1)), ElementsAre(Pair(kNotifyWolWritten, 101))) << "the window is unchanged";
  EXPECT_EQ(other.Size(), 0u);
}

class Unconnected : public ::testing::Test {
 protected:
  NotificationQueue m_queue;
  CGlobalData m_store;
  CMySocket m_socket{&m_store};
};

TEST_F(Unconnected, NamesAreResolvedAndDigitsAndDotsAreAddresses) {
  struct Case {
    QString host;
    int result;
    ConnectError error;
  };
  // Hangul fills two bytes each in the code page: 32 of them are 64 bytes.
  const QString hangul31 = QString(31, QChar(0xAC00));
  const Case cases[] = {
      {QStringLiteral("127.0.0.1"), 1, ConnectError::kNone},
      {QStringLiteral("localhost"), 1, ConnectError::kNone},
      {QStringLiteral("1.2.3.4.5"), 0, ConnectError::kConnect},  // inet_addr refuses: 255.255.255.255
      {hangul31 + QChar(0xAC00), 0, ConnectError::kHostTooLong},
      {hangul31 + QLatin1Char('1'), 0, ConnectError::kConnect},  // 63 bytes are accepted
      {QString(64, QLatin1Char('a')), 0, ConnectError::kHostTooLong},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host.toStdString());
    test::LoopbackPeer peer;
    EXPECT_EQ(m_socket.Connect(&m_queue, c.host, peer.Port()), c.result);
    EXPECT_EQ(m_socket.LastConnectError(), c.error);
    EXPECT_EQ(m_socket.IsConnected(), c.result == 1);
    if (c.result == 1) {
      ASSERT_TRUE(peer.Accept());
      EXPECT_EQ(m_socket.Port(), peer.Port());
      m_socket.Disconnect();
      EXPECT_THAT(CodesAndValues(TakeExactly(m_queue, 1)), ElementsAre(Pair(kNotifyConnectionEnded, 0)));
    } else {
      EXPECT_EQ(m_queue.Next(20ms), std::nullopt) << "a failed connect posts nothing";
    }
  }
}

TEST_F(Unconnected, NothingListeningFailsAndAClosedConnectionConnectsAgain) {
  int freePort;
  {
    test::LoopbackPeer gone;
    freePort = gone.Port();
  }
  EXPECT_EQ(m_socket.Connect(&m_queue, QStringLiteral("127.0.0.1"), freePort), 0);
  EXPECT_EQ(m_socket.LastConnectError(), ConnectError::kConnect);

  test::LoopbackPeer first;
  ASSERT_EQ(m_socket.Connect(&m_queue, QStringLiteral("127.0.0.1"), first.Port()), 1);
  ASSERT_TRUE(first.Accept());
  first.CloseClient();  // the device ends it
  EXPECT_THAT(CodesAndValues(TakeExactly(m_queue, 1)), ElementsAre(Pair(kNotifyConnectionEnded, 0)));

  test::LoopbackPeer second;
  ASSERT_EQ(m_socket.Connect(&m_queue, QStringLiteral("127.0.0.1"), second.Port()), 1);
  ASSERT_TRUE(second.Accept());
  second.Send(Frame(1, 150));
  EXPECT_THAT(CodesAndValues(TakeExactly(m_queue, 1)), ElementsAre(Pair(kNotifyLogin, 150)));
  ASSERT_TRUE(m_socket.SendLogin("a", "b"));
  EXPECT_EQ(second.WaitReceived(8 + 124).size(), 8u + 124u);
}

// A listener with a backlog of 0 and one connection already waiting leaves
// the next loopback connect unanswered: it hangs until given up.
class HangingConnect : public Unconnected {
 protected:
  void SetUp() override {
    m_filler = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<std::uint16_t>(m_full.Port()));
    ASSERT_EQ(::connect(m_filler, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  }
  void TearDown() override { ::close(m_filler); }

  test::LoopbackPeer m_full{0};
  int m_filler = -1;
};

TEST_F(HangingConnect, AbortConnectMakesItReturnPromptly) {
  auto attempt = std::async(std::launch::async, [&] {
    return m_socket.Connect(&m_queue, QStringLiteral("127.0.0.1"), m_full.Port());
  });
  ASSERT_EQ(attempt.wait_for(300ms), std::future_status::timeout) << "the connect did not hang";
  const auto start = std::chrono::steady_clock::now();
  m_socket.AbortConnect();
  ASSERT_EQ(attempt.wait_for(2s), std::future_status::ready);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
  EXPECT_EQ(attempt.get(), 0);
  EXPECT_EQ(m_socket.LastConnectError(), ConnectError::kAborted);
  EXPECT_FALSE(m_socket.IsConnected());
  EXPECT_EQ(m_queue.Next(20ms), std::nullopt);
}

// A window closed just before its worker reaches Connect must not leave the
// worker hanging; the abort is then used up and the next attempt runs.
TEST_F(HangingConnect, AbortAskedForBeforeTheAttemptEndsItAndIsUsedUp) {
  m_socket.AbortConnect();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(m_socket.Connect(&m_queue, QStringLiteral("127.0.0.1"), m_full.Port()), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
  EXPECT_EQ(m_socket.LastConnectError(), ConnectError::kAborted);

  test::LoopbackPeer open;
  EXPECT_EQ(m_socket.Connect(&m_queue, QStringLiteral("127.0.0.1"), open.Port()), 1);
  EXPECT_TRUE(m_socket.IsConnected());
}

TEST_F(HangingConnect, TimeoutEndsTheAttempt) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(m_socket.Connect(&m_queue, QStringLiteral("127.0.0.1"), m_full.Port(), 200ms), 0);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(m_socket.LastConnectError(), ConnectError::kTimeout);
  EXPECT_GE(took, 190ms);
  EXPECT_LT(took, 1s);
}

}  // namespace
}  // namespace kolmara
