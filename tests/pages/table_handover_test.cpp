// The view-ID and Wake-on-LAN tables handed from the receive thread to the
// thread that handles their notifications, against the substitute device.
// Run under TSan: the lister reads and edits the store's tables while the
// receive thread is reading the next reply, which must never touch them.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstring>
#include <functional>
#include <set>
#include <string>

#include "connection/global_data.h"
#include "connection/my_socket.h"
#include "connection/notify.h"
#include "connection/qt_notify.h"
#include "device/sim_device.h"
#include "pages/login_logic.h"
#include "pages/reply_messages_logic.h"
#include "pages/viewid_logic.h"
#include "pages/wol_logic.h"

namespace kolmara {
namespace {

using namespace std::chrono_literals;

constexpr auto kWait = 5s;
constexpr std::int32_t kViewIds = 120;
constexpr std::int32_t kWolEntries = 5;

std::string IdOf(int i) { return "user" + std::to_string(100 + i); }

void PutText(std::uint8_t* field, const std::string& text) { std::memcpy(field, text.c_str(), text.size() + 1); }

device::DeviceState FilledTables(std::int32_t viewIds) {
  device::DeviceState s;
  s.viewIdCount = viewIds;
  for (int i = 0; i < viewIds; ++i) {
    std::uint8_t* r = s.viewIdTable.data() + i * kViewIdRecordSize;
    PutText(r + ViewIdRecord::kId, IdOf(i));
    PutText(r + ViewIdRecord::kName, "name " + std::to_string(i));
  }
  s.wolCount = kWolEntries;
  for (int i = 0; i < kWolEntries; ++i) {
    std::uint8_t* e = s.wolTable.data() + i * kWolEntrySize;
    PutText(e + WolEntry::kName, "pc" + std::to_string(i));
    PutText(e + WolEntry::kMac, "00:11:22:33:44:0" + std::to_string(i));
  }
  return s;
}

class TableHandover : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_device.Start());
    m_device.SetState(FilledTables(kViewIds));
    m_store.m_pConnection = std::make_unique<CMySocket>(&m_store);
  }
  void TearDown() override {
    // The receive thread posts into targets that live in the tests: stop it first.
    m_store.m_pConnection->Disconnect();
    m_store.m_pConnection->SetNotifyWindow(nullptr);
    m_device.Stop();
  }

  CMySocket& Connection() { return *m_store.m_pConnection; }

  // Two requests of each table in flight, then a marker whose answer ends
  // the run.
  void RequestTwice() {
    ASSERT_TRUE(Connection().RequestViewIdList());
    ASSERT_TRUE(Connection().RequestViewIdList());
    ASSERT_TRUE(Connection().RequestWolTable());
    ASSERT_TRUE(Connection().RequestWolTable());
    ASSERT_TRUE(Connection().RequestServerTime());
  }

  // What the window does with a notification, and what a page then does
  // with the store: list the table and edit a row of it.
  void Handle(const Notification& n) {
    ApplyNotificationToStore(n, m_store);
    if (n.code == kNotifyViewIdTable) {
      const std::vector<ViewIdRow> rows = ListViewIds(m_store);
      ASSERT_EQ(rows.size(), std::size_t(kViewIds));
      EXPECT_EQ(rows.back().id.toStdString(), IdOf(kViewIds - 1));
      // The table that arrived replaced the edit made after the last one.
      EXPECT_EQ(rows.front().id.toStdString(), IdOf(0));
      PutText(m_store.ViewIdSlot(0) + ViewIdRecord::kId, "edited");
      ++m_viewIdTables;
    } else if (n.code == kNotifyWolTable) {
      const std::vector<WolRow> rows = ListWolEntries(m_store);
      ASSERT_EQ(rows.size(), std::size_t(kWolEntries));
      EXPECT_EQ(rows.front().name, QStringLiteral("pc0"));
      PutText(m_store.WolEntry(0) + WolEntry::kName, "edited");
      ++m_wolTables;
    } else if (n.code == kNotifyServerTime) {
      m_bDone = true;
    }
  }

  void ExpectBothTablesHandled() {
    EXPECT_TRUE(m_bDone);
    // Two replies each; one that came while the other waited stands for both.
    EXPECT_GE(m_viewIdTables, 1);
    EXPECT_LE(m_viewIdTables, 2);
    EXPECT_GE(m_wolTables, 1);
    EXPECT_LE(m_wolTables, 2);
  }

  device::SimDevice m_device{device::SimConfig{}};
  NotificationQueue m_queue;  // outlives the connection that posts into it
  CGlobalData m_store;
  int m_viewIdTables = 0, m_wolTables = 0;
  bool m_bDone = false;
};

