// What one client may cost the device: its updates, its connections, its
// unread replies and its login guesses never take the device from others.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "tests/device/device_fixture.h"

namespace kolmara::device::testing {
namespace {

class Limits : public DeviceFixture {
 protected:
  void Start(SimConfig c) { StartDevice(std::move(c)); }
};

TEST_F(Limits, OneUpdateAtATimePerClientAndRepeatedStartsQueueNothing) {
  SimConfig c;
  c.updateStepMs = 10000;  // the first update stays in progress
  Start(c);
  RawClient a(m_device->Port());
  ASSERT_TRUE(a.Login());
  for (int i = 0; i < 500; ++i) ASSERT_TRUE(a.SendHeader(13, 0));
  ASSERT_TRUE(a.SendHeader(19, 0));
  ASSERT_TRUE(a.SendHeader(24, 0));  // answered once everything before it was handled
  auto h = a.ReadHeader();
  ASSERT_TRUE(h);
  EXPECT_EQ(h->code, 13);
  EXPECT_EQ(h->value, 0);  // stage 0 of the one update
  h = a.ReadHeader();
  ASSERT_TRUE(h);
  EXPECT_EQ(h->code, 24);
  EXPECT_EQ(m_device->QueuedReplies(), 8u);
}

TEST_F(Limits, AFullQueueAnswersThatTheUpdateServerCannotBeReached) {
  SimConfig c;
  c.updateStepMs = 10000;
  c.maxQueuedReplies = 9;
  Start(c);
  RawClient a(m_device->Port()), b(m_device->Port());
  ASSERT_TRUE(a.Login());
  ASSERT_TRUE(b.Login());
  ASSERT_TRUE(a.SendHeader(13, 0));
  ASSERT_TRUE(Eventually([&] { return m_device->QueuedReplies() == 8; }));
  ASSERT_TRUE(b.SendHeader(13, 0));
  const auto h = b.ReadHeader();
  ASSERT_TRUE(h);
  EXPECT_EQ(h->code, 13);
  EXPECT_EQ(h->value, 99);
  EXPECT_EQ(m_device->QueuedReplies(), 8u);
}

TEST_F(Limits, AClientThatStopsReadingIsDroppedAndOthersKeepTheirUpdates) {
  SimConfig c;
  c.updateStepMs = 20;
  c.sendTimeoutMs = 300;
  Start(c);
  DeviceState s = m_device->State();
  s.viewIdCount = 512;
  m_device->SetState(s);

  const int small = 4096;
  net::Socket stuck = ::socket(AF_INET, SOCK_STREAM, 0);
  setsockopt(stuck, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(m_device->Port());
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::connect(stuck, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  const TextBodyResult login = BuildTextBody("admin", "admin");
  std::vector<std::uint8_t> out;
  const WireHeader lh = EncodeHeader(1, 124);
  out.insert(out.end(), lh.begin(), lh.end());
  std::vector<std::uint8_t> body(login.body.begin(), login.body.end());
  ScrambleBytes(body.data(), body.data(), body.size());
  out.insert(out.end(), body.begin(), body.end());
  const WireHeader up = EncodeHeader(13, 0);
  out.insert(out.end(), up.begin(), up.end());
  // Far more table replies than any socket buffer holds, never read.
  const WireHeader table = EncodeHeader(CMD_GET_VIEWID_LIST, 0);
  for (int i = 0; i < 400; ++i) out.insert(out.end(), table.begin(), table.end());
  ASSERT_EQ(CMySocket::SendAll(stuck, out.data(), out.size()), 1);

  RawClient other(m_device->Port());
  ASSERT_TRUE(other.Login());
  ASSERT_TRUE(other.SendHeader(13, 0));
  for (int stage = 0; stage <= 8; ++stage) {
    const auto h = other.ReadHeader(3000ms);
    ASSERT_TRUE(h) << "stage " << stage << " never came";
    EXPECT_EQ(h->value, stage);
  }
  EXPECT_TRUE(Eventually([&] { return m_device->ClientCount() == 1; })) << m_device->ClientCount();
  net::Close(stuck);
}

TEST_F(Limits, ConnectionsBeyondTheLimitAreClosedAndTheirRoomComesBack) {
  SimConfig c;
  c.maxConnections = 2;
  Start(c);
  auto a = std::make_unique<RawClient>(m_device->Port());
  RawClient b(m_device->Port());
  ASSERT_TRUE(a->Login());
  ASSERT_TRUE(b.Login());
  RawClient third(m_device->Port());
  EXPECT_TRUE(third.ClosedByPeer(2000ms));
  a.reset();
  ASSERT_TRUE(Eventually([&] { return m_device->ClientCount() == 1; }));
  RawClient fourth(m_device->Port());
  EXPECT_TRUE(fourth.Login());
}

TEST_F(Limits, TheInformationBlocksConnectionLimitIsTheDefault) {
  DeviceState s = m_device->State();
  s.connectionLimit = 1;
  m_device->SetState(s);
  RawClient a(m_device->Port());
  ASSERT_TRUE(a.Login());
  RawClient b(m_device->Port());
  EXPECT_TRUE(b.ClosedByPeer(2000ms));
}

TEST_F(Limits, AConnectionThatDoesNotLogInInTimeIsClosed) {
  SimConfig c;
  c.loginTimeoutMs = 200;
  Start(c);
  RawClient idle(m_device->Port());
  RawClient dripping(m_device->Port());
  ASSERT_TRUE(dripping.SendHeader(1, 124));  // a login header and no body
  RawClient quick(m_device->Port());
  ASSERT_TRUE(quick.Login());
  EXPECT_TRUE(idle.ClosedByPeer(2000ms));
  EXPECT_TRUE(dripping.ClosedByPeer(2000ms));
  // A logged-in connection is not subject to it.
  std::this_thread::sleep_for(300ms);
  ASSERT_TRUE(quick.SendHeader(24, 0));
  EXPECT_TRUE(quick.ReadHeader());
}

TEST_F(Limits, RefusedLoginsSlowDownAndTheLastAllowedClosesTheConnection) {
  SimConfig c;
  c.loginDelayMs = 60;
  c.maxLoginFailures = 3;
  Start(c);
  RawClient guesser(m_device->Port());
  std::vector<std::chrono::milliseconds> took;
  for (int i = 0; i < 2; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_FALSE(guesser.Login("admin", "guess"));
    took.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0));
  }
  EXPECT_GE(took[0], 60ms);
  EXPECT_GE(took[1], 120ms);
  EXPECT_FALSE(guesser.Login("admin", "guess"));
  EXPECT_TRUE(guesser.ClosedByPeer(2000ms));

  // Until then a retry on the same connection is possible, and an accepted
  // login starts the count again.
  RawClient user(m_device->Port());
  ASSERT_FALSE(user.Login("admin", "typo"));
  ASSERT_FALSE(user.Login("admin", "typo"));
  ASSERT_TRUE(user.Login());
  ASSERT_FALSE(user.Login("admin", "typo"));
  ASSERT_FALSE(user.Login("admin", "typo"));
  EXPECT_TRUE(user.Login());
}

class StateFilePrivacy : public DeviceFixture {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.isValid());
    m_path = m_dir.filePath("qx-state.json");
  }
  SimConfig Config() const {
    SimConfig c;
    c.stateFile = m_path.toStdString();
    return c;
  }
  static unsigned Mode(const QString& path) {
    struct stat st{};
    return ::stat(path.toLocal8Bit().constData(), &st) == 0 ? (st.st_mode & 0777) : 0xFFFF;
  }
  QTemporaryDir m_dir;
  QString m_path;
};

