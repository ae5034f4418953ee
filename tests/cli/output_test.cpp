// What the client shows: the page rules it reuses (network view, NTP
// server, view-ID and Wake-on-LAN lists) and its own formatting.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdlib>
#include <cstring>

#include "cli/output.h"
#include "connection/global_data.h"
#include "connection/records.h"
#include "pages/network_logic.h"
#include "pages/viewid_logic.h"
#include "pages/wol_logic.h"

namespace kolmara::cli::test {
namespace {

NetworkSettingsBlock Block(std::uint16_t sslPort, std::uint8_t dhcp, std::uint16_t webOff, std::uint32_t flags) {
  NetworkSettingsFields f;
  f.ip = {10, 0, 0, 5};
  f.gateway = {10, 0, 0, 1};
  f.netmask = {255, 0, 0, 0};
  f.mac = {0x00, 0x1a, 0x2b, 0x0c, 0xd4, 0xff};
  NetworkSettingsBlock b = BuildSettingsForm(f);
  b.SetWebSslPort(sslPort);
  b.bytes[NetworkSettingsBlock::kDhcp] = dhcp;
  WriteU16(&b.bytes[NetworkSettingsBlock::kWebServerOff], webOff);
  b.SetServiceFlags(flags);
  return b;
}

TEST(BuildNetworkView, ShowsTheBlockAsThePageDoes) {
  struct Case {
    const char* what;
    NetworkSettingsBlock block;
    std::uint16_t sslShown;
    bool dhcp;
    const char* ip;
    const char* gateway;
    bool webServerOff;
    bool upnp;
  };
  const Case cases[] = {
      {"static", Block(443, 0, 0, 0), 443, false, "10.0.0.5", "10.0.0.1", false, false},
      {"9500 in the SSL field is shown as 443", Block(9500, 0, 0, 0), 443, false, "10.0.0.5", "10.0.0.1", false,
       false},
      {"another SSL port as it is", Block(8443, 0, 0, 0), 8443, false, "10.0.0.5", "10.0.0.1", false, false},
      {"DHCP hides the addresses", Block(443, 1, 0, 0), 443, true, "0.0.0.0", "0.0.0.0", false, false},
      {"DHCP byte 2 is a static address", Block(443, 2, 0, 0), 443, false, "10.0.0.5", "10.0.0.1", false, false},
      {"web server off only for 1", Block(443, 0, 1, 0), 443, false, "10.0.0.5", "10.0.0.1", true, false},
      {"web server value 2 is on", Block(443, 0, 2, 0), 443, false, "10.0.0.5", "10.0.0.1", false, false},
      {"all flag bits: UPnP on", Block(443, 0, 0, 0xFFFFFFFFu), 443, false, "10.0.0.5", "10.0.0.1", false, true},
      {"bit 1 alone: UPnP off", Block(443, 0, 0, 2), 443, false, "10.0.0.5", "10.0.0.1", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const NetworkView v = BuildNetworkView(c.block);
    EXPECT_EQ(v.webSslPort, c.sslShown);
    EXPECT_EQ(v.dhcp, c.dhcp);
    EXPECT_EQ(v.addressesEnabled, !c.dhcp);
    EXPECT_EQ(v.ip, c.ip);
    EXPECT_EQ(v.gateway, c.gateway);
    EXPECT_EQ(v.netmask, c.dhcp ? "0.0.0.0" : "255.0.0.0");
    EXPECT_EQ(v.webServerOff, c.webServerOff);
    EXPECT_EQ(v.upnp, c.upnp);
    EXPECT_EQ(v.macAddress, "00:1A:2B:0C:D4:FF");
    EXPECT_EQ(v.configPort, 9502);
    EXPECT_EQ(v.tcpControlPort, 9500);
  }
}

TEST(BuildNetworkView, TextsAndTheirEncodings) {
  NetworkSettingsBlock b;
  ASSERT_TRUE(b.SetCompany("한국 \xE2\x82\xA9 \xF0\x9F\x98\x80"));  // won sign and emoji: not in code page 949
  ASSERT_TRUE(b.SetDdnsName("mybox"));
  ASSERT_TRUE(b.SetEmail("a@b.c"));
  ASSERT_TRUE(b.SetNtpServer("\xC5\xB8\xC0\xD3"));  // "타임" in code page 949
  const NetworkView v = BuildNetworkView(b);
  EXPECT_EQ(v.company, QString::fromUtf8("한국 ? ?"));
  EXPECT_EQ(v.ddnsName, "mybox");
  EXPECT_EQ(v.email, "a@b.c");
  EXPECT_EQ(v.ntpServer, QString::fromUtf8("타임"));
}

TEST(CheckNtpServer, OnlyATextBeyondItsFieldIsRefused) {
  struct Case {
    QString typed;
    bool ok;
    QByteArray sent;
  };
  const Case cases[] = {
      {"", true, ""},
      {"pool.ntp.org", true, "pool.ntp.org"},
      {QString(39, 'n'), true, QByteArray(39, 'n')},
      {QString(40, 'n'), false, ""},
      {QString::fromUtf8("시간") + QString(35, 'x'), true, QByteArray("\xBD\xC3\xB0\xA3") + QByteArray(35, 'x')},
      {QString::fromUtf8("시간") + QString(36, 'x'), false, ""},  // 40 bytes once converted
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed.toStdString());
    const NtpServerRequest r = CheckNtpServer(c.typed);
    EXPECT_EQ(r.ok, c.ok);
    EXPECT_EQ(r.serverAnsi, c.sent);
    EXPECT_EQ(r.message.isEmpty(), c.ok);
  }
}

void PutRecord(CGlobalData& store, int slot, const char* id, const char* name) {
  std::uint8_t* r = store.ViewIdSlot(static_cast<std::size_t>(slot));
  std::strcpy(reinterpret_cast<char*>(r + ViewIdRecord::kId), id);
  std::strcpy(reinterpret_cast<char*>(r + ViewIdRecord::kName), name);
}

TEST(ListViewIds, ListsOnlyValidRecordsWithinTheStore) {
  CGlobalData store;
  for (int i = 0; i < static_cast<int>(kViewIdStoreSlots); ++i) PutRecord(store, i, "id", "");
  struct Case {
    std::int32_t count;
    std::size_t rows;
  };
  for (const Case c : {Case{0, 0}, Case{-5, 0}, Case{3, 3}, Case{512, 512}, Case{600, 512}}) {
    SCOPED_TRACE(c.count);
    store.m_nViewIdCount = c.count;
    EXPECT_EQ(ListViewIds(store).size(), c.rows);
  }
}

TEST(ListViewIds, DecodesEachField) {
  CGlobalData store;
  store.m_nViewIdCount = 1;
  PutRecord(store, 0, "kim", "김 \xF0\x9F\x98\x80");
  std::uint8_t* r = store.ViewIdSlot(0);
  WriteU32(r + ViewIdRecord::kGroupNumber, static_cast<std::uint32_t>(150));
  r[ViewIdRecord::kSuperUser] = 2;  // shown as the number, like the list column
  r[ViewIdRecord::kNoFileTransfer] = 1;
  r[ViewIdRecord::kNoServerControl] = 1;
  const auto rows = ListViewIds(store);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].number, 1);
  EXPECT_EQ(rows[0].id, "kim");
  EXPECT_EQ(rows[0].name, QString::fromUtf8("김 ?"));
  EXPECT_EQ(rows[0].group, 150);
  EXPECT_EQ(rows[0].superUser, 2);
  EXPECT_TRUE(rows[0].noFileTransfer);
  EXPECT_FALSE(rows[0].noLogDelete);
  EXPECT_TRUE(rows[0].noServerControl);
  EXPECT_FALSE(rows[0].noRemoteControl);
}

