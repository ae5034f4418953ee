// ReadOneReply driven from memory with random frames, values and cuts, each
// notification applied to the store as the handling thread applies it. Under
// ASan this shows that no stream a device can send makes the reader or the
// store write out of bounds; on well-formed streams it also checks what is
// posted.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "connection/global_data.h"
#include "pages/reply_messages_logic.h"
#include "protocol/catalogue.h"
#include "test_support.h"

namespace kolmara {
namespace {

using test::Bytes;

constexpr std::uint32_t kSeed = 20261210;
constexpr int kStreams = 1500;
constexpr int kMaxFramesPerStream = 8;

std::int32_t PickValue(std::mt19937& rng, std::uint8_t code) {
  static const std::int32_t interesting[] = {0, -1, 1, 3, 100, 101, 102, 249, 512, 513, 600, 6001,
                                             INT32_MAX, INT32_MIN};
  switch (rng() % 3) {
    case 0: return interesting[rng() % std::size(interesting)];
    case 1: return static_cast<std::int32_t>(rng());
    default:
      // View-ID counts the reader must follow without reading for ever.
      return code == CMD_GET_VIEWID_LIST ? static_cast<std::int32_t>(rng() % 700) - 20
                                         : static_cast<std::int32_t>(rng() % 300);
  }
}

std::uint8_t PickCode(std::mt19937& rng) {
  const auto table = ReplyTable();
  if (rng() % 5 == 0) return static_cast<std::uint8_t>(rng());  // anything, mostly unknown
  return table[rng() % table.size()].code;
}

struct Stream {
  Bytes bytes;
  bool wellFormed = true;
  std::vector<std::pair<int, std::int32_t>> expected;  // for well-formed streams
};

Stream MakeStream(std::mt19937& rng) {
  Stream s;
  const int frames = 1 + static_cast<int>(rng() % kMaxFramesPerStream);
  for (int f = 0; f < frames; ++f) {
    const std::uint8_t code = PickCode(rng);
    const std::int32_t value = PickValue(rng, code);
    const ReplyRule* rule = FindReplyRule(code);
    std::uint64_t length = rule ? ReplyBodyLength(*rule, value) : 0;
    // Keep honest bodies affordable; a longer announced one is always cut.
    const bool affordable = length <= 1000 * kViewIdRecordSize;
    Bytes body = test::RandomBytes(affordable ? static_cast<std::size_t>(length) : 1000, rng());
    const unsigned mutation = rng() % 10;
    if (!affordable || mutation == 0) {
      body.resize(body.empty() ? 0 : rng() % body.size());  // cut short
      s.wellFormed = false;
    } else if (mutation == 1) {
      body.resize(body.size() + 1 + rng() % 16);  // trailing bytes read as a header
      s.wellFormed = false;
    }
    Bytes frame = test::Frame(code, value, body);
    if (mutation == 2) {
      frame[rng() % frame.size()] ^= static_cast<std::uint8_t>(1 + rng() % 255);
      s.wellFormed = false;
    }
    s.bytes.insert(s.bytes.end(), frame.begin(), frame.end());
    if (rule && rule->notification) s.expected.emplace_back(rule->notification, value);
    if (!s.wellFormed) break;  // nothing after a damaged frame can be predicted
  }
  if (rng() % 4 == 0) {
    s.bytes.resize(s.bytes.size() - rng() % std::min<std::size_t>(s.bytes.size(), 9));
    s.wellFormed = false;
  }
  return s;
}

TEST(ReplyReaderFuzz, RandomStreamsNeverBreakTheStore) {
  std::mt19937 rng(kSeed);
  CGlobalData store;
  int wellFormed = 0;
  for (int i = 0; i < kStreams; ++i) {
    const Stream s = MakeStream(rng);
    test::MemorySource source(s.bytes);
    std::vector<Notification> posted;
    // Applied at once, as the handling thread applies what it is handed.
    const auto post = [&](Notification n) {
      ApplyNotificationToStore(n, store);
      posted.push_back(std::move(n));
    };
    // Each call consumes at least a header, so this bound is never the one that stops it.
    const std::size_t maxCalls = s.bytes.size() / kHeaderSize + 2;
    std::size_t calls = 0;
    while (calls++ < maxCalls && ReadOneReply(source, store, post)) {
      ASSERT_GE(store.m_nWolCount, 0) << "stream " << i;
      ASSERT_LE(store.m_nWolCount, 101) << "stream " << i;
      ASSERT_LE(store.m_nViewIdCount, 512) << "stream " << i;
    }
    ASSERT_LE(calls, maxCalls) << "the reader stopped consuming, stream " << i;
    for (const Notification& n : posted) {
      ASSERT_TRUE((n.code >= kNotifyLogin && n.code <= kNotifyFirmwareUpload)) << ::testing::PrintToString(n);
      ASSERT_EQ(n.block.has_value(), n.code == kNotifyDeviceInfo || n.code == kNotifyNetwork) << ::testing::PrintToString(n);
      ASSERT_EQ(n.table != nullptr, n.code == kNotifyViewIdTable || n.code == kNotifyWolTable) << ::testing::PrintToString(n);
      if (n.code == kNotifyViewIdTable) {
        ASSERT_LE(n.table->size(), kViewIdStoreBytes);
        ASSERT_EQ(n.table->size(), std::min<std::uint64_t>(ViewIdTableLength(n.value), kViewIdStoreBytes));
      }
      if (n.code == kNotifyWolTable) {
        ASSERT_EQ(n.table->size(), kWolTableSize);
      }
    }
    if (s.wellFormed) {
      ++wellFormed;
      ASSERT_EQ(source.Consumed(), s.bytes.size()) << "stream " << i;
      ASSERT_EQ(posted.size(), s.expected.size()) << "stream " << i;
      for (std::size_t k = 0; k < posted.size(); ++k) {
        ASSERT_EQ(posted[k].code, s.expected[k].first) << "stream " << i;
        if (!posted[k].block) {
          ASSERT_EQ(posted[k].value, s.expected[k].second) << "stream " << i;
        }
      }
    }
  }
  // The generator must still produce a fair share of streams the oracle checks.
  EXPECT_GT(wellFormed, kStreams / 5);
}

}  // namespace
}  // namespace kolmara
