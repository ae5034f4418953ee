#pragma once
// Reading one reply from a byte source. Kept apart from the
// socket so that it can be driven from memory (tests, fuzzing).
#include <cstddef>
#include <cstdint>
#include <functional>

#include "connection/notify.h"

namespace kolmara {

class CGlobalData;

class IByteSource {
 public:
  virtual ~IByteSource() = default;
  // Exactly `length` bytes into `buffer`, or false when the source fails or ends.
  virtual bool ReceiveExactly(std::uint8_t* buffer, std::size_t length) = 0;
};

// Reads a header and the body its code prescribes, then calls `post` (codes
// that post nothing do not call it). Information blocks and tables travel
// with the notification; only the blank mode and the bulk blocks, which no
// one reads, go straight into the store. Returns false when the source failed; nothing of a partly received
// body is posted.
bool ReadOneReply(IByteSource& source, CGlobalData& store, const std::function<void(Notification)>& post);

// Writes a diagnostic line to the debugger output (stderr when
// KOLMARA_DEBUG is set on platforms without a debugger channel).
void DebugOutput(const char* text);

}  // namespace kolmara