TEST(ViewIdRecord, FieldsEndAtTheirWidth) {
  ViewIdRecord r;
  std::memset(r.bytes.data(), 'A', r.bytes.size());  // no terminator anywhere
  EXPECT_EQ(r.Id().size(), ViewIdRecord::kIdWidth);
  EXPECT_EQ(r.PasswordHash().size(), ViewIdRecord::kPasswordHashWidth);
  EXPECT_EQ(r.Name().size(), ViewIdRecord::kNameWidth);
  EXPECT_EQ(r.Password().size(), ViewIdRecord::kPasswordWidth);  // the record's last field
}

TEST(ListWolEntries, CountIsKeptWithinTheTable) {
  CGlobalData store;
  for (std::size_t i = 0; i < kWolEntries; ++i) {
    std::uint8_t* e = store.WolEntry(i);
    std::memset(e + WolEntry::kName, 'n', WolEntry::kNameWidth);  // unterminated names
    std::strcpy(reinterpret_cast<char*>(e + WolEntry::kMac), "ab:39:22:44:12:aa");
  }
  struct Case {
    std::int32_t count;
    std::size_t rows;
  };
  for (const Case c : {Case{0, 0}, Case{-1, 0}, Case{2, 2}, Case{101, 101}, Case{150, 101}}) {
    SCOPED_TRACE(c.count);
    store.m_nWolCount = c.count;
    const auto rows = ListWolEntries(store);
    ASSERT_EQ(rows.size(), c.rows);
    if (!rows.empty()) {
      EXPECT_EQ(rows.back().number, static_cast<int>(c.rows));
      EXPECT_EQ(rows.back().name, QString(40, 'n'));  // never runs into the MAC field
      EXPECT_EQ(rows.back().mac, "ab:39:22:44:12:aa");
    }
  }
}

