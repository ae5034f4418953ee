// Feeds arbitrary device streams to the reply reader. The first byte picks
// whether the input is taken as wire bytes as they are or as plain frames
// that are scrambled first (which reaches the body handling far more often).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "connection/global_data.h"
#include "connection/reply_reader.h"
#include "protocol/catalogue.h"
#include "protocol/frame.h"
#include "protocol/scrambler.h"

namespace {

class Source : public kolmara::IByteSource {
 public:
  Source(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
  bool ReceiveExactly(std::uint8_t* buffer, std::size_t length) override {
    if (length > m_size - m_pos) return false;
    if (length) std::memcpy(buffer, m_data + m_pos, length);
    m_pos += length;
    return true;
  }

 private:
  const std::uint8_t* m_data;
  std::size_t m_size;
  std::size_t m_pos = 0;
};

// Body bytes made up per input, in all (stretched bodies and the zeros after
// a short one): room for one view-ID table of the wire's minimum size, or a
// Wake-on-LAN table and some. Making up every body in full (up to 4 x 198 KB)
// held the target near 1,600 runs a second, most of it scrambling. A body
// beyond the budget is cut to the input's bytes, so the reader meets a
// stream that ends early. Counts above the store's 512 records with whole
// bodies are the ctest fuzz test's part (core_reply_fuzz_test).
constexpr std::size_t kMadeUpBudget = kolmara::kViewIdWireMinimum;

// Plain input: [code][value LE 4][body length LE 2][body ...] repeated.
std::vector<std::uint8_t> ScrambleFrames(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> wire;
  std::size_t madeUp = 0;
  std::size_t at = 0;
  while (at + 7 <= size) {
    const std::uint8_t code = data[at];
    std::int32_t value;
    std::memcpy(&value, data + at + 1, 4);
    std::size_t length = data[at + 5] | (std::size_t{data[at + 6]} << 8);
    at += 7;
    const kolmara::WireHeader header = kolmara::EncodeHeader(code, value);
    wire.insert(wire.end(), header.begin(), header.end());
    // A short body is stretched to what the code prescribes, so most frames decode.
    if (const auto* rule = kolmara::FindReplyRule(code)) {
      const std::uint64_t want = kolmara::ReplyBodyLength(*rule, value);
      if (length == 0 && want <= kMadeUpBudget) length = static_cast<std::size_t>(want);
    }
    std::size_t have = std::min(length, size - at);
    if (length - have > kMadeUpBudget - madeUp) length = have;
    madeUp += length - have;
    std::vector<std::uint8_t> body(length);
    if (have) std::memcpy(body.data(), data + at, have);
    at += have;
    kolmara::ScrambleBytes(body.data(), body.data(), body.size());
    wire.insert(wire.end(), body.begin(), body.end());
  }
  return wire;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static kolmara::CGlobalData* store = new kolmara::CGlobalData;
  if (size == 0) return 0;
  std::vector<std::uint8_t> wire =
      (data[0] & 1) ? ScrambleFrames(data + 1, size - 1) : std::vector<std::uint8_t>(data + 1, data + size);
  Source source(wire.data(), wire.size());
  // A table handed over must fit the store it is meant for.
  const auto check = [](const kolmara::Notification& n) {
    if (!n.table) return;
    if (n.code == kolmara::kNotifyViewIdTable && n.table->size() > kolmara::kViewIdStoreBytes) __builtin_trap();
    if (n.code == kolmara::kNotifyWolTable && n.table->size() != kolmara::kWolTableSize) __builtin_trap();
  };
  while (kolmara::ReadOneReply(source, *store, check)) {
  }
  return 0;
}