// The command-line client's way: a queue, handled on the test's thread.
TEST_F(TableHandover, QueueHandlerListsWhileTheNextTableArrives) {
  NotificationQueue& queue = m_queue;
  ASSERT_EQ(Connection().Connect(&queue, QStringLiteral("127.0.0.1"), m_device.Port(), 5000ms), 1);
  ASSERT_TRUE(Connection().SendLogin("admin", "admin"));
  const auto login = queue.WaitFor(kNotifyLogin, kWait);
  ASSERT_TRUE(login && LoginCapacity(login->value));
  RequestTwice();
  while (!m_bDone) {
    const std::optional<Notification> n = queue.Next(kWait);
    ASSERT_TRUE(n.has_value()) << "the device stopped answering";
    Handle(*n);
  }
  ExpectBothTablesHandled();
}

class Receiver : public QObject {
 public:
  std::function<void(const Notification&)> handle;
  bool event(QEvent* e) override {
    ReplyEvent* reply = AsReplyEvent(e);
    if (!reply) return QObject::event(e);
    handle(reply->notification());
    return true;
  }
};

// The main window's way: reply events handled by the event loop.
TEST_F(TableHandover, EventLoopHandlerListsWhileTheNextTableArrives) {
  int argc = 1;
  char name[] = "pages_logic_test";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  Receiver receiver;
  bool loggedIn = false;
  receiver.handle = [&](const Notification& n) {
    if (n.code == kNotifyLogin) loggedIn = LoginCapacity(n.value).has_value();
    Handle(n);
  };
  QtNotifyTarget target(&receiver);
  // The target and the receiver go before the connection's end would reach
  // them, whichever way the test leaves.
  struct Unhook {
    CMySocket& connection;
    ~Unhook() { connection.SetNotifyWindow(nullptr); }
  } unhook{Connection()};
  auto pumpUntil = [](const bool& flag) {
    QElapsedTimer timer;
    timer.start();
    while (!flag && timer.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  };
  ASSERT_EQ(Connection().Connect(&target, QStringLiteral("127.0.0.1"), m_device.Port(), 5000ms), 1);
  ASSERT_TRUE(Connection().SendLogin("admin", "admin"));
  pumpUntil(loggedIn);
  ASSERT_TRUE(loggedIn);
  RequestTwice();
  pumpUntil(m_bDone);
  ExpectBothTablesHandled();
}

// Nobody handles the replies while the device streams them: a few copies
// of each table wait, however many replies came, the newest among them.
TEST_F(TableHandover, UnhandledTablesWaitAFewOfEachKind) {
  m_device.SetState(FilledTables(512));
  NotificationQueue& queue = m_queue;
  ASSERT_EQ(Connection().Connect(&queue, QStringLiteral("127.0.0.1"), m_device.Port(), 5000ms), 1);
  ASSERT_TRUE(Connection().SendLogin("admin", "admin"));
  ASSERT_TRUE(queue.WaitFor(kNotifyLogin, kWait));
  constexpr int kReplies = 30;  // 30 view-ID replies of 512 records are 6 MB
  for (int i = 0; i < kReplies; ++i) {
    ASSERT_TRUE(Connection().RequestViewIdList());
    ASSERT_TRUE(Connection().RequestWolTable());
  }
  ASSERT_TRUE(Connection().RequestServerTime());
  ASSERT_TRUE(queue.WaitFor(kNotifyServerTime, kWait)) << "every reply before it has been read";

  const std::vector<Notification> waiting = queue.Snapshot();
  std::set<const TableBytes*> copies;
  std::size_t viewIdNotes = 0, wolNotes = 0;
  for (const Notification& n : waiting) {
    if (n.table) copies.insert(n.table.get());
    viewIdNotes += n.code == kNotifyViewIdTable;
    wolNotes += n.code == kNotifyWolTable;
  }
  EXPECT_EQ(viewIdNotes, kMaxWaitingTables);
  EXPECT_EQ(wolNotes, kMaxWaitingTables);
  EXPECT_EQ(copies.size(), 2 * kMaxWaitingTables);

  // What waits are whole tables, and they land in the store as sent.
  for (std::size_t i = 0; i < kMaxWaitingTables; ++i) {
    const std::optional<Notification> viewIds = queue.WaitFor(kNotifyViewIdTable, 0ms);
    ASSERT_TRUE(viewIds && viewIds->table);
    EXPECT_EQ(viewIds->value, 512);
    ApplyNotificationToStore(*viewIds, m_store);
  }
  EXPECT_EQ(0, std::memcmp(m_store.m_pViewIdTable.get(), m_device.State().viewIdTable.data(), kViewIdStoreBytes));
  EXPECT_EQ(ListViewIds(m_store).size(), 512u);
}

}  // namespace
}  // namespace kolmara
