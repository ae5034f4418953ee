#pragma once
// The device data store: one per run, reachable process-wide. Only the
// thread that handles the notifications writes the two tables, from the copy
// each table notification carries (ApplyNotificationToStore), so a page may
// read and edit them without a lock while the next reply is being received.
// The receive thread writes only the blank mode and the bulk buffers, which
// nobody reads.
#include <QString>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "protocol/catalogue.h"

namespace kolmara {

class CMySocket;

class CGlobalData {
 public:
  CGlobalData();
  virtual ~CGlobalData();
  CGlobalData(const CGlobalData&) = delete;
  CGlobalData& operator=(const CGlobalData&) = delete;

  // The first store created; cleared when it is destroyed.
  static CGlobalData* Instance();

  std::int32_t m_bLoggedIn = 0;
  QString m_strEngineVersion;  // normalised "%02d.%02d.%02d"
  QString m_strAddress;        // as connected, DDNS suffix included
  QString m_strDeviceName;     // the device's platform code
  std::unique_ptr<CMySocket> m_pConnection;
  // Written by both threads (reply 25 and the information block); nobody reads it.
  std::atomic<std::int32_t> m_nBlankMode{0};
  std::int32_t m_nDeviceByte272 = 0;
  std::int32_t m_nDeviceValue280 = 0;
  std::int32_t m_nViewIdCapacity = 10;
  std::int32_t m_nConnectionLimit = 0;
  std::int32_t m_nViewIdCount = 0;
  std::unique_ptr<std::uint8_t[]> m_pViewIdTable;  // kViewIdStoreBytes: 512 slots of 388 bytes
  std::int32_t m_nWolCount = 0;
  std::array<std::uint8_t, kWolTableSize> m_WolTable{};
  std::int32_t m_nBulk22Value = 0;
  std::unique_ptr<std::uint8_t[]> m_pBulk22Buffer;  // kBulk22Size
  std::int32_t m_nBulk21Value = 0;
  std::unique_ptr<std::uint8_t[]> m_pBulk21Buffer;  // kBulk21Size

  // The receive thread's work area for the bodies it does not hand over
  // (the bulk blocks, the largest, and the information blocks).
  std::unique_ptr<std::uint8_t[]> m_pReceiveArea;  // kBulk22Size

  std::uint8_t* ViewIdSlot(std::size_t slot) { return m_pViewIdTable.get() + slot * kViewIdRecordSize; }
  std::uint8_t* WolEntry(std::size_t entry) { return m_WolTable.data() + entry * kWolEntrySize; }
};

}  // namespace kolmara