TEST_F(StateFilePrivacy, TheFileIsReadableByItsOwnerOnlyUnderAnyUmask) {
  const mode_t old = ::umask(022);
  StartDevice(Config());
  ::umask(old);
  EXPECT_EQ(Mode(m_path), 0600u);
  ASSERT_EQ(Login(), 110);
  ASSERT_TRUE(Socket().SendAdminAccount("root", "secret"));
  EXPECT_EQ(Expect(3).value, 101);
  EXPECT_EQ(Mode(m_path), 0600u);
}

TEST_F(StateFilePrivacy, AFileFromBeforeIsTightenedAtStart) {
  StartDevice(Config());
  m_device->Stop();
  ASSERT_EQ(::chmod(m_path.toLocal8Bit().constData(), 0644), 0);
  StartDevice(Config());
  EXPECT_EQ(Mode(m_path), 0600u);
}

TEST_F(StateFilePrivacy, StaleTemporaryFilesAreRemovedAtStartAndOthersKept) {
  for (const char* name : {"qx-state.json.tmp-Ab12Cd", "qx-state.json.backup", "other.json.tmp-Ab12Cd"}) {
    QFile f(m_dir.filePath(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("{\"adminPassword\":\"admin\"}");
  }
  StartDevice(Config());
  QStringList left = QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden);
  left.sort();
  EXPECT_EQ(left, (QStringList{"other.json.tmp-Ab12Cd", "qx-state.json", "qx-state.json.backup"}));
}

}  // namespace
}  // namespace kolmara::device::testing
