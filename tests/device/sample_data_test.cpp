// The sample tables of the demo: what the device starts with, read through
// the tool's own connection as the pages would show it.
#include <gtest/gtest.h>

#include <QString>
#include <algorithm>
#include <cctype>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "connection/conversions.h"
#include "connection/records.h"
#include "tests/device/device_fixture.h"

namespace kolmara::device::testing {
namespace {

class SampleData : public DeviceFixture {
 protected:
  void SetUp() override {
    // The samples are written in the process's code page, as a page would.
    ASSERT_TRUE(SetAnsiCodePage("windows-949"));
    SimConfig c;
    c.sampleData = true;
    StartDevice(c);
  }

  std::vector<ViewIdRecord> ReadViewIds() {
    std::vector<ViewIdRecord> out;
    if (!Socket().RequestViewIdList()) return out;
    const std::int32_t n = Expect(kNotifyViewIdTable).value;
    for (std::int32_t i = 0; i < n && i < std::int32_t(kViewIdStoreSlots); ++i)
      out.push_back(ViewIdRecord::FromBytes(m_store.m_pViewIdTable.get() + std::size_t(i) * kViewIdRecordSize));
    return out;
  }

  std::vector<WolEntry> ReadWolEntries() {
    std::vector<WolEntry> out;
    if (!Socket().RequestWolTable()) return out;
    const std::int32_t n = Expect(kNotifyWolTable).value;
    for (std::int32_t i = 0; i < n && i < std::int32_t(kWolEntries); ++i)
      out.push_back(WolEntry::FromBytes(m_store.m_WolTable.data() + std::size_t(i) * kWolEntrySize));
    return out;
  }
};

std::string Bytes(const std::optional<QByteArray>& b) { return b ? b->toStdString() : "<none>"; }

TEST_F(SampleData, ViewIdsAreVariedAndWrittenAsThePageWouldWriteThem) {
  ASSERT_EQ(Login(), 110);
  const std::vector<ViewIdRecord> records = ReadViewIds();
  ASSERT_EQ(records.size(), 5u);
  std::set<std::string> ids;
  std::set<std::int32_t> groups;
  int superUsers = 0, prohibitions[4] = {0, 0, 0, 0};
  for (const ViewIdRecord& r : records) {
    const std::string id(r.Id());
    EXPECT_TRUE(ids.insert(id).second) << "duplicate " << id;
    EXPECT_GE(id.size(), 1u);
    EXPECT_LE(id.size(), 36u);
    for (char c : id) EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c))) << id;
    EXPECT_GE(r.GroupNumber(), 0);
    EXPECT_LE(r.GroupNumber(), 100);
    groups.insert(r.GroupNumber());
    superUsers += r.SuperUser();
    prohibitions[0] += r.NoFileTransfer();
    prohibitions[1] += r.NoLogDelete();
    prohibitions[2] += r.NoServerControl();
    prohibitions[3] += r.NoRemoteControl();
    EXPECT_LE(r.Password().size(), 24u) << id;
    // The digest is of the stored code-page bytes: 128 upper-case digits, NUL.
    EXPECT_EQ(r.PasswordHash(), ViewIdPasswordDigest(r.Password())) << id;
    EXPECT_EQ(r.bytes[ViewIdRecord::kPasswordHash + ViewIdRecord::kDigestDigits], 0) << id;
    for (char c : r.PasswordHash()) EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) << id;
  }
  EXPECT_GE(groups.size(), 3u);
  EXPECT_GT(superUsers, 0);
  EXPECT_LT(superUsers, 5);
  for (int p : prohibitions) {
    EXPECT_GT(p, 0);
    EXPECT_LT(p, 5);
  }
  // A Korean password travels in code page 949, not UTF-8, and so does its digest.
  const auto support = std::find_if(records.begin(), records.end(), [](const ViewIdRecord& r) { return r.Id() == "support"; });
  ASSERT_NE(support, records.end());
  const std::string cp949 = "\xC1\xF6\xBF\xF8\xC6\xC0" "2024";  // 지원팀2024
  EXPECT_EQ(support->Password(), cp949);
  EXPECT_EQ(support->PasswordHash(), ViewIdPasswordDigest(cp949));
  EXPECT_EQ(Bytes(Utf8ToAnsi(records[0].Name())), "\xB1\xE8\xB9\xCE\xBC\xF6");  // 김민수
}

TEST_F(SampleData, KoreanWakeOnLanNamesComeBackThroughCodePage949) {
  ASSERT_EQ(Login(), 110);
  const std::vector<WolEntry> entries = ReadWolEntries();
  ASSERT_EQ(entries.size(), 5u);
  struct Case {
    std::size_t row;
    const char* cp949;
    QString shown;
  };
  const Case cases[] = {
      {0, "\xBF\xB5\xBE\xF7\xBA\xCE PC", QString::fromUtf8("영업부 PC")},
      {1, "\xC8\xB8\xC0\xC7\xBD\xC7", QString::fromUtf8("회의실")},
  };
  for (const Case& c : cases) {
    const std::optional<QByteArray> ansi = Utf8ToAnsi(entries[c.row].Name());
    EXPECT_EQ(Bytes(ansi), c.cp949) << c.row;
    ASSERT_TRUE(ansi.has_value());
    EXPECT_EQ(AnsiToWide(std::string_view(ansi->constData(), std::size_t(ansi->size()))), c.shown) << c.row;
    EXPECT_EQ(Utf8ToWide(entries[c.row].Name()), c.shown) << c.row;
  }
  for (const WolEntry& e : entries) {
    EXPECT_FALSE(e.Name().empty());
    const std::string mac(e.MacText());
    EXPECT_TRUE(std::count(mac.begin(), mac.end(), ':') == 5 || std::count(mac.begin(), mac.end(), '-') == 5) << mac;
  }
  // Free slots are empty.
  for (std::size_t i = entries.size() * kWolEntrySize; i < kWolTableSize; ++i)
    ASSERT_EQ(m_store.m_WolTable[i], 0) << i;
}

TEST_F(SampleData, NoMoreViewIdsThanTheDeviceAllows) {
  SimConfig c;
  c.sampleData = true;
  c.viewIdCapacity = 3;
  StartDevice(c);
  EXPECT_EQ(m_device->State().viewIdCount, 3);
  EXPECT_EQ(m_device->State().wolCount, 5);
}

TEST_F(SampleData, WithoutTheOptionBothTablesStartEmpty) {
  StartDevice(SimConfig{});
  ASSERT_EQ(Login(), 110);
  EXPECT_TRUE(ReadViewIds().empty());
  EXPECT_TRUE(ReadWolEntries().empty());
  const DeviceState s = m_device->State();
  EXPECT_EQ(s.viewIdTable, std::vector<std::uint8_t>(kViewIdStoreBytes, 0));
  EXPECT_EQ(s.wolTable, std::vector<std::uint8_t>(kWolTableSize, 0));
}

}  // namespace
}  // namespace kolmara::device::testing