TEST(DisplayWidth, WideCharactersCountTwice) {
  EXPECT_EQ(DisplayWidth("PC1"), 3);
  EXPECT_EQ(DisplayWidth(QString::fromUtf8("사무실PC")), 8);
  EXPECT_EQ(DisplayWidth(QString::fromUtf8("\xF0\xA0\x80\x80")), 2);  // outside the BMP: one character
}

TEST(FormatWolEntries, ColumnsStayAlignedWithKoreanNames) {
  const std::string table = FormatWolEntries(
      {{1, QString::fromUtf8("사무실PC"), "ab:39:22:44:12:aa"}, {2, "PC2", "ab:39:22:44:12:ab"}}, false);
  const QStringList lines = QString::fromStdString(table).split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 3);
  const auto macColumn = [](const QString& line) {
    const qsizetype at = line.indexOf(QLatin1String("ab:")) >= 0 ? line.indexOf(QLatin1String("ab:"))
                                                                  : line.indexOf(QLatin1String("Mac"));
    return DisplayWidth(line.left(at));
  };
  EXPECT_EQ(macColumn(lines[0]), macColumn(lines[1]));
  EXPECT_EQ(macColumn(lines[1]), macColumn(lines[2]));
}

TEST(FormatServerTime, UsesTheLocalZone) {
  const char* old = std::getenv("TZ");
  const std::string saved = old ? old : "";
  setenv("TZ", "KST-9", 1);  // nine hours east of UTC, no daylight saving
  const auto text = FormatServerTime(0, false);
  const auto json = FormatServerTime(0, true);
  if (old) setenv("TZ", saved.c_str(), 1); else unsetenv("TZ");
  tzset();
  ASSERT_TRUE(text && json);
  EXPECT_EQ(*text, "현재 서버의 시간은 1970-01-01 09:00:00 입니다.\n");
  const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(*json)).object();
  EXPECT_EQ(o["local_time"].toString(), "1970-01-01 09:00:00");
  EXPECT_EQ(o["seconds_since_1970"].toInteger(), 0);
}

TEST(FormatNetwork, JsonTypes) {
  const std::string json = FormatNetwork(BuildNetworkView(Block(443, 1, 1, 1)), true);
  EXPECT_EQ(json.back(), '\n');
  EXPECT_EQ(json.find('\n'), json.size() - 1) << "one line";
  const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
  EXPECT_TRUE(o["dhcp"].isBool() && o["upnp"].isBool() && o["web_server_off"].isBool());
  EXPECT_TRUE(o["tcp_control_port"].isDouble() && o["config_port"].isDouble());
  EXPECT_TRUE(o["ip"].isString());
}

}  // namespace
}  // namespace kolmara::cli::test
