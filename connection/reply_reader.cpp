#include "connection/reply_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "connection/global_data.h"
#include "protocol/frame.h"
#include "protocol/scrambler.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace kolmara {

void DebugOutput(const char* text) {
#ifdef _WIN32
  OutputDebugStringA(text);
#else
  static const bool enabled = std::getenv("KOLMARA_DEBUG") != nullptr;
  if (enabled) std::fprintf(stderr, "%s\n", text);
#endif
}

namespace {

// Reads and throws away `length` bytes: the view-ID records past the 512 the
// store holds still have to leave the stream, or every later frame is garbage.
bool Discard(IByteSource& source, std::uint64_t length) {
  std::uint8_t sink[4096];
  while (length > 0) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(length, sizeof sink));
    if (!source.ReceiveExactly(sink, n)) return false;
    length -= n;
  }
  return true;
}

// The records the store can hold travel with the notification; more than
// 512 are consumed and dropped, as the store could never take them.
bool ReadViewIdTable(IByteSource& source, std::int32_t count, Notification& n) {
  const std::uint64_t length = ViewIdTableLength(count);
  const std::size_t kept = static_cast<std::size_t>(std::min<std::uint64_t>(length, kViewIdStoreBytes));
  auto table = std::make_shared<TableBytes>(kept);
  if (kept > 0 && !source.ReceiveExactly(table->data(), kept)) return false;
  if (!Discard(source, length - kept)) return false;
  UnscrambleBytes(table->data(), table->data(), kept);
  n.table = std::move(table);
  return true;
}

bool ReadWolTable(IByteSource& source, Notification& n) {
  auto table = std::make_shared<TableBytes>(kWolTableSize);
  if (!source.ReceiveExactly(table->data(), kWolTableSize)) return false;
  UnscrambleBytes(table->data(), table->data(), kWolTableSize);
  n.table = std::move(table);
  return true;
}

bool ReadBulk(IByteSource& source, CGlobalData& store, std::int32_t value, std::int32_t& storedValue,
              std::uint8_t* destination, std::size_t size) {
  std::uint8_t* area = store.m_pReceiveArea.get();
  std::memset(area, 0, size);
  storedValue = value;
  if (value <= 0) return true;
  if (!source.ReceiveExactly(area, size)) return false;
  UnscrambleBytes(area, destination, size);
  return true;
}

}  // namespace

bool ReadOneReply(IByteSource& source, CGlobalData& store, const std::function<void(Notification)>& post) {
  std::uint8_t wire[kHeaderSize];
  if (!source.ReceiveExactly(wire, sizeof wire)) return false;
  const FrameHeader header = DecodeHeader(wire);
  const ReplyRule* rule = FindReplyRule(header.code);
  if (!rule) return true;  // not in the catalogue: a bare header, nothing posted

  Notification n{rule->notification, header.value, std::nullopt};
  std::uint8_t* area = store.m_pReceiveArea.get();
  switch (rule->destination) {
    case ReplyDestination::kNothing:
      break;
    case ReplyDestination::kInfoBlock: {
      if (!source.ReceiveExactly(area, kBlockSize)) return false;
      Block368 block;
      UnscrambleBytes(area, block.data(), kBlockSize);
      n.block = block;
      break;
    }
    case ReplyDestination::kViewIdTable:
      if (!ReadViewIdTable(source, header.value, n)) return false;
      break;
    case ReplyDestination::kWolTable:
      if (!ReadWolTable(source, n)) return false;
      break;
    case ReplyDestination::kBulk21:
      if (!ReadBulk(source, store, header.value, store.m_nBulk21Value, store.m_pBulk21Buffer.get(), kBulk21Size))
        return false;
      break;
    case ReplyDestination::kBulk22:
      if (!ReadBulk(source, store, header.value, store.m_nBulk22Value, store.m_pBulk22Buffer.get(), kBulk22Size))
        return false;
      break;
    case ReplyDestination::kBlankMode:
      store.m_nBlankMode = header.value;
      DebugOutput("CMD_SET_BLANK_MODE response. !!!!!!");
      break;
  }
  if (rule->notification != 0 && post) post(std::move(n));
  return true;
}

}  // namespace kolmara
